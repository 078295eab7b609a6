// The skinned frame on real windows: slicing, caption buttons, state halves, region, non-client
// size, hit tests, caption-button behaviour, window states and the system menu.
#include "SkinTestSupport.h"
#include "SkinWin/SkinWin.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>

namespace {

// Edge images whose pixels tell where they came from: column or row, and state half.
COLORREF TopPixel(int x, int y) { return RGB(x, y < 30 ? 100 : 200, 50); }
COLORREF LeftPixel(int x, int y) { return x == 0 && y == 0 ? RGB(255, 0, 255) : RGB(10 + y, x < 4 ? 101 : 201, 60); }
COLORREF RightPixel(int x, int y) { return RGB(20 + y, x < 3 ? 102 : 202, 70); }
COLORREF BottomPixel(int x, int y) { return RGB(x, y < 4 ? 103 : 203, 80); }
COLORREF CloseCell(int x, int) { return RGB(x, 0, 150); }
const COLORREF TITLE = RGB(0, 255, 0);
const COLORREF INACTIVE_TITLE = RGB(255, 255, 0);
const int W = 400, H = 300;
const DWORD SIZABLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
const DWORD FIXED_SIZE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

std::vector<UINT> g_received;

LRESULT CALLBACK FrameOwnProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CLOSE || msg == WM_SYSCOMMAND || msg == WM_COMMAND) {
        g_received.push_back(msg == WM_COMMAND ? 0x10000 | LOWORD(wParam) : msg == WM_SYSCOMMAND ? 0x20000 | (wParam & 0xFFF0) : msg);
        if (msg == WM_CLOSE || msg == WM_COMMAND || (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == 0x10))
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class SkinFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        const struct { const char* name; int w, h; COLORREF (*pixel)(int, int); } images[] = {
            {"top.bmp", 100, 60, TopPixel}, {"left.bmp", 8, 50, LeftPixel}, {"right.bmp", 6, 40, RightPixel},
            {"bottom.bmp", 60, 8, BottomPixel}, {"close.bmp", 63, 21, CloseCell}, {"max.bmp", 45, 15, CloseCell},
            {"restore.bmp", 30, 12, CloseCell}, {"min.bmp", 36, 12, CloseCell},
        };
        for (const auto& image : images)
            folder.Write(image.name, MakeBmp(24, image.w, image.h, image.pixel));
        g_received.clear();
    }
    void TearDown() override { DestroyWindow(wnd); }
    std::string Theme(const std::string& extra = "UsesTran=1\n")
    {
        return folder.WriteText("theme.ini",
            "[Personality]\nTop=top.bmp\nLeft=left.bmp\nRight=right.bmp\nBottom=bottom.bmp\n"
            "TopTopHeight=20\nTopBotHeight=20\nButtonCount=4\nTextShift=30\nTextShiftVert=0\n" + extra +
            "[Button0]\nButtonImage=close.bmp\nAction=0\nXCoord=30\nYCoord=5\n"
            "[Button1]\nButtonImage=max.bmp\nAction=1\nXCoord=60\nYCoord=5\n"
            "[Button2]\nButtonImage=restore.bmp\nAction=1\nXCoord=60\nYCoord=6\n"
            "[Button3]\nButtonImage=min.bmp\nAction=2\nXCoord=90\nYCoord=5\n"
            "[Colours]\nTitleText=0 255 0\nInactiveTitleText=255 255 0\n");
    }
    void MakeWindow(DWORD style = SIZABLE)
    {
        wnd = MakeTestWindow("KorvalinSkinFrameTest", FrameOwnProc, style, {100, 100, 100 + W, 100 + H});
        ASSERT_NE(nullptr, wnd);
        frame.m_hWnd = wnd;
        HMENU menu = GetSystemMenu(wnd, FALSE);
        ASSERT_NE(nullptr, menu);
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, 0x0010, "About");
    }
    void Install(const std::string& extra = "UsesTran=1\n")
    {
        ASSERT_TRUE(skin.LoadSkin(Theme(extra).c_str()));
        ASSERT_TRUE(skin.InstallSkin(&frame));
        SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED | SWP_NOZORDER);
        ShowWindow(wnd, SW_SHOW);
        UpdateWindow(wnd);
        SetForegroundWindow(wnd);
        PumpUntil([] { return false; }, 100);
    }
    void Open(DWORD style = SIZABLE, const std::string& extra = "UsesTran=1\n")
    {
        MakeWindow(style);
        Install(extra);
    }
    COLORREF Pixel(int x, int y) { return WindowPixel(wnd, x, y); }
    UINT Hit(int x, int y)
    {
        return static_cast<UINT>(SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(Rect().left + x, Rect().top + y)));
    }
    CRect Rect()
    {
        CRect rc;
        frame.GetWindowRect(&rc);
        return rc;
    }
    struct HitCase {
        int x, y;
        UINT code;
    };
    void ExpectHits(std::initializer_list<HitCase> cases)
    {
        for (const HitCase& c : cases)
            EXPECT_EQ(c.code, Hit(c.x, c.y)) << "at " << c.x << "," << c.y;
    }
    int CaptionPixels(COLORREF colour, int x0 = 30, int x1 = 300)
    {
        HDC dc = GetWindowDC(wnd);
        int count = CountPixels(dc, colour, CRect(x0, 0, x1, 30));
        ReleaseDC(wnd, dc);
        return count;
    }

    CTempFolder folder;
    CSkinWin skin;
    CWnd frame;
    HWND wnd = nullptr;
};

} // namespace

TEST_F(SkinFrame, TopSlicingOfTheWorkedExample)
{
    ASSERT_TRUE(skin.LoadSkin(Theme().c_str()));
    ASSERT_EQ(20, skin.m_nTopLeftEnd);
    ASSERT_EQ(80, skin.m_nTopRightStart);
    CSurface surface(320, 30, RGB(1, 1, 1));
    skin.DrawTop(&surface.dc, 0, 0, 300, 0);
    for (int x = 0; x < 320; ++x) {
        int source = x < 20 ? x : x < 281 ? 20 + (x - 20) % 60 : x < 300 ? 80 + (x - 281) : -1;
        COLORREF expected = source < 0 ? RGB(1, 1, 1) : TopPixel(source, 0);
        ASSERT_EQ(Hex(expected), Hex(surface.Pixel(x, 0))) << "column " << x;
        ASSERT_EQ(Hex(source < 0 ? RGB(1, 1, 1) : TopPixel(source, 29)), Hex(surface.Pixel(x, 29))) << "column " << x;
    }
}

TEST_F(SkinFrame, CaptionButtonOfTheWorkedExample)
{
    Open();
    EXPECT_EQ(CRect(370, 5, 391, 26), skin.GetButtonRect(BTN_CLOSE));
    EXPECT_EQ(CRect(340, 5, 355, 20), skin.GetButtonRect(BTN_MAXIMIZE));
    EXPECT_EQ(CRect(310, 5, 322, 17), skin.GetButtonRect(BTN_MINIMIZE));
    CSurface surface(W, 40, RGB(1, 1, 1));
    skin.DrawButton(&surface.dc, BTN_CLOSE, 1);
    for (int x = 370; x < 391; ++x)
        ASSERT_EQ(Hex(CloseCell(x - 370 + 21, 0)), Hex(surface.Pixel(x, 5))) << x;
    EXPECT_EQ(Hex(RGB(1, 1, 1)), Hex(surface.Pixel(391, 5)));
    skin.m_nWinState = WINSTATE_MAXIMIZED;
    EXPECT_EQ(CRect(340, 6, 350, 18), skin.GetButtonRect(BTN_MAXIMIZE));
    skin.m_nWinState = WINSTATE_NORMAL;
}

TEST_F(SkinFrame, InstallNeedsALoadedSkinTakesTheStylesAndSizesTheClientArea)
{
    MakeWindow();
    CSkinWin empty;
    EXPECT_FALSE(empty.InstallSkin(&frame));
    EXPECT_FALSE(empty.IsHooked());
    EXPECT_FALSE(skin.InstallSkin(nullptr));
    EXPECT_NE(0, GetWindowLongA(wnd, GWL_STYLE) & WS_SYSMENU);
    Install();
    EXPECT_TRUE(skin.IsHooked());
    EXPECT_TRUE(skin.m_bSizable && skin.m_bMinimizable && skin.m_bMaximizable);
    LONG style = GetWindowLongA(wnd, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU));
    EXPECT_NE(0, style & WS_THICKFRAME);
    CRect client;
    GetClientRect(wnd, &client);
    EXPECT_EQ(W - 4 - 3, client.Width());
    EXPECT_EQ(H - 30 - 4, client.Height());
    MINMAXINFO info{};
    info.ptMaxSize = {7, 8};
    EXPECT_EQ(0, SendMessageA(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(100 + 8 + 6, info.ptMinTrackSize.x);
    EXPECT_EQ(50 + 20, info.ptMinTrackSize.y);
    EXPECT_EQ(7, info.ptMaxSize.x);
}

TEST_F(SkinFrame, FramePixelsActiveAndInactive)
{
    Open();
    for (BOOL active : {TRUE, FALSE}) {
        LRESULT allowed = SendMessageA(wnd, WM_NCACTIVATE, active, 0);
        EXPECT_TRUE(active || allowed);
        EXPECT_EQ(active, skin.m_bActive);
        int half = active ? 0 : 1;
        EXPECT_EQ(Hex(LeftPixel(1 + 4 * half, 100 % 50)), Hex(Pixel(1, 100))) << active;
        EXPECT_EQ(Hex(RightPixel(3 * half, 100 % 40)), Hex(Pixel(W - 3, 100))) << active;
        EXPECT_EQ(103 + 100 * half, GetGValue(Pixel(200, H - 2))) << active;
        // The top image starts at the left border: window column 64 is source column 60, a middle copy.
        EXPECT_EQ(Hex(TopPixel(60, 30 * half)), Hex(Pixel(64, 0))) << active;
        EXPECT_EQ(active, CaptionPixels(TITLE) > 0);
        EXPECT_EQ(!active, CaptionPixels(INACTIVE_TITLE) > 0);
        // Caption buttons show the same cell in both states.
        EXPECT_EQ(Hex(CloseCell(0, 0)), Hex(Pixel(370, 10))) << active;
    }
}

TEST_F(SkinFrame, TitleChangesShowAtOnceAndStopBeforeTheEndSlice)
{
    Open();
    SendMessageA(wnd, WM_NCACTIVATE, TRUE, 0);
    std::string longTitle(200, 'W');
    EXPECT_EQ(0, SendMessageA(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(longTitle.c_str())));
    EXPECT_EQ(CString(longTitle.c_str()), skin.m_strTitle);
    char text[300] = "";
    GetWindowTextA(wnd, text, sizeof text);
    EXPECT_EQ(longTitle, text);
    // The text ends before the top image's end slice: W - (100 - 80).
    EXPECT_GT(CaptionPixels(TITLE), 0);
    EXPECT_EQ(0, CaptionPixels(TITLE, W - 20, W));
    SendMessageA(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    EXPECT_EQ(0, CaptionPixels(TITLE));
}

TEST_F(SkinFrame, RegionCutsTheTopCornersOnlyWithTheTransparentColour)
{
    Open(SIZABLE, "UsesTran=1\n");
    SetWindowPos(wnd, nullptr, 0, 0, W, H + 10, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_FALSE(InWindowRegion(wnd, 0, 0));
    EXPECT_TRUE(InWindowRegion(wnd, 1, 0));
    EXPECT_TRUE(InWindowRegion(wnd, 0, 1));
    EXPECT_TRUE(InWindowRegion(wnd, W - 1, H + 9));
    HRGN made = skin.MakeWindowRegion(W, H + 10);
    EXPECT_FALSE(PtInRegion(made, 0, 0));
    EXPECT_TRUE(PtInRegion(made, 0, 40));
    DeleteObject(made);
}

TEST_F(SkinFrame, WithoutTransparencyTheWindowIsRectangular)
{
    Open(SIZABLE, "UsesTran=0\n");
    SendMessageA(wnd, WM_NCPAINT, 1, 0);
    for (POINT corner : {POINT{0, 0}, POINT{W - 1, 0}, POINT{0, H - 1}, POINT{W - 1, H - 1}})
        EXPECT_TRUE(InWindowRegion(wnd, corner.x, corner.y)) << corner.x << "," << corner.y;
}

TEST_F(SkinFrame, HitTestTableInOrder)
{
    Open();
    int cx = GetSystemMetrics(SM_CXSMICON);
    ExpectHits({
        {375, 10, HTCLOSE}, {345, 10, HTMAXBUTTON}, {315, 10, HTMINBUTTON}, {4, 5, HTSYSMENU}, {4 + cx - 1, 6, HTSYSMENU},
        {1, 1, HTTOPLEFT}, {W - 2, 10, HTTOPRIGHT}, {W - 4, 29, HTTOPRIGHT}, {1, H - 1, HTBOTTOMLEFT},
        {W - 1, H - 1, HTBOTTOMRIGHT}, {0, 100, HTLEFT}, {W - 3, 100, HTRIGHT}, {W - 4, 100, HTCLIENT},
        {200, H - 2, HTBOTTOM}, {200, 3, HTTOP}, {200, 4, HTCLIENT}, {200, 5, HTCAPTION}, {200, 29, HTCAPTION},
        {200, 30, HTCLIENT},
    });
    SendMessageA(wnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ExpectHits({{1, 1, HTCLIENT}, {200, 10, HTCAPTION}, {Rect().Width() - 25, 10, HTCLOSE}});
}

TEST_F(SkinFrame, NotSizableWindowHasNoSizingZonesAndNoMaximizeButton)
{
    Open(FIXED_SIZE);
    ExpectHits({{1, 1, HTCLIENT}, {0, 100, HTCLIENT}, {200, 2, HTCLIENT}, {345, 10, HTCAPTION}, {315, 10, HTCAPTION}});
    CRect before = Rect();
    SendMessageA(wnd, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    EXPECT_EQ(before, Rect());
}

TEST_F(SkinFrame, CloseButtonCellsAndCloseFollowingTheReleasePoint)
{
    Open();
    SendMessageA(wnd, WM_NCACTIVATE, TRUE, 0);
    const struct { UINT msg; WPARAM hit; int cell; } steps[] = {
        {WM_NCMOUSEMOVE, HTCLOSE, 2}, {WM_NCLBUTTONDOWN, HTCLOSE, 1}, {WM_NCMOUSEMOVE, HTCAPTION, 0},
    };
    for (const auto& step : steps) {
        SendMessageA(wnd, step.msg, step.hit, 0);
        EXPECT_EQ(Hex(CloseCell(21 * step.cell, 0)), Hex(Pixel(370, 10))) << "cell " << step.cell;
    }
    SendMessageA(wnd, WM_NCLBUTTONUP, HTCLIENT, 0);
    EXPECT_TRUE(g_received.empty());
    SendMessageA(wnd, WM_NCLBUTTONDOWN, HTMINBUTTON + 100, 0);
    SendMessageA(wnd, WM_NCLBUTTONUP, HTCLOSE, 0);
    EXPECT_EQ(std::vector<UINT>{WM_CLOSE}, g_received);
}

TEST_F(SkinFrame, MaximizeRestoreAndMinimizeThroughButtonsDoubleClickAndCommands)
{
    Open();
    CRect normal = Rect(), work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    // System-menu picks arrive as WM_COMMAND.
    const struct { UINT msg; WPARAM wParam; int state; } steps[] = {
        {WM_NCLBUTTONUP, HTMAXBUTTON, WINSTATE_MAXIMIZED}, {WM_NCLBUTTONUP, HTMAXBUTTON, WINSTATE_NORMAL},
        {WM_NCLBUTTONDBLCLK, HTCAPTION, WINSTATE_MAXIMIZED}, {WM_NCLBUTTONDBLCLK, HTCAPTION, WINSTATE_NORMAL},
        {WM_SYSCOMMAND, SC_MAXIMIZE, WINSTATE_MAXIMIZED}, {WM_NCLBUTTONUP, HTMINBUTTON, WINSTATE_MINIMIZED},
        {WM_SYSCOMMAND, SC_RESTORE, WINSTATE_MAXIMIZED}, {WM_SYSCOMMAND, SC_RESTORE, WINSTATE_NORMAL},
        {WM_COMMAND, SC_MAXIMIZE, WINSTATE_MAXIMIZED}, {WM_COMMAND, SC_RESTORE, WINSTATE_NORMAL},
        {WM_COMMAND, SC_MINIMIZE, WINSTATE_MINIMIZED}, {WM_COMMAND, SC_RESTORE, WINSTATE_NORMAL},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        SendMessageA(wnd, steps[i].msg, steps[i].wParam, 0);
        EXPECT_EQ(steps[i].state, skin.m_nWinState) << "step " << i;
        EXPECT_EQ(steps[i].state == WINSTATE_MINIMIZED, IsIconic(wnd) != 0) << "step " << i;
        if (steps[i].state != WINSTATE_MINIMIZED) {
            EXPECT_EQ(steps[i].state == WINSTATE_MAXIMIZED ? work : normal, Rect()) << "step " << i;
        }
    }
    // The window's own entry and other commands reach its procedure.
    g_received.clear();
    SendMessageA(wnd, WM_COMMAND, 0x0010, 0);
    SendMessageA(wnd, WM_COMMAND, 0x1234, 0);
    SendMessageA(wnd, WM_COMMAND, 0x0010, reinterpret_cast<LPARAM>(wnd));
    EXPECT_EQ((std::vector<UINT>{0x20010, 0x11234, 0x10010}), g_received);
}

namespace {

int g_menuTicks = 0;

// Runs inside the pop-up menu's loop: picks the last item of the menu with the keyboard.
void CALLBACK PickLastMenuItem(HWND, UINT, UINT_PTR id, DWORD)
{
    if (++g_menuTicks > 50 || FindWindowA("#32768", nullptr)) {
        KillTimer(nullptr, id);
        for (WORD key : {WORD(VK_END), WORD(VK_RETURN)}) {
            keybd_event(static_cast<BYTE>(key), 0, 0, 0);
            keybd_event(static_cast<BYTE>(key), 0, KEYEVENTF_KEYUP, 0);
        }
    }
}

} // namespace

TEST_F(SkinFrame, PopupSystemMenuReachesTheWindowsOwnEntry)
{
    Open();
    g_received.clear();
    g_menuTicks = 0;
    SetTimer(nullptr, 0, 50, PickLastMenuItem);
    CRect rc = Rect();
    SendMessageA(wnd, WM_NCRBUTTONDOWN, HTCAPTION, MAKELPARAM(rc.left + 100, rc.top + 10));
    PumpUntil([] { return !g_received.empty(); }, 3000);
    ASSERT_FALSE(g_received.empty());
    EXPECT_EQ(0x20010u, g_received.back());
}

namespace {

void MouseTo(int x, int y, DWORD buttons = 0)
{
    SetCursorPos(x, y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = buttons;
    if (buttons)
        SendInput(1, &input, sizeof input);
}

} // namespace

TEST_F(SkinFrame, CaptionDragAndCloseWithTheRealMouse)
{
    Open(FIXED_SIZE);
    CRect before = Rect();
    MouseTo(before.left + 150, before.top + 12);
    PumpUntil([] { return false; }, 100);
    MouseTo(before.left + 150, before.top + 12, MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 4; ++step)
        MouseTo(before.left + 150 + 10 * step, before.top + 12 + 5 * step, MOUSEEVENTF_MOVE);
    MouseTo(before.left + 190, before.top + 32, MOUSEEVENTF_LEFTUP);
    PumpUntil([this, before] { return Rect().left == before.left + 40; }, 3000);
    EXPECT_EQ(before.left + 40, Rect().left);
    EXPECT_EQ(before.top + 20, Rect().top);

    CRect moved = Rect();
    g_received.clear();
    MouseTo(moved.right - 25, moved.top + 10);
    MouseTo(moved.right - 25, moved.top + 10, MOUSEEVENTF_LEFTDOWN);
    MouseTo(moved.right - 25, moved.top + 10, MOUSEEVENTF_LEFTUP);
    PumpUntil([] { return !g_received.empty(); }, 3000);
    EXPECT_EQ(std::vector<UINT>{WM_CLOSE}, g_received);
}
