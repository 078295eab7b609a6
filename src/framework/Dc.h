// Device contexts: CDC (a view, or the owner of a memory context), CPaintDC, CClientDC,
// CWindowDC, and CSelectGuard, which puts back what SelectObject replaced.
#pragma once
#include "Geometry.h"
#include "Gdi.h"
#include "String.h"

class CDC {
public:
    CDC() = default;
    // A view of a context someone else releases.
    explicit CDC(HDC borrowed) : m_hDC(borrowed) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // The context made here is owned and deleted with this object.
    BOOL CreateCompatibleDC(const CDC* dc);

    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    int SelectClipRgn(HRGN region) { return ::SelectClipRgn(m_hDC, region); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

    BOOL BitBlt(int x, int y, int w, int h, const CDC* src, int sx, int sy, DWORD rop);
    BOOL StretchBlt(int x, int y, int w, int h, const CDC* src, int sx, int sy, int sw, int sh, DWORD rop);
    void FillSolidRect(const RECT& rc, COLORREF color);
    void FillRect(const RECT& rc, HBRUSH brush) { ::FillRect(m_hDC, &rc, brush); }
    // A one-pixel frame just inside rc: top and left edges in one colour, bottom and right in the other.
    void Draw3dRect(const RECT& rc, COLORREF topLeft, COLORREF bottomRight);
    BOOL MoveTo(int x, int y) { return ::MoveToEx(m_hDC, x, y, nullptr); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    int DrawText(const CString& text, RECT* rc, UINT format);
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }

protected:
    HDC m_hDC = nullptr;

private:
    BOOL m_bOwned = FALSE;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND wnd) : m_hWnd(wnd) { m_hDC = ::BeginPaint(wnd, &m_ps); }
    ~CPaintDC() override { ::EndPaint(m_hWnd, &m_ps); }
    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(HWND wnd) : m_hWnd(wnd) { m_hDC = ::GetDC(wnd); }
    ~CClientDC() override { ::ReleaseDC(m_hWnd, m_hDC); }

private:
    HWND m_hWnd;
};

class CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND wnd) : m_hWnd(wnd) { m_hDC = ::GetWindowDC(wnd); }
    ~CWindowDC() override { ::ReleaseDC(m_hWnd, m_hDC); }

private:
    HWND m_hWnd;
};

class CSelectGuard {
public:
    CSelectGuard(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hOld(::SelectObject(dc, object)) {}
    CSelectGuard(const CSelectGuard&) = delete;
    CSelectGuard& operator=(const CSelectGuard&) = delete;
    ~CSelectGuard() { ::SelectObject(m_hDC, m_hOld); }

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};
