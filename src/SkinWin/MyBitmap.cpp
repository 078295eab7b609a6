#include "mybitmap.h"
#include <cstring>
#include <vector>

namespace {

const COLORREF WHITE = RGB(255, 255, 255);
const COLORREF BLACK = RGB(0, 0, 0);

// The bitmap's own pixel format and its pixels, rows bottom-up, as GetDIBits gives them.
struct DibPixels {
    BITMAPINFOHEADER header{};
    std::vector<RGBQUAD> colours;
    std::vector<BYTE> bits;
    int stride = 0;
};

// BITMAPINFOHEADER plus room for three colour masks or a full colour table.
struct BitmapInfoBuffer {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

bool ReadDibPixels(HBITMAP bitmap, DibPixels* dib)
{
    BitmapInfoBuffer info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    HDC screen = ::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    bool read = false;
    if (::GetDIBits(screen, bitmap, 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)) {
        const BITMAPINFOHEADER& h = info.header;
        int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        if (h.biBitCount >= 8 && h.biWidth > 0 && height > 0) {
            dib->stride = ((h.biWidth * h.biBitCount + 31) / 32) * 4;
            // Four spare bytes: a 24-bit pixel at the very end may be read as a 32-bit word.
            dib->bits.assign(static_cast<size_t>(dib->stride) * height + 4, 0);
            info.header.biHeight = height;
            read = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), dib->bits.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
            dib->header = info.header;
            dib->header.biHeight = height;
            if (h.biBitCount == 8)
                dib->colours.assign(info.colours, info.colours + 256);
        }
    }
    ::DeleteDC(screen);
    return read;
}

DWORD KeyFor(COLORREF trans, int bitsPerPixel)
{
    DWORD red = GetRValue(trans), green = GetGValue(trans), blue = GetBValue(trans);
    if (bitsPerPixel == 16)
        return ((blue & 0xF8) >> 3) | ((green & 0xFC) << 3) | ((red & 0xF8) << 8);
    return (red << 16) | (green << 8) | blue;
}

DWORD ReadWord32(const BYTE* p)
{
    DWORD value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

DWORD PixelValue(const DibPixels& dib, const BYTE* pixel)
{
    switch (dib.header.biBitCount) {
    case 8: {
        RGBQUAD entry = dib.colours[*pixel];
        return ReadWord32(reinterpret_cast<const BYTE*>(&entry));
    }
    case 16:
        return static_cast<DWORD>(pixel[0] | pixel[1] << 8);
    case 24:
        return ReadWord32(pixel) & 0xFFFFFF;
    default:
        return ReadWord32(pixel);
    }
}

// One rectangle per horizontal run of pixels that differ from the key, top row first.
std::vector<RECT> OpaqueRuns(const DibPixels& dib, DWORD key)
{
    int width = dib.header.biWidth;
    int height = dib.header.biHeight;
    int bytesPerPixel = dib.header.biBitCount / 8;
    std::vector<RECT> runs;
    runs.reserve(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const BYTE* row = dib.bits.data() + static_cast<size_t>(height - 1 - y) * dib.stride;
        int runStart = -1;
        for (int x = 0; x < width; ++x) {
            bool opaque = PixelValue(dib, row + x * bytesPerPixel) != key;
            if (runStart >= 0 && !opaque) {
                runs.push_back(RECT{runStart, y, x, y + 1});
                runStart = -1;
            } else if (runStart < 0 && opaque) {
                runStart = x;
            }
        }
        if (runStart >= 0)
            runs.push_back(RECT{runStart, y, width, y + 1});
    }
    return runs;
}

HRGN RegionFromRects(const std::vector<RECT>& rects)
{
    std::vector<BYTE> block(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT), 0);
    RGNDATAHEADER* header = reinterpret_cast<RGNDATAHEADER*>(block.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    if (!rects.empty())
        std::memcpy(block.data() + sizeof(RGNDATAHEADER), rects.data(), rects.size() * sizeof(RECT));
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), reinterpret_cast<RGNDATA*>(block.data()));
}

// A memory context compatible with dc that holds bitmap for as long as it lives.
class CBitmapSource {
public:
    CBitmapSource(CDC* dc, HBITMAP bitmap)
    {
        m_dc.CreateCompatibleDC(dc);
        m_hOld = m_dc.SelectObject(bitmap);
    }
    ~CBitmapSource() { m_dc.SelectObject(m_hOld); }
    CBitmapSource(const CBitmapSource&) = delete;
    CBitmapSource& operator=(const CBitmapSource&) = delete;
    const CDC* get() const { return &m_dc; }

private:
    CDC m_dc;
    HGDIOBJ m_hOld;
};

} // namespace

int CMyBitmap::GetWidth() const
{
    BITMAP info{};
    if (!m_hObject)
        return 0;
    GetBitmap(&info);
    return info.bmWidth;
}

int CMyBitmap::GetHeight() const
{
    BITMAP info{};
    if (!m_hObject)
        return 0;
    GetBitmap(&info);
    return info.bmHeight;
}

BOOL CMyBitmap::Draw(CDC* dc, int x, int y, const RECT* src) const
{
    CRect part = src ? CRect(*src) : CRect(0, 0, GetWidth(), GetHeight());
    CBitmapSource source(dc, *this);
    dc->BitBlt(x, y, part.Width(), part.Height(), source.get(), part.left, part.top, SRCCOPY);
    return TRUE;
}

BOOL CMyBitmap::DrawRect(CDC* dc, const RECT* dest) const
{
    CRect target(*dest);
    CBitmapSource source(dc, *this);
    dc->BitBlt(target.left, target.top, target.Width(), target.Height(), source.get(), 0, 0, SRCCOPY);
    return TRUE;
}

BOOL CMyBitmap::StretchDraw(CDC* dc, const RECT* dest, const RECT* src) const
{
    if (!dest)
        return FALSE;
    CRect target(*dest);
    CRect part(*src);
    CBitmapSource source(dc, *this);
    ::SetStretchBltMode(*dc, COLORONCOLOR);
    dc->StretchBlt(target.left, target.top, target.Width(), target.Height(), source.get(), part.left, part.top,
                   part.Width(), part.Height(), SRCCOPY);
    return TRUE;
}

BOOL CMyBitmap::DrawWithTrans(CDC* dc, int x, int y, const RECT* src, COLORREF trans, BOOL useTrans) const
{
    if (!useTrans)
        return Draw(dc, x, y, src);
    ASSERT(src != nullptr);
    CRect part = src ? CRect(*src) : CRect(0, 0, GetWidth(), GetHeight());
    DrawTransparentBitmap(*dc, x, y, part.Width(), part.Height(), *this, part.left, part.top, trans, nullptr);
    return TRUE;
}

HRGN CMyBitmap::CreateRgnFromBitmap(COLORREF trans) const
{
    DibPixels dib;
    if (!m_hObject || !ReadDibPixels(*this, &dib))
        return RegionFromRects({});
    return RegionFromRects(OpaqueRuns(dib, KeyFor(trans, dib.header.biBitCount)));
}

void DrawTransparentBitmap(HDC dest, int x, int y, int w, int h, HBITMAP bitmap, int xSrc, int ySrc,
                           COLORREF trans, HPALETTE palette)
{
    CDC target(dest);
    CDC maskDC, imageDC, sourceDC;
    maskDC.CreateCompatibleDC(&target);
    imageDC.CreateCompatibleDC(&target);
    sourceDC.CreateCompatibleDC(&target);

    CBitmap image;
    image.CreateCompatibleBitmap(dest, w, h);
    HGDIOBJ oldImage = imageDC.SelectObject(image);
    HPALETTE oldPalette = nullptr;
    if (palette && (target.GetDeviceCaps(RASTERCAPS) & RC_PALETTE)) {
        ::SelectPalette(dest, palette, FALSE);
        ::RealizePalette(dest);
        oldPalette = ::SelectPalette(imageDC, palette, FALSE);
    }
    HGDIOBJ oldSource = sourceDC.SelectObject(bitmap);
    imageDC.BitBlt(0, 0, w, h, &sourceDC, xSrc, ySrc, SRCCOPY);

    CBitmap mask;
    mask.Attach(::CreateBitmap(w, h, 1, 1, nullptr));
    HGDIOBJ oldMask = maskDC.SelectObject(mask);
    // Copying colour to monochrome gives 1 where a pixel equals the background colour.
    imageDC.SetBkColor(trans);
    maskDC.BitBlt(0, 0, w, h, &imageDC, 0, 0, SRCCOPY);

    imageDC.SetBkColor(BLACK);
    imageDC.SetTextColor(WHITE);
    imageDC.BitBlt(0, 0, w, h, &maskDC, 0, 0, SRCAND);

    target.SetBkColor(WHITE);
    target.SetTextColor(BLACK);
    target.BitBlt(x, y, w, h, &maskDC, 0, 0, SRCAND);
    target.BitBlt(x, y, w, h, &imageDC, 0, 0, SRCPAINT);

    maskDC.SelectObject(oldMask);
    sourceDC.SelectObject(oldSource);
    if (oldPalette)
        ::SelectPalette(imageDC, oldPalette, FALSE);
    imageDC.SelectObject(oldImage);
}
