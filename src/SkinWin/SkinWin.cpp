#include "SkinWin.h"
#include "SkinFile.h"
#include <algorithm>

namespace {

const COLORREF DEFAULT_BAR_COLOR = RGB(207, 207, 207);
// The small icon and the caption's hit zone start this far below the window's top.
const int ICON_TOP = 5;
const UINT TITLE_FORMAT = DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS;

// One edge image cut along its length: start [0, a), tiled middle [a, b), end [b, endSourceEnd).
struct Slicing {
    bool alongX;
    int a, b;
    int endSourceEnd;
    int crossStart, crossEnd; // the state's half across the span
};

void DrawPiece(const CMyBitmap& image, CDC* dc, const Slicing& s, int spanPos, int crossPos, int from, int to)
{
    if (to <= from)
        return;
    if (s.alongX) {
        CRect src(from, s.crossStart, to, s.crossEnd);
        image.Draw(dc, spanPos, crossPos, &src);
    } else {
        CRect src(s.crossStart, from, s.crossEnd, to);
        image.Draw(dc, crossPos, spanPos, &src);
    }
}

// Start slice at origin, middle copies up to origin + span, end slice at endPos.
void DrawSliced(const CMyBitmap& image, CDC* dc, const Slicing& s, int origin, int crossPos, int span,
                int imageLength, int endPos)
{
    int m = s.b - s.a;
    if (m < 1)
        return;
    int copies = (span - imageLength) / m + 1;
    if (copies < 0)
        copies = 0;
    DrawPiece(image, dc, s, origin, crossPos, 0, s.a);
    for (int k = 0; k <= copies; ++k) {
        int offset = s.a + k * m;
        int length = offset + m > span ? span - offset : m;
        if (length <= 0)
            break;
        DrawPiece(image, dc, s, origin + offset, crossPos, s.a, s.a + length);
    }
    DrawPiece(image, dc, s, endPos, crossPos, s.b, s.endSourceEnd);
}

int ButtonHitCode(int action)
{
    switch (action) {
    case BTN_CLOSE: return HTCLOSE;
    case BTN_MINIMIZE: return HTMINBUTTON;
    default: return HTMAXBUTTON;
    }
}

bool IsBorderHit(UINT hit)
{
    return hit >= HTLEFT && hit <= HTBOTTOMRIGHT;
}

} // namespace

BEGIN_MESSAGE_MAP(CSkinWin, CSubclassWnd)
    ON_WM_SIZE()
    ON_WM_ACTIVATE()
    ON_MESSAGE(WM_SETTEXT, OnSetText)
    ON_WM_SHOWWINDOW()
    ON_WM_GETMINMAXINFO()
    ON_MESSAGE_VV(WM_WINDOWPOSCHANGING, OnSwallowed)
    ON_WM_NCCALCSIZE()
    ON_WM_NCHITTEST()
    ON_WM_NCPAINT()
    ON_WM_NCACTIVATE()
    ON_WM_NCMOUSEMOVE()
    ON_WM_NCLBUTTONDOWN()
    ON_WM_NCLBUTTONUP()
    ON_WM_NCLBUTTONDBLCLK()
    ON_WM_NCRBUTTONDOWN()
    ON_MESSAGE_VV(WM_NCRBUTTONUP, OnSwallowed)
    ON_MESSAGE(WM_COMMAND, OnCommand)
    ON_WM_SYSCOMMAND()
    ON_MESSAGE_VV(WM_SIZING, OnSwallowed)
END_MESSAGE_MAP()

CSkinWin::CSkinWin()
    : m_crBar(DEFAULT_BAR_COLOR), m_crMenu(DEFAULT_BAR_COLOR), m_bLoaded(FALSE), m_nWinState(WINSTATE_NORMAL)
{
}

void CSkinWin::ReleaseImages()
{
    for (CMyBitmap* image : {&m_bmpDialog, &m_bmpTop, &m_bmpLeft, &m_bmpRight, &m_bmpBottom, &m_bmpMaxBtn,
                             &m_bmpRestoreBtn, &m_bmpMinBtn, &m_bmpCloseBtn})
        image->DeleteObject();
}

BOOL CSkinWin::LoadSkin(LPCTSTR iniPath)
{
    // Images left by an earlier load, even a failed one, would be taken for this skin's.
    ReleaseImages();
    if (m_bLoaded) {
        m_crBar = m_crMenu = DEFAULT_BAR_COLOR;
        m_bLoaded = FALSE;
    }
    CSkinFile skin(iniPath);
    if (!skin.IsReadable())
        return FALSE;
    skin.LoadImage(&m_bmpDialog, "Personality", "DialogBmp");
    const struct { const char* key; CMyBitmap* image; } edges[] = {
        {"Top", &m_bmpTop}, {"Left", &m_bmpLeft}, {"Right", &m_bmpRight}, {"Bottom", &m_bmpBottom}};
    for (const auto& edge : edges) {
        if (!skin.LoadImage(edge.image, "Personality", edge.key))
            return FALSE;
    }
    m_nTopHeight = m_bmpTop.GetHeight() / 2;
    m_nBottomHeight = m_bmpBottom.GetHeight() / 2;
    m_nLeftWidth = m_bmpLeft.GetWidth() / 2;
    m_nRightWidth = m_bmpRight.GetWidth() / 2;
    ReadSlices(skin);
    if (!LoadCaptionButtons(skin))
        return FALSE;
    m_nTextShift = skin.ReadInt("Personality", "TextShift", 0);
    m_nTextShiftVert = skin.ReadInt("Personality", "TextShiftVert", 0);
    ReadColors(skin);
    m_bLoaded = TRUE;
    return TRUE;
}

void CSkinWin::ReadSlices(const CSkinFile& skin)
{
    const struct { const char* startKey; const char* endKey; int* startEnd; int* endStart; int length; } slices[] = {
        {"TopTopHeight", "TopBotHeight", &m_nTopLeftEnd, &m_nTopRightStart, m_bmpTop.GetWidth()},
        {"LeftTopHeight", "LeftBotHeight", &m_nLeftTopEnd, &m_nLeftBottomStart, m_bmpLeft.GetHeight()},
        {"RightTopHeight", "RightBotHeight", &m_nRightTopEnd, &m_nRightBottomStart, m_bmpRight.GetHeight()},
        {"BottomTopHeight", "BottomBotHeight", &m_nBottomLeftEnd, &m_nBottomRightStart, m_bmpBottom.GetWidth()}};
    for (const auto& slice : slices) {
        // Clamped to the image, so no value can overflow or slice outside it.
        *slice.startEnd = std::clamp(skin.ReadInt("Personality", slice.startKey, 0), 0, slice.length - 1);
        *slice.endStart = slice.length - std::clamp(skin.ReadInt("Personality", slice.endKey, 0), 0, slice.length);
        // Every middle slice keeps at least one pixel.
        if (*slice.endStart <= *slice.startEnd)
            *slice.endStart = *slice.startEnd + 1;
    }
}

BOOL CSkinWin::LoadCaptionButtons(const CSkinFile& skin)
{
    int count = skin.ReadInt("Personality", "ButtonCount", 0);
    m_nButtonImgCount = skin.ReadInt("Personality", "ButtonImgCount", 3);
    for (int i = 0; i < count; ++i) {
        CString section;
        section.Format("Button%d", i);
        CMyBitmap* image;
        CRect* placement;
        switch (skin.ReadInt(section, "Action", 0)) {
        case BTN_CLOSE:
            image = &m_bmpCloseBtn;
            placement = &m_rcCloseBtn;
            break;
        case BTN_MAXIMIZE:
            if (m_bmpMaxBtn.GetSafeHandle()) {
                image = &m_bmpRestoreBtn;
                placement = &m_rcRestoreBtn;
            } else {
                image = &m_bmpMaxBtn;
                placement = &m_rcMaxBtn;
            }
            break;
        case BTN_MINIMIZE:
            image = &m_bmpMinBtn;
            placement = &m_rcMinBtn;
            break;
        default:
            continue;
        }
        // Cell widths divide by the count.
        if (m_nButtonImgCount <= 0 || !skin.LoadImage(image, section, "ButtonImage"))
            return FALSE;
        int x = skin.ReadInt(section, "XCoord", 0);
        int y = skin.ReadInt(section, "YCoord", 0);
        *placement = CRect(x - image->GetWidth() / m_nButtonImgCount, y, x, y + image->GetHeight());
    }
    return TRUE;
}

void CSkinWin::ReadColors(const CSkinFile& skin)
{
    m_crTitleText = skin.ReadSkinColor("Colours", "TitleText", ::GetSysColor(COLOR_CAPTIONTEXT));
    m_crInactiveTitleText = skin.ReadSkinColor("Colours", "InactiveTitleText", ::GetSysColor(COLOR_CAPTIONTEXT));
    m_bUsesTran = skin.ReadInt("Personality", "UsesTran", 0);
    if (m_bUsesTran)
        m_crTrans = skin.ReadSkinColor("Colours", "TransColor", RGB(255, 0, 255));
    m_crBar = skin.ReadSkinColor("Colours", "BarColor", DEFAULT_BAR_COLOR);
    m_crMenu = skin.ReadSkinColor("Colours", "MenuColor", DEFAULT_BAR_COLOR);
    m_crButtonFace = skin.ReadSkinColor("Colours", "ButtonFace", ::GetSysColor(COLOR_BTNFACE));
    m_crButtonText = skin.ReadSkinColor("Colours", "ButtonText", ::GetSysColor(COLOR_BTNTEXT));
    m_crButtonHilight = skin.ReadSkinColor("Colours", "ButtonHilight", ::GetSysColor(COLOR_BTNFACE));
    m_crButtonFocus = skin.ReadSkinColor("Colours", "ButtonFocus", ::GetSysColor(COLOR_BTNFACE));
}

BOOL CSkinWin::InstallSkin(CWnd* wnd)
{
    if (!wnd || !m_bLoaded)
        return FALSE;
    HookWindow(static_cast<HWND>(nullptr));
    BOOL hooked = HookWindow(wnd);
    if (!m_hWnd)
        return FALSE;
    LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    m_bSizable = style & WS_THICKFRAME;
    m_bMinimizable = style & WS_MINIMIZEBOX;
    m_bMaximizable = style & WS_MAXIMIZEBOX;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, style & ~(WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU));
    return hooked;
}

CRect CSkinWin::WindowRect() const
{
    CRect rc;
    ::GetWindowRect(m_hWnd, &rc);
    return rc;
}

BOOL CSkinWin::DrawFrameEdges(CDC* dc, int x, int y, int w, int h, int state, BOOL drawTop)
{
    int L = m_nLeftWidth, R = m_nRightWidth, B = m_nBottomHeight;
    if (drawTop)
        DrawTop(dc, x + L, y, w - R - L + 1, state);
    DrawLeft(dc, x, y, h, state);
    DrawRight(dc, x + w - R, y, h, state);
    DrawBottom(dc, x + L, y + h - B, w - R - L, state);
    return TRUE;
}

BOOL CSkinWin::DrawTop(CDC* dc, int x, int y, int width, int state)
{
    int imageWidth = m_bmpTop.GetWidth();
    Slicing s{true, m_nTopLeftEnd, m_nTopRightStart, imageWidth - 1, state ? m_nTopHeight : 0,
              state ? m_bmpTop.GetHeight() : m_nTopHeight};
    DrawSliced(m_bmpTop, dc, s, x, y, width, imageWidth, x + width - (imageWidth - s.b) + 1);
    return TRUE;
}

BOOL CSkinWin::DrawBottom(CDC* dc, int x, int y, int width, int state)
{
    int imageWidth = m_bmpBottom.GetWidth();
    Slicing s{true, m_nBottomLeftEnd, m_nBottomRightStart, imageWidth - 1, state ? m_nBottomHeight : 0,
              state ? m_bmpBottom.GetHeight() : m_nBottomHeight};
    DrawSliced(m_bmpBottom, dc, s, x, y, width, imageWidth, x + width - (imageWidth - s.b));
    return TRUE;
}

BOOL CSkinWin::DrawLeft(CDC* dc, int x, int y, int height, int state)
{
    int imageHeight = m_bmpLeft.GetHeight();
    Slicing s{false, m_nLeftTopEnd, m_nLeftBottomStart, imageHeight, state ? m_nLeftWidth : 0,
              state ? m_bmpLeft.GetWidth() : m_nLeftWidth};
    DrawSliced(m_bmpLeft, dc, s, y, x, height, imageHeight, y + height - (imageHeight - s.b));
    return TRUE;
}

BOOL CSkinWin::DrawRight(CDC* dc, int x, int y, int height, int state)
{
    int imageHeight = m_bmpRight.GetHeight();
    Slicing s{false, m_nRightTopEnd, m_nRightBottomStart, imageHeight, state ? m_nRightWidth : 0,
              state ? m_bmpRight.GetWidth() : m_nRightWidth};
    DrawSliced(m_bmpRight, dc, s, y, x, height, imageHeight, y + height - (imageHeight - s.b));
    return TRUE;
}

void CSkinWin::ComposeCaption(CDC* memory, CDC* compatible, CMyBitmap* bitmap, int width, int state)
{
    bitmap->CreateCompatibleBitmap(*compatible, width, m_nTopHeight);
    CSelectGuard select(*memory, *bitmap);
    DrawTop(memory, m_nLeftWidth, 0, width - m_nRightWidth - m_nLeftWidth + 1, state);
    DrawLeft(memory, 0, 0, m_bmpLeft.GetHeight(), state);
    DrawRight(memory, width - m_nRightWidth, 0, m_bmpRight.GetHeight(), state);
}

HRGN CSkinWin::CaptionShape(const CMyBitmap& caption, int width, int height)
{
    HRGN shape = caption.CreateRgnFromBitmap(m_crTrans);
    HRGN region = ::CreateRectRgn(0, m_nTopHeight, width, height);
    ::CombineRgn(region, region, shape, RGN_XOR);
    ::DeleteObject(shape);
    return region;
}

HRGN CSkinWin::MakeWindowRegion(int cx, int cy)
{
    (void)cy;
    CRect rc = WindowRect();
    if (!m_bUsesTran)
        return ::CreateRectRgn(0, 0, rc.Width(), rc.Height());
    CMyBitmap band;
    {
        CClientDC client(m_hWnd);
        CDC memory;
        memory.CreateCompatibleDC(&client);
        ComposeCaption(&memory, &client, &band, cx, 0);
    }
    return CaptionShape(band, rc.Width(), rc.Height());
}

CRect CSkinWin::GetButtonRect(int action)
{
    const CRect* stored = nullptr;
    switch (action) {
    case BTN_CLOSE:
        if (m_bmpCloseBtn.GetSafeHandle())
            stored = &m_rcCloseBtn;
        break;
    case BTN_MAXIMIZE:
        if (m_bmpMaxBtn.GetSafeHandle())
            stored = m_nWinState == WINSTATE_MAXIMIZED && m_bmpRestoreBtn.GetSafeHandle() ? &m_rcRestoreBtn : &m_rcMaxBtn;
        break;
    case BTN_MINIMIZE:
        if (m_bmpMinBtn.GetSafeHandle())
            stored = &m_rcMinBtn;
        break;
    }
    if (!stored)
        return CRect();
    int W = WindowRect().Width();
    return CRect(W - stored->right, stored->top, W - stored->left, stored->bottom);
}

BOOL CSkinWin::DrawButton(CDC* dc, int action, int state)
{
    const CMyBitmap* image = nullptr;
    switch (action) {
    case BTN_CLOSE:
        if (m_bmpCloseBtn.GetSafeHandle())
            image = &m_bmpCloseBtn;
        break;
    case BTN_MAXIMIZE:
        if (m_bMaximizable && m_bmpMaxBtn.GetSafeHandle())
            image = m_nWinState == WINSTATE_MAXIMIZED && m_bmpRestoreBtn.GetSafeHandle() ? &m_bmpRestoreBtn : &m_bmpMaxBtn;
        break;
    case BTN_MINIMIZE:
        if (m_bMinimizable && m_bmpMinBtn.GetSafeHandle())
            image = &m_bmpMinBtn;
        break;
    }
    if (!image)
        return TRUE;
    CRect rc = GetButtonRect(action);
    int cellWidth = rc.Width();
    CRect cell(state * cellWidth, 0, (state + 1) * cellWidth, image->GetHeight());
    image->DrawWithTrans(dc, rc.left, rc.top, &cell, m_crTrans, m_bUsesTran);
    return TRUE;
}

void CSkinWin::DrawCaptionButtons(CDC* dc)
{
    for (int action : {BTN_CLOSE, BTN_MINIMIZE, BTN_MAXIMIZE}) {
        int code = ButtonHitCode(action);
        int state = m_nPressedHit == code ? 1 : m_nHoverHit == code ? 2 : 0;
        DrawButton(dc, action, state);
    }
}

void CSkinWin::DrawIcon(CDC* dc)
{
    HICON icon = reinterpret_cast<HICON>(::SendMessageA(m_hWnd, WM_GETICON, ICON_SMALL, 0));
    if (!icon)
        return;
    int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    HICON small = static_cast<HICON>(::CopyImage(icon, IMAGE_ICON, cx, cy, 0));
    if (!small)
        return;
    ::DrawIconEx(*dc, m_nLeftWidth, ICON_TOP, small, cx, cy, 0, nullptr, DI_NORMAL);
    ::DestroyIcon(small);
}

void CSkinWin::DrawTitle(CDC* dc, int width)
{
    if (m_strTitle.IsEmpty()) {
        int length = ::GetWindowTextLengthA(m_hWnd);
        ::GetWindowTextA(m_hWnd, m_strTitle.GetBuffer(length + 1), length + 1);
        m_strTitle.ReleaseBuffer();
    }
    dc->SetTextColor(m_bActive ? m_crTitleText : m_crInactiveTitleText);
    dc->SetBkMode(TRANSPARENT);
    // The small-caption height as the font's cell height: read as tenths of a point it gives a
    // font of under two pixels wherever "System" is scalable.
    LOGFONTA face{};
    face.lfHeight = ::GetSystemMetrics(SM_CYSMCAPTION);
    face.lfWeight = FW_BOLD;
    face.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(face.lfFaceName, "System", LF_FACESIZE);
    CFont font;
    font.CreateFontIndirect(&face);
    CSelectGuard select(*dc, font);
    CRect text(m_nTextShift, m_nTextShiftVert, width - (m_bmpTop.GetWidth() - m_nTopRightStart), m_nTopHeight);
    dc->DrawText(m_strTitle, &text, TITLE_FORMAT);
}

void CSkinWin::DrawFrame()
{
    if (!m_hWnd || !m_bLoaded)
        return;
    CWindowDC dc(m_hWnd);
    CRect rc = WindowRect();
    int W = rc.Width(), H = rc.Height();
    int state = m_bActive ? 0 : 1;

    ::ExcludeClipRect(dc, 0, 0, W, m_nTopHeight);
    DrawFrameEdges(&dc, 0, 0, W, H, state, FALSE);
    dc.SelectClipRgn(nullptr);

    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CMyBitmap band;
    ComposeCaption(&memory, &dc, &band, W, state);
    CRgn shape;
    if (m_bUsesTran) {
        shape.Attach(CaptionShape(band, W, H));
        dc.SelectClipRgn(shape);
    } else {
        ::SetWindowRgn(m_hWnd, ::CreateRectRgn(0, 0, W, H), FALSE);
    }
    {
        CSelectGuard select(memory, band);
        DrawCaptionButtons(&memory);
        DrawIcon(&memory);
        DrawTitle(&memory, W);
        dc.BitBlt(0, 0, W, m_nTopHeight, &memory, 0, 0, SRCCOPY);
    }
    dc.SelectClipRgn(nullptr);
}

UINT CSkinWin::HitTest(CPoint point)
{
    CRect rc = WindowRect();
    CPoint pt(point.x - rc.left, point.y - rc.top);
    int W = rc.Width(), H = rc.Height();
    int T = m_nTopHeight, L = m_nLeftWidth, R = m_nRightWidth, B = m_nBottomHeight;
    BOOL sizing = m_bSizable && m_nWinState != WINSTATE_MAXIMIZED;
    int iconWidth = ::GetSystemMetrics(SM_CXSMICON), iconHeight = ::GetSystemMetrics(SM_CYSMICON);
    const struct { CRect zone; BOOL enabled; UINT code; } zones[] = {
        {GetButtonRect(BTN_CLOSE), TRUE, HTCLOSE},
        {GetButtonRect(BTN_MINIMIZE), m_bMinimizable, HTMINBUTTON},
        {GetButtonRect(BTN_MAXIMIZE), m_bMaximizable, HTMAXBUTTON},
        {CRect(L, ICON_TOP, L + iconWidth, ICON_TOP + iconHeight), TRUE, HTSYSMENU},
        {CRect(0, 0, L, T), sizing, HTTOPLEFT},
        // As wide as the left border, whatever the right one is.
        {CRect(W - L, 0, W, T), sizing, HTTOPRIGHT},
        {CRect(0, H - B, L, H), sizing, HTBOTTOMLEFT},
        {CRect(W - R, H - B, W, H), sizing, HTBOTTOMRIGHT},
        {CRect(0, T, L, H - B), sizing, HTLEFT},
        {CRect(W - R, T, W, H - B), sizing, HTRIGHT},
        {CRect(L, H - B, W - R, H), sizing, HTBOTTOM},
        {CRect(L, 0, W - R, B), sizing, HTTOP},
        {CRect(L, ICON_TOP, W - R, T), TRUE, HTCAPTION},
    };
    for (const auto& z : zones) {
        if (z.enabled && z.zone.PtInRect(pt))
            return z.code;
    }
    return HTCLIENT;
}

LRESULT CSkinWin::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!::IsWindow(m_hWnd))
        return 0;
    LRESULT result = 0;
    if (!m_bLoaded || !OnWndMsg(msg, wParam, lParam, &result))
        return Default();
    return result;
}

void CSkinWin::OnSize(UINT, int, int)
{
    Default();
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    DrawFrame();
    CRect rc = WindowRect();
    ::SetWindowRgn(m_hWnd, m_bUsesTran ? MakeWindowRegion(rc.Width(), rc.Height()) : nullptr, TRUE);
}

void CSkinWin::OnActivate(UINT state)
{
    m_bActive = state == WA_ACTIVE || state == WA_CLICKACTIVE;
    OnNcActivate(m_bActive);
}

LRESULT CSkinWin::OnSetText(WPARAM, LPARAM lParam)
{
    Default();
    m_strTitle = reinterpret_cast<LPCSTR>(lParam);
    DrawFrame();
    return 0;
}

void CSkinWin::OnShowWindow(BOOL show)
{
    if (show)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 400, 400, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
    Default();
}

void CSkinWin::OnGetMinMaxInfo(MINMAXINFO* info)
{
    info->ptMinTrackSize.x = m_bmpTop.GetWidth() + m_bmpLeft.GetWidth() + m_bmpRight.GetWidth();
    info->ptMinTrackSize.y = m_bmpLeft.GetHeight() + 20;
}

void CSkinWin::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params)
{
    if (!calcValidRects) {
        Default();
        return;
    }
    RECT& proposed = params->rgrc[0];
    proposed.left += m_nLeftWidth;
    proposed.top += m_nTopHeight;
    proposed.right -= m_nRightWidth;
    proposed.bottom -= m_nBottomHeight;
    params->rgrc[1] = proposed;
}

void CSkinWin::OnNcPaint()
{
    DrawFrame();
}

BOOL CSkinWin::OnNcActivate(BOOL active)
{
    m_bActive = active;
    DrawFrame();
    return !active;
}

void CSkinWin::OnNcMouseMove(UINT hit, CPoint)
{
    if (IsBorderHit(hit) || (hit == HTCAPTION && m_nWinState != WINSTATE_MAXIMIZED))
        Default();
    m_nHoverHit = static_cast<int>(hit);
    m_nPressedHit = 0;
    if (m_nHoverHit != m_nLastHit) {
        DrawFrame();
        m_nLastHit = m_nHoverHit;
    }
}

void CSkinWin::OnNcLButtonDown(UINT hit, CPoint point)
{
    m_nPressedHit = m_nHoverHit = static_cast<int>(hit);
    DrawFrame();
    if (IsBorderHit(hit) || (hit == HTCAPTION && m_nWinState != WINSTATE_MAXIMIZED))
        Default();
    else if (hit == HTSYSMENU)
        PopupSysMenu(point);
}

void CSkinWin::OnNcLButtonUp(UINT hit, CPoint)
{
    switch (hit) {
    case HTCLOSE:
        ::SendMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return;
    case HTMINBUTTON:
        Minimize();
        break;
    case HTMAXBUTTON:
        if (m_nWinState == WINSTATE_MAXIMIZED)
            Restore();
        else
            Maximize();
        break;
    default:
        return;
    }
    m_nPressedHit = m_nHoverHit = 0;
    DrawFrame();
}

void CSkinWin::OnNcLButtonDblClk(UINT hit, CPoint)
{
    if (hit != HTCAPTION || !m_bSizable)
        return;
    if (m_nWinState == WINSTATE_MAXIMIZED)
        Restore();
    else
        Maximize();
    m_nPressedHit = m_nHoverHit = 0;
    DrawFrame();
}

void CSkinWin::OnNcRButtonDown(UINT hit, CPoint point)
{
    if (hit == HTCAPTION)
        PopupSysMenu(point);
}

CRect CSkinWin::GetWorkArea()
{
    CRect work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

BOOL CSkinWin::Maximize()
{
    CRect work = GetWorkArea();
    m_rcRestore = WindowRect();
    m_nWinState = WINSTATE_MAXIMIZED;
    ::MoveWindow(m_hWnd, work.left, work.top, work.Width(), work.Height(), TRUE);
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

BOOL CSkinWin::Minimize()
{
    m_nOldState = m_nWinState;
    m_nWinState = WINSTATE_MINIMIZED;
    ::ShowWindow(m_hWnd, SW_MINIMIZE);
    return TRUE;
}

BOOL CSkinWin::Restore()
{
    if (m_nWinState != WINSTATE_MAXIMIZED)
        return TRUE;
    ::MoveWindow(m_hWnd, m_rcRestore.left, m_rcRestore.top, m_rcRestore.Width(), m_rcRestore.Height(), TRUE);
    m_nWinState = WINSTATE_NORMAL;
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

void CSkinWin::LeaveMinimized()
{
    ::ShowWindow(m_hWnd, SW_RESTORE);
    m_nWinState = m_nOldState;
    DrawFrame();
}

BOOL CSkinWin::PopupSysMenu(CPoint point)
{
    ::TrackPopupMenu(::GetSystemMenu(m_hWnd, FALSE), 0, point.x, point.y, 0, m_hWnd, nullptr);
    return TRUE;
}

BOOL CSkinWin::ApplyStateCommand(UINT command)
{
    if (command == SC_MAXIMIZE)
        Maximize();
    else if (command == SC_RESTORE && m_nWinState == WINSTATE_MAXIMIZED)
        Restore();
    else if (command == SC_RESTORE && m_nWinState == WINSTATE_MINIMIZED)
        LeaveMinimized();
    else
        return FALSE;
    return TRUE;
}

void CSkinWin::OnSysCommand(UINT id, LPARAM)
{
    // A minimize from the system (the taskbar) is the system's to carry out.
    if (!ApplyStateCommand(id & 0xFFF0))
        Default();
}

BOOL CSkinWin::IsInSystemMenu(UINT id) const
{
    HMENU menu = ::GetSystemMenu(m_hWnd, FALSE);
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (::GetMenuItemID(menu, i) == id)
            return TRUE;
    }
    return FALSE;
}

LRESULT CSkinWin::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT id = static_cast<UINT>(wParam);
    if (lParam || !IsInSystemMenu(id))
        Default();
    else if (id == SC_MINIMIZE)
        Minimize();
    else if (!ApplyStateCommand(id))
        ::SendMessageA(m_hWnd, WM_SYSCOMMAND, wParam, lParam);
    return 0;
}
