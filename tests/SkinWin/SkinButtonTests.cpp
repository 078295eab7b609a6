// Skinned push buttons: the image strip, nine-slice drawing, looks by state, the region from
// magenta, and the click behaviour of mouse and space bar on real windows.
#include "SkinTestSupport.h"
#include "SkinWin/SkinButton.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>

namespace {

const COLORREF KEY = RGB(255, 0, 255);
const char* const BORDERS = "TopHeight=3\nBottomHeight=6\nLeftWidth=4\nRightWidth=5\n";

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
    void TearDown() override { DestroyWindow(parent); }
    void LoadSkin(const std::string& borders)
    {
        std::string ini = folder.WriteText("theme.ini", "[Buttons]\nBitmap=button.bmp\n" + borders);
        ASSERT_TRUE(skin.LoadFromTheme(ini.c_str()));
    }
    void MakeButton(bool skinned = true)
    {
        if (skinned)
            LoadSkin("");
        parent = MakeTestWindow("KorvalinSkinButtonParent", ParentProc, WS_POPUP | WS_VISIBLE, {50, 50, 250, 150});
        HWND control = MakeTestWindow("Button", nullptr, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {10, 10, 110, 30},
                                      parent, 1234);
        ASSERT_NE(nullptr, control);
        ASSERT_TRUE(button.SubclassWindow(control));
        EXPECT_EQ(skinned, button.SetSkin(skinned ? &skin : nullptr) != FALSE);
        SetForegroundWindow(parent);
        UpdateWindow(parent);
        UpdateWindow(control);
    }
    COLORREF ButtonPixel(int x, int y) { return WindowPixel(button.m_hWnd, x, y, true); }
    void Send(UINT msg, int x, int y) { SendMessageA(button.m_hWnd, msg, 0, MAKELPARAM(x, y)); }
    // Mouse messages at the given columns of the button's middle row.
    void Mouse(std::initializer_list<std::pair<UINT, int>> steps)
    {
        for (const auto& step : steps)
            Send(step.first, step.second, 10);
    }

    CTempFolder folder;
    CButtonSkin skin;
    CSkinButton button;
    HWND parent = nullptr;
};

} // namespace

TEST_F(SkinButtonTest, ImageBoundsOfTheStrip)
{
    const struct { int width; int bounds[6]; } cases[] = {{500, {0, 100, 200, 300, 400, 500}},
                                                         {503, {0, 100, 201, 301, 402, 503}}};
    for (const auto& c : cases) {
        folder.Write("button.bmp", MakeBmp(24, c.width, 20, StripPixel));
        LoadSkin("");
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(CRect(c.bounds[k], 0, c.bounds[k + 1], 20), skin.GetImageRect(k)) << c.width << " image " << k;
    }
    CSurface surface(100, 20, RGB(1, 1, 1));
    skin.DrawState(&surface.dc, CRect(0, 0, 100, 20), BTN_DISABLED + 1);
    EXPECT_EQ(Hex(RGB(1, 1, 1)), Hex(surface.Pixel(50, 7)));
}

TEST_F(SkinButtonTest, NineSliceWithoutBordersStretchesAndAtTheImagesOwnSizeCopies)
{
    const struct { const char* borders; int width, height, image; PixelFn expected; } cases[] = {
        {"", 200, 40, 1, [](int x, int y) { return StripPixel(100 + x / 2, y / 2); }},
        {BORDERS, 100, 20, 3, [](int x, int y) { return StripPixel(300 + x, y); }},
    };
    for (const auto& c : cases) {
        LoadSkin(c.borders);
        CSurface surface(c.width, c.height, RGB(1, 1, 1));
        skin.DrawNineSlice(&surface.dc, CRect(0, 0, c.width, c.height), skin.GetImageRect(c.image));
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(Hex(c.expected(x, y)), Hex(surface.Pixel(x, y))) << "image " << c.image << " " << x << "," << y;
    }
}

TEST_F(SkinButtonTest, NineSliceKeepsCornersAndStretchesEdges)
{
    LoadSkin(BORDERS);
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

TEST_F(SkinButtonTest, MagentaPixelsAreOutsideTheRegionAndIgnoreThePointer)
{
    MakeButton();
    EXPECT_FALSE(InWindowRegion(button.m_hWnd, 0, 0));
    EXPECT_TRUE(InWindowRegion(button.m_hWnd, 1, 0));
    EXPECT_TRUE(InWindowRegion(button.m_hWnd, 99, 19));
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
    MakeButton();
    Send(WM_LBUTTONDOWN, 50, 10);
    EXPECT_EQ(Hex(StripPixel(110, 4)), Hex(ButtonPixel(10, 4)));
    EXPECT_EQ(button.m_hWnd, GetFocus());
    Mouse({{WM_MOUSEMOVE, 150}, {WM_LBUTTONUP, 150}});
    EXPECT_TRUE(g_commands.empty());
    Mouse({{WM_LBUTTONDOWN, 50}, {WM_MOUSEMOVE, 150}, {WM_MOUSEMOVE, 50}, {WM_LBUTTONUP, 50}});
    ASSERT_EQ(1u, g_commands.size());
    EXPECT_EQ(1234u, g_commands[0].wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(button.m_hWnd), g_commands[0].lParam);
    EXPECT_FALSE(button.m_bHover || button.m_bPressed);
    // After a click the focused look shows until the pointer moves again.
    EXPECT_EQ(Hex(StripPixel(310, 4)), Hex(ButtonPixel(10, 4)));
}

TEST_F(SkinButtonTest, DoubleClickAndSpaceBar)
{
    MakeButton();
    Mouse({{WM_LBUTTONDOWN, 50}, {WM_LBUTTONUP, 50}, {WM_LBUTTONDBLCLK, 50}, {WM_LBUTTONUP, 50}});
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
    MakeButton();
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
    EXPECT_GT(CountPixels(surface.dc, RGB(100, 100, 100), CRect(0, 0, 100, 20)), 0);
    EnableWindow(button.m_hWnd, TRUE);
    button.m_bHover = button.m_bPressed = FALSE;
    EXPECT_EQ(0u, button.GetStyle() & WS_DISABLED);
}

TEST_F(SkinButtonTest, WithoutASkinTheButtonStillClicks)
{
    EXPECT_STREQ("CSkinButton", button.GetRuntimeClass()->m_lpszClassName);
    EXPECT_TRUE(button.IsKindOf(RUNTIME_CLASS(CButton)));
    MakeButton(false);
    EXPECT_FALSE(InWindowRegion(button.m_hWnd, 50, 10));
    Send(WM_MOUSEMOVE, 50, 10);
    EXPECT_FALSE(button.m_bHover);
    Mouse({{WM_LBUTTONDOWN, 50}, {WM_LBUTTONUP, 50}});
    EXPECT_EQ(1u, g_commands.size());
    EXPECT_TRUE(button.SetSkin(&skin));
    EXPECT_EQ(Hex(GetSysColor(COLOR_BTNTEXT)), Hex(button.m_crText));
}

