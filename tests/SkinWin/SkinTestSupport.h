// Helpers of the skin tests: images of known pixels (files and bitmaps of any depth), a
// temporary skin folder, test windows, reading pixels and regions back.
#pragma once
#include "framework/Afx.h"
#include <functional>
#include <string>
#include <vector>

using PixelFn = std::function<COLORREF(int x, int y)>;

// A BMP file of 8, 16 (5-6-5), 24 or 32 bits per pixel holding pixel(x, y).
std::vector<unsigned char> MakeBmp(int bitsPerPixel, int width, int height, const PixelFn& pixel);
// A device-independent bitmap of the same depths and pixels; the caller owns it.
HBITMAP MakeDib(int bitsPerPixel, int width, int height, const PixelFn& pixel);
// The colour a 5-6-5 pixel shows for c, so tests can compare.
COLORREF Through565(COLORREF c);

// A fresh folder under the temporary directory, removed with its files at the end.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    std::string Path(const std::string& name) const { return m_dir + "\\" + name; }
    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const;
    std::string WriteText(const std::string& name, const std::string& text) const;
    const std::string& Dir() const { return m_dir; }

private:
    std::string m_dir;
};

std::string RegionText(HRGN region);
std::string Hex(COLORREF c);

// A window of a class registered on first use with proc (none for system classes).
HWND MakeTestWindow(const char* className, WNDPROC proc, DWORD style, const RECT& rc, HWND parent = nullptr,
                    UINT id = 0);
// Pixels of the whole window (frame included) or of its client area.
COLORREF WindowPixel(HWND wnd, int x, int y, bool client = false);
int CountPixels(HDC dc, COLORREF colour, const RECT& area);
// Whether the window's region holds the point; false also without a region.
bool InWindowRegion(HWND wnd, int x, int y);

// A 32-bit memory surface whose pixels tests read back.
class CSurface {
public:
    CSurface(int width, int height, COLORREF fill);
    ~CSurface();
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;
    CDC dc;
    COLORREF Pixel(int x, int y) const { return dc.GetPixel(x, y); }

private:
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};
