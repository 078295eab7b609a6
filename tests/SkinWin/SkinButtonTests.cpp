// Skinned push buttons: the image strip, nine-slice drawing, looks by state, the region from
// magenta, and the click behaviour of mouse and space bar on real windows.
#include "SkinTestSupport.h"
#include "SkinWin/SkinButton.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>

namespace {

const COLORREF KEY = RGB(255, 0, 255);

// Image k of the strip has red 10 + 40k; green is the column within the image, blue the row.
COLORREF StripPixel(int x, int y)
{
    if (x % 100 == 0 && y == 0)
        return KEY;
    return RGB(10 + x / 100 * 40, x % 100, y * 10);
}

struct Command {
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Command> g_commands;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND) {
        g_commands.push_back({wParam, lParam});
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.Write("button.bmp", MakeBmp(24, 500, 20, StripPixel));
        g_commands.clear();
    }
    void TearDown() override
    {
        if (parent)
            DestroyWindow(parent);
    }
    void LoadSkin(const std::string& borders)
    {
        std::string ini = folder.WriteText("theme.ini", "[Buttons]\nBitmap=button.bmp\n" + borders);
        ASSERT_TRUE(skin.LoadFromTheme(ini.c_str()));
    }
    void MakeButton(CButtonSkin* withSkin)
    {
        static ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ParentProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            wc.lpszClassName = "KorvalinSkinButtonParent";
            return RegisterClassA(&wc);
        }();
        ASSERT_NE(0, atom);
        parent = CreateWindowExA(0, "KorvalinSkinButtonParent", "p", WS_POPUP | WS_VISIBLE, 50, 50, 200, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        HWND control = CreateWindowExA(0, "Button", "Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 100, 20, parent,
                                       reinterpret_cast<HMENU>(1234), GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, control);
        ASSERT_TRUE(button.SubclassWindow(control));
        button.SetSkin(withSkin);
        ShowWindow(parent, SW_SHOWNORMAL);
        SetForegroundWindow(parent);
        UpdateWindow(parent);
        UpdateWindow(control);
    }
    COLORREF ButtonPixel(int x, int y)
    {
        HDC dc = GetDC(button.m_hWnd);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(button.m_hWnd, dc);
        return c;
    }
    void Send(UINT msg, int x, int y, WPARAM wParam = 0)
    {
        SendMessageA(button.m_hWnd, msg, wParam, MAKELPARAM(x, y));
    }

    CTempFolder folder;
    CButtonSkin skin;
    CSkinButton button;
    HWND parent = nullptr;
};

} // namespace

TEST_F(SkinButtonTest, ImageBoundsOfTheStrip)
{
    LoadSkin("");
    const int bounds500[] = {0, 100, 200, 300, 400, 500};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(bounds500[k], skin.GetImageRect(k).left);
        EXPECT_EQ(bounds500[k + 1], skin.GetImageRect(k).right);
        EXPECT_EQ(20, skin.GetImageRect(k).bottom);
    }
    folder.Write("button.bmp", MakeBmp(24, 503, 20, StripPixel));
    LoadSkin("");
    const int bounds503[] = {0, 100, 201, 301, 402, 503};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(bounds503[k], skin.GetImageRect(k).left) << k;
        EXPECT_EQ(bounds503[k + 1], skin.GetImageRect(k).right) << k;
    }
}

TEST_F(SkinButtonTest, StatesDrawTheirImages)
{
    LoadSkin("");
    const struct { int state; int image; } cases[] = {
        {BTN_NORMAL, 0}, {BTN_HOVER, 3}, {BTN_PRESSED, 1}, {BTN_FOCUSED, 3}, {BTN_DISABLED, 2},
    };
    for (const auto& c : cases) {
        CSurface surface(100, 20, RGB(1, 1, 1));
        skin.DrawState(&surface.dc, CRect(0, 0, 100, 20), c.state);
        EXPECT_EQ(Hex(StripPixel(c.image * 100 + 50, 7)), Hex(surface.Pixel(50, 7))) << "state " << c.state;
    }
    CSurface surface(100, 20, RGB(1, 1, 1));
    skin.DrawState(&surface.dc, CRect(0, 0, 100, 20), 5);
    EXPECT_EQ(Hex(RGB(1, 1, 1)), Hex(surface.Pixel(50, 7)));
}

TEST_F(SkinButtonTest, NineSliceWithoutBordersStretchesTheWholeImage)
{
    LoadSkin("");
    CSurface surface(200, 40, RGB(1, 1, 1));
    skin.DrawNineSlice(&surface.dc, CRect(30, 30, 230, 70), skin.GetImageRect(1));
    for (int y = 0; y < 40; y += 3)
        for (int x = 0; x < 200; x += 7)
            ASSERT_EQ(Hex(StripPixel(100 + x / 2, y / 2)), Hex(surface.Pixel(x, y))) << x << "," << y;
}

TEST_F(SkinButtonTest, NineSliceOfTheImagesOwnSizeIsACopy)
{
    LoadSkin("TopHeight=3\nBottomHeight=6\nLeftWidth=4\nRightWidth=5\n");
    CSurface surface(100, 20, RGB(1, 1, 1));
    skin.DrawNineSlice(&surface.dc, CRect(0, 0, 100, 20), skin.GetImageRect(3));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(Hex(StripPixel(300 + x, y)), Hex(surface.Pixel(x, y))) << x << "," << y;
}

TEST_F(SkinButtonTest, NineSliceKeepsCornersAndStretchesEdges)
{
    LoadSkin("TopHeight=3\nBottomHeight=6\nLeftWidth=4\nRightWidth=5\n");
    CSurface surface(300, 50, RGB(1, 1, 1));
    skin.DrawNineSlice(&surface.dc, CRect(0, 0, 300, 50), skin.GetImageRect(0));
    EXPECT_EQ(Hex(StripPixel(1, 1)), Hex(surface.Pixel(1, 1)));
    EXPECT_EQ(Hex(StripPixel(97, 2)), Hex(surface.Pixel(297, 2)));
    EXPECT_EQ(Hex(StripPixel(2, 19)), Hex(surface.Pixel(2, 49)));
    EXPECT_EQ(Hex(StripPixel(99, 14)), Hex(surface.Pixel(299, 44)));
    // The top edge is stretched from the top band of the image: its rows, not its columns, stay.
    EXPECT_EQ(10, GetRValue(surface.Pixel(150, 1)));
    EXPECT_EQ(10, GetBValue(surface.Pixel(150, 1)));
}

TEST_F(SkinButtonTest, RuntimeClassAndSkinBinding)
{
    EXPECT_STREQ("CSkinButton", button.GetRuntimeClass()->m_lpszClassName);
    EXPECT_TRUE(button.IsKindOf(RUNTIME_CLASS(CButton)));
    EXPECT_FALSE(button.SetSkin(nullptr));
    EXPECT_TRUE(button.SetSkin(&skin));
    EXPECT_EQ(Hex(GetSysColor(COLOR_BTNTEXT)), Hex(button.m_crText));
}

TEST_F(SkinButtonTest, MagentaPixelsAreOutsideTheRegionAndIgnoreThePointer)
{
    LoadSkin("");
    MakeButton(&skin);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(button.m_hWnd, region));
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_TRUE(PtInRegion(region, 1, 0));
    EXPECT_TRUE(PtInRegion(region, 99, 19));
    DeleteObject(region);
    EXPECT_EQ(Hex(StripPixel(10, 4)), Hex(ButtonPixel(10, 4)));
    Send(WM_MOUSEMOVE, 0, 0);
    EXPECT_FALSE(button.m_bHover);
    Send(WM_MOUSEMOVE, 50, 10);
    EXPECT_TRUE(button.m_bHover);
    EXPECT_EQ(button.m_hWnd, GetCapture());
    EXPECT_EQ(Hex(StripPixel(310, 4)), Hex(ButtonPixel(10, 4)));
    Send(WM_MOUSEMOVE, 150, 10);
    EXPECT_FALSE(button.m_bHover);
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(SkinButtonTest, PressLeaveReleaseSendsNothingReenterSendsOne)
{
    LoadSkin("");
    MakeButton(&skin);
    Send(WM_LBUTTONDOWN, 50, 10);
    EXPECT_EQ(Hex(StripPixel(110, 4)), Hex(ButtonPixel(10, 4)));
    EXPECT_EQ(button.m_hWnd, GetFocus());
    Send(WM_MOUSEMOVE, 150, 10);
    Send(WM_LBUTTONUP, 150, 10);
    EXPECT_TRUE(g_commands.empty());

    Send(WM_LBUTTONDOWN, 50, 10);
    Send(WM_MOUSEMOVE, 150, 10);
    Send(WM_MOUSEMOVE, 50, 10);
    Send(WM_LBUTTONUP, 50, 10);
    ASSERT_EQ(1u, g_commands.size());
    EXPECT_EQ(1234u, g_commands[0].wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(button.m_hWnd), g_commands[0].lParam);
    EXPECT_FALSE(button.m_bHover || button.m_bPressed);
    // After a click the focused look shows until the pointer moves again.
    EXPECT_EQ(Hex(StripPixel(310, 4)), Hex(ButtonPixel(10, 4)));
}

TEST_F(SkinButtonTest, DoubleClickAndSpaceBar)
{
    LoadSkin("");
    MakeButton(&skin);
    Send(WM_LBUTTONDOWN, 50, 10);
    Send(WM_LBUTTONUP, 50, 10);
    Send(WM_LBUTTONDBLCLK, 50, 10);
    Send(WM_LBUTTONUP, 50, 10);
    EXPECT_EQ(1u, g_commands.size());

    g_commands.clear();
    SendMessageA(button.m_hWnd, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(button.m_hWnd, WM_KEYDOWN, VK_SPACE, 0x40000000);
    SendMessageA(button.m_hWnd, WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(g_commands.empty());
    SendMessageA(button.m_hWnd, WM_KEYUP, VK_SPACE, 0);
    SendMessageA(button.m_hWnd, WM_KEYUP, 'A', 0);
    EXPECT_EQ(1u, g_commands.size());
}

TEST_F(SkinButtonTest, DisabledLookWithGreyTextWhateverTheFlags)
{
    LoadSkin("");
    MakeButton(&skin);
    EnableWindow(button.m_hWnd, FALSE);
    EXPECT_NE(0u, button.GetStyle() & WS_DISABLED);
    button.m_bHover = button.m_bPressed = TRUE;
    button.RedrawWindow();
    EXPECT_EQ(Hex(StripPixel(201, 1)), Hex(ButtonPixel(1, 1)));
    EXPECT_FALSE(button.m_bEnabled);
    CMyBitmap face;
    button.RenderState(&face);
    CSurface surface(100, 20, RGB(255, 255, 255));
    button.DrawCaption(&surface.dc);
    int grey = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            grey += surface.Pixel(x, y) == RGB(100, 100, 100);
    EXPECT_GT(grey, 0);
    EnableWindow(button.m_hWnd, TRUE);
    button.m_bHover = button.m_bPressed = FALSE;
    EXPECT_EQ(0u, button.GetStyle() & WS_DISABLED);
}

TEST_F(SkinButtonTest, WithoutASkinTheButtonStillClicks)
{
    MakeButton(nullptr);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(ERROR, GetWindowRgn(button.m_hWnd, region));
    DeleteObject(region);
    Send(WM_MOUSEMOVE, 50, 10);
    EXPECT_FALSE(button.m_bHover);
    Send(WM_LBUTTONDOWN, 50, 10);
    Send(WM_LBUTTONUP, 50, 10);
    EXPECT_EQ(1u, g_commands.size());
}

