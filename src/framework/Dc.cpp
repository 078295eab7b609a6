#include "Dc.h"

CDC::~CDC()
{
    if (m_bOwned)
        ::DeleteDC(m_hDC);
}

BOOL CDC::CreateCompatibleDC(const CDC* dc)
{
    if (m_bOwned)
        ::DeleteDC(m_hDC);
    m_hDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    m_bOwned = m_hDC != nullptr;
    return m_bOwned;
}

BOOL CDC::BitBlt(int x, int y, int w, int h, const CDC* src, int sx, int sy, DWORD rop)
{
    return ::BitBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, rop);
}

BOOL CDC::StretchBlt(int x, int y, int w, int h, const CDC* src, int sx, int sy, int sw, int sh, DWORD rop)
{
    return ::StretchBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, rop);
}

void CDC::FillSolidRect(const RECT& rc, COLORREF color)
{
    COLORREF old = ::SetBkColor(m_hDC, color);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

void CDC::Draw3dRect(const RECT& rc, COLORREF topLeft, COLORREF bottomRight)
{
    FillSolidRect(RECT{rc.left, rc.top, rc.right - 1, rc.top + 1}, topLeft);
    FillSolidRect(RECT{rc.left, rc.top, rc.left + 1, rc.bottom - 1}, topLeft);
    FillSolidRect(RECT{rc.right - 1, rc.top, rc.right, rc.bottom}, bottomRight);
    FillSolidRect(RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom}, bottomRight);
}

int CDC::DrawText(const CString& text, RECT* rc, UINT format)
{
    return ::DrawTextA(m_hDC, text, text.GetLength(), rc, format);
}
