#include "SkinButton.h"
#include "SkinFile.h"

namespace {

const int STRIP_IMAGES = 5;
const COLORREF BUTTON_KEY = RGB(255, 0, 255);
const COLORREF DISABLED_TEXT = RGB(100, 100, 100);

// The strip image each state draws: hover and focus share one.
int ImageForState(int state)
{
    switch (state) {
    case BTN_PRESSED: return 1;
    case BTN_DISABLED: return 2;
    case BTN_HOVER:
    case BTN_FOCUSED: return 3;
    default: return 0;
    }
}

} // namespace

BOOL CButtonSkin::LoadFromTheme(LPCTSTR themeFile)
{
    CSkinFile skin(themeFile);
    // Loaded aside: a failed reload keeps the strip the buttons already draw with.
    CMyBitmap strip;
    if (!skin.LoadImage(&strip, "Buttons", "Bitmap"))
        return FALSE;
    Attach(strip.Detach());
    m_nTopHeight = skin.ReadInt("Buttons", "TopHeight", 0);
    m_nBottomHeight = skin.ReadInt("Buttons", "BottomHeight", 0);
    m_nLeftWidth = skin.ReadInt("Buttons", "LeftWidth", 0);
    m_nRightWidth = skin.ReadInt("Buttons", "RightWidth", 0);
    m_bLoaded = TRUE;
    return TRUE;
}

CRect CButtonSkin::GetImageRect(int image) const
{
    int width = GetWidth();
    return CRect(image * width / STRIP_IMAGES, 0, (image + 1) * width / STRIP_IMAGES, GetHeight());
}

BOOL CButtonSkin::DrawState(CDC* dc, CRect rect, int state)
{
    if (state < BTN_NORMAL || state > BTN_DISABLED)
        return TRUE;
    DrawNineSlice(dc, rect, GetImageRect(ImageForState(state)));
    return TRUE;
}

BOOL CButtonSkin::DrawNineSlice(CDC* dc, CRect dest, CRect src)
{
    int T = m_nTopHeight, L = m_nLeftWidth, R = m_nRightWidth, B = m_nBottomHeight;
    int sx = src.left, sy = src.top, sw = src.Width(), sh = src.Height();
    int dw = dest.Width(), dh = dest.Height();
    CRect part;
    part = CRect(sx, sy, sx + L, sy + T);
    Draw(dc, 0, 0, &part);
    part = CRect(sx + sw - R, sy, sx + sw, sy + T);
    Draw(dc, dw - R, 0, &part);
    part = CRect(sx, sy + sh - B, sx + L, sy + sh);
    Draw(dc, 0, dh - B, &part);
    part = CRect(sx + sw - R, sy + sh - B, sx + sw, sy + sh);
    Draw(dc, dw - R, dh - B, &part);

    const struct { CRect from, to; } stretched[] = {
        {CRect(sx + L, sy, sx + sw - R, sy + T), CRect(L, 0, dw - R, T)},
        {CRect(sx + L, sy + sh - B, sx + sw - R, sy + sh), CRect(L, dh - B, dw - R, dh)},
        {CRect(sx, sy + T, sx + L, sy + sh - B), CRect(0, T, L, dh - B)},
        {CRect(sx + sw - R, sy + T, sx + sw, sy + sh - B), CRect(dw - R, T, dw, dh - B)},
        {CRect(sx + L, sy + T, sx + sw - R, sy + sh - B), CRect(L, T, dw - R, dh - B)},
    };
    for (const auto& piece : stretched)
        StretchDraw(dc, &piece.to, &piece.from);
    return TRUE;
}

IMPLEMENT_DYNAMIC(CSkinButton, CButton)

BEGIN_MESSAGE_MAP(CSkinButton, CButton)
    ON_WM_PAINT()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_ERASEBKGND()
    ON_WM_KEYDOWN()
    ON_WM_KEYUP()
    ON_WM_ENABLE()
END_MESSAGE_MAP()

CSkinButton::CSkinButton() : m_crText(::GetSysColor(COLOR_BTNTEXT)) {}

BOOL CSkinButton::SetSkin(CButtonSkin* skin)
{
    m_pSkin = skin;
    return skin != nullptr;
}

int CSkinButton::GetState() const
{
    if (GetStyle() & WS_DISABLED)
        return BTN_DISABLED;
    if (m_bHover && m_bPressed)
        return BTN_PRESSED;
    if (m_bHover)
        return BTN_HOVER;
    if (::GetFocus() == m_hWnd)
        return BTN_FOCUSED;
    return BTN_NORMAL;
}

BOOL CSkinButton::RenderState(CMyBitmap* target)
{
    m_bFocused = ::GetFocus() == m_hWnd;
    m_bEnabled = !(GetStyle() & WS_DISABLED);
    CClientDC screen(nullptr);
    CDC memory;
    memory.CreateCompatibleDC(&screen);
    CRect client;
    GetClientRect(&client);
    target->CreateCompatibleBitmap(screen, client.Width(), client.Height());
    CSelectGuard select(memory, *target);
    m_pSkin->DrawState(&memory, client, GetState());
    return TRUE;
}

void CSkinButton::OnPaint()
{
    if (!m_pSkin || !m_pSkin->m_bLoaded) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    CRect client;
    GetClientRect(&client);
    CMyBitmap face;
    RenderState(&face);
    SetWindowRgn(face.CreateRgnFromBitmap(BUTTON_KEY), TRUE);
    CRgn clip;
    clip.CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(clip);
    dc.SelectClipRgn(clip);
    face.DrawRect(&dc, &client);
    dc.SelectClipRgn(nullptr);
    DrawCaption(&dc);
}

BOOL CSkinButton::DrawCaption(CDC* dc)
{
    CRect client;
    GetClientRect(&client);
    CString text;
    GetWindowText(text);
    CWnd* parent = GetParent();
    CSelectGuard font(*dc, parent ? parent->GetFont() : static_cast<HFONT>(::GetStockObject(SYSTEM_FONT)));
    dc->SetTextColor(m_bEnabled ? m_crText : DISABLED_TEXT);
    dc->SetBkMode(TRANSPARENT);
    dc->DrawText(text, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return TRUE;
}

void CSkinButton::RepaintNow()
{
    Invalidate(TRUE);
    UpdateWindow();
}

void CSkinButton::OnMouseMove(UINT, CPoint point)
{
    CRgn region;
    region.CreateRectRgn(0, 0, 0, 0);
    BOOL inside = GetWindowRgn(region) != ERROR && region.PtInRegion(point);
    if (inside) {
        if (!m_bHover) {
            m_bHover = TRUE;
            RepaintNow();
            // The capture brings the move that reports leaving.
            SetCapture();
        }
    } else if (m_bHover) {
        m_bHover = FALSE;
        RepaintNow();
        if (!m_bPressed)
            ::ReleaseCapture();
    }
}

void CSkinButton::OnLButtonDown(UINT, CPoint)
{
    m_bPressed = TRUE;
    m_bHover = TRUE;
    RepaintNow();
    SetFocus();
}

void CSkinButton::OnLButtonUp(UINT, CPoint)
{
    ::ReleaseCapture();
    m_bPressed = FALSE;
    if (!m_bHover) {
        RepaintNow();
        return;
    }
    m_bHover = FALSE;
    RepaintNow();
    CWnd* parent = GetParent();
    if (parent)
        parent->SendMessage(WM_COMMAND, static_cast<WPARAM>(GetDlgCtrlID()), reinterpret_cast<LPARAM>(m_hWnd));
}

void CSkinButton::OnLButtonDblClk(UINT, CPoint) {}

void CSkinButton::OnSetFocus(CWnd*) {}

void CSkinButton::OnKillFocus(CWnd*) {}

BOOL CSkinButton::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CSkinButton::OnKeyDown(UINT ch, UINT, UINT)
{
    if (ch == VK_SPACE)
        OnLButtonDown(0, CPoint(0, 0));
}

void CSkinButton::OnKeyUp(UINT ch, UINT, UINT)
{
    if (ch == VK_SPACE)
        OnLButtonUp(0, CPoint(0, 0));
}

void CSkinButton::OnEnable(BOOL enable)
{
    if (enable)
        ModifyStyle(WS_DISABLED, 0);
    else
        ModifyStyle(0, WS_DISABLED);
    RepaintNow();
}
