// The skin engine on real windows, from skin files written here: spoiled skins, the frame's
// slices, state halves and region, hit tests, caption buttons and window states, push buttons,
// and regions from bitmaps.
#include "SkinWin/SkinButton.h"
#include "SkinWin/SkinWin.h"
#include "SkinWin/StringPath.h"
#include "support/HostTools.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <functional>
#include <set>

namespace {

using PixelFn = std::function<COLORREF(int x, int y)>;

// A 24-bit BMP file holding pixel(x, y).
std::string MakeBmp(int width, int height, const PixelFn& pixel)
{
    int stride = (width * 3 + 3) / 4 * 4;
    DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(offset + stride * height), 0, 0, offset};
    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::string out(reinterpret_cast<char*>(&file), sizeof file);
    out.append(reinterpret_cast<char*>(&info), sizeof info);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            out += {char(GetBValue(pixel(x, y))), char(GetGValue(pixel(x, y))), char(GetRValue(pixel(x, y)))};
        out.resize(out.size() + stride - width * 3);
    }
    return out;
}

std::string Hex(COLORREF c) { char t[16]; return std::string(t, snprintf(t, sizeof t, "0x%06lX", c)); }

COLORREF WindowPixel(HWND wnd, int x, int y, bool client = false)
{
    HDC dc = client ? GetDC(wnd) : GetWindowDC(wnd);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(wnd, dc);
    return c;
}

// Pixels that tell where they came from: column or row, and state half.
COLORREF TopPixel(int x, int y) { return x + y == 0 ? RGB(255, 0, 255) : RGB(x, y < 30 ? 100 : 200, 50); }
COLORREF LeftPixel(int x, int y) { return RGB(10 + y, x < 4 ? 101 : 201, 60); }
COLORREF RightPixel(int x, int y) { return RGB(20 + y, x < 3 ? 102 : 202, 70); }
COLORREF BottomPixel(int x, int y) { return RGB(x, y < 4 ? 103 : 203, 80); }
COLORREF CellPixel(int x, int) { return RGB(x, 0, 150); }
COLORREF StripPixel(int x, int y) { return x % 100 + y == 0 ? RGB(255, 0, 255) : RGB(40 * (x / 100), 90, 90); }
const struct { const char* name; int w, h; COLORREF (*pixel)(int, int); } IMAGES[] = {
    {"top.bmp", 100, 60, TopPixel}, {"left.bmp", 8, 50, LeftPixel}, {"right.bmp", 6, 40, RightPixel},
    {"bottom.bmp", 60, 8, BottomPixel}, {"close.bmp", 63, 21, CellPixel}, {"max.bmp", 45, 15, CellPixel},
    {"restore.bmp", 30, 12, CellPixel}, {"min.bmp", 36, 12, CellPixel}, {"button.bmp", 500, 20, StripPixel}};
const char THEME[] = "[Personality]\nTop=top.bmp\nLeft=left.bmp\nRight=right.bmp\nBottom=bottom.bmp\n"
                     "TopTopHeight=20\nTopBotHeight=20\nButtonCount=4\nUsesTran=0\n"
                     "[Button0]\nButtonImage=close.bmp\nAction=0\nXCoord=30\nYCoord=5\n"
                     "[Button1]\nButtonImage=max.bmp\nAction=1\nXCoord=60\nYCoord=5\n"
                     "[Button2]\nButtonImage=restore.bmp\nAction=1\nXCoord=60\nYCoord=6\n"
                     "[Button3]\nButtonImage=min.bmp\nAction=2\nXCoord=90\nYCoord=5\n"
                     "[Buttons]\nBitmap=button.bmp\n";
const int W = 400, H = 300, BUTTON_ID = 1234;
const DWORD SIZABLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

std::vector<UINT> g_received;

LRESULT CALLBACK FrameOwnProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    bool own = msg == WM_CLOSE || msg == WM_COMMAND || (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == 0x10);
    if (own)
        g_received.push_back(msg == WM_COMMAND ? LOWORD(wParam) : msg);
    return own ? 0 : DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{ return text.replace(text.find(from), from.size(), to); }

class SkinFrame : public ::testing::Test {
public:
    void SetUp() override
    {
        for (const auto& image : IMAGES)
            folder.Write(image.name, MakeBmp(image.w, image.h, image.pixel));
        ini = folder.Write("theme.ini", THEME);
        g_received.clear();
    }
    void TearDown() override { DestroyWindow(wnd); }
    // Skins the window as the recorder skins its dialog: frame, then its push button.
    bool Open()
    {
        HINSTANCE module = GetModuleHandleA(nullptr);
        WNDCLASSA frameClass{0, FrameOwnProc, 0, 0, module, nullptr, nullptr, nullptr, nullptr, "KorvalinSkinFrame"};
        RegisterClassA(&frameClass);
        wnd = CreateWindowExA(0, "KorvalinSkinFrame", "", SIZABLE, 100, 100, W, H, nullptr, nullptr, module, nullptr);
        HWND control = CreateWindowExA(0, "Button", "", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 150, 150, 100, 20, wnd,
                                       reinterpret_cast<HMENU>(BUTTON_ID), module, nullptr);
        frame.m_hWnd = wnd;
        AppendMenuA(GetSystemMenu(wnd, FALSE), MF_STRING, 0x0010, "About");
        skin.LoadSkin(ini.c_str());
        bool skinned = skin.InstallSkin(&frame);
        buttonSkin.LoadFromTheme(ini.c_str());
        button.SubclassWindow(control);
        button.SetSkin(&buttonSkin);
        SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED | SWP_NOZORDER);
        ShowWindow(wnd, SW_SHOW);
        SetForegroundWindow(wnd);
        UpdateWindow(wnd);
        PumpUntil([] { return GetQueueStatus(QS_ALLINPUT) == 0; }, 1000);
        return skinned;
    }
    COLORREF Pixel(int x, int y) { return WindowPixel(wnd, x, y); }
    CRect Rect() { CRect rc; return frame.GetWindowRect(&rc), rc; }
    UINT Hit(int x, int y) { return SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(Rect().left + x, Rect().top + y)); }
    // The first frame pixel (every other one is looked at) whose colour is in no skin image.
    std::string ForeignFramePixel()
    {
        std::set<COLORREF> known;
        for (const auto& image : IMAGES)
            for (int y = 0; y < image.h; ++y)
                for (int x = 0; x < image.w; ++x)
                    known.insert(image.pixel(x, y));
        for (int y = 0; y < H; y += 2)
            for (int x = 0; x < W; x += 2)
                if ((y < 30 || y >= H - 4 || x < 4 || x >= W - 3) && !known.count(Pixel(x, y)))
                    return std::to_string(x) + "," + std::to_string(y) + " " + Hex(Pixel(x, y));
        return "";
    }
    // Drags the caption with the real mouse; true when the window followed.
    bool DragCaption()
    {
        CRect before = Rect();
        auto mouse = [](int x, int y, DWORD flags) { SetCursorPos(x, y), mouse_event(flags, 0, 0, 0, 0); };
        mouse(before.left + 150, before.top + 12, MOUSEEVENTF_LEFTDOWN);
        for (int step = 1; step <= 4; ++step)
            mouse(before.left + 150 + 10 * step, before.top + 12 + 5 * step, MOUSEEVENTF_MOVE);
        mouse(before.left + 190, before.top + 32, MOUSEEVENTF_LEFTUP);
        return PumpUntil([&] { return Rect().left == before.left + 40 && Rect().top == before.top + 20; }, 3000);
    }

    CHostDir folder;
    std::string ini;
    CSkinWin skin;
    CButtonSkin buttonSkin;
    CSkinButton button;
    CWnd frame;
    HWND wnd = nullptr;
};

} // namespace

// Catches spoiled skin input that draws garbage, crashes, or leaves a frame or button that no
// longer works: every skin either applies whole or leaves the system frame, and the push
// button keeps the look it had.
TEST_F(SkinFrame, SpoiledSkinsLeaveAWorkingWindow)
{
    using Change = std::pair<const char*, std::function<void(std::string&)>>;
    auto theme = [](const char* from, std::string to) {
        return Change{"theme.ini", [=](std::string& t) { t = Replace(t, from, to); }};
    };
    auto patch = [](const char* file, size_t at, DWORD value) {
        return Change{file, [=](std::string& b) { memcpy(&b[at], &value, 4); }};
    };
    auto cut = [](const char* file, size_t bytes) { return Change{file, [=](std::string& b) { b.resize(b.size() - bytes); }}; };
    const struct { const char* what; Change change; bool skinned; } rows[] = {
        {"the skin as written", theme("", ""), true},
        {"top image cut short", cut("top.bmp", 9000), false},
        {"pixels said to start past the end", patch("top.bmp", 10, 100000), false},
        {"huge declared image", patch("left.bmp", 18, 100000), false},
        {"missing image", theme("Left=left.bmp", "Left=none.bmp"), false},
        {"empty theme.ini", cut("theme.ini", sizeof THEME - 1), false},
        {"binary theme.ini", {"theme.ini", [](std::string& t) { t = std::string(t.size(), '\x9F') + "\0\x01=\xFF"; }}, false},
        {"ButtonCount=1000 without sections", theme("ButtonCount=4", "ButtonCount=1000"), false},
        {"extreme slices", theme("Height=20\nTopBotHeight=20", "Height=2147483647\nTopBotHeight=-2147483648"), true},
        {"over-long image name", theme("Top=top.bmp", "Top=" + std::string(300, 't') + ".bmp"), false},
        {"ButtonImgCount=0 without caption buttons", theme("ButtonCount=4", "ButtonCount=0\nButtonImgCount=0"), true},
        {"ButtonImgCount=0 with caption buttons", theme("ButtonCount=4", "ButtonCount=4\nButtonImgCount=0"), false},
        {"over-long colour field", theme("[Buttons]", "[Colours]\nTitleText=" + std::string(300, '1') + "\n[Buttons]"), true},
        {"button strip cut short", cut("button.bmp", 100), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(buttonSkin.LoadFromTheme(ini.c_str()));
        std::string bytes = ReadFileBytes(folder.File(row.change.first));
        row.change.second(bytes);
        folder.Write(row.change.first, bytes);
        EXPECT_EQ(row.skinned, Open());
        if (row.skinned) {
            EXPECT_EQ("", ForeignFramePixel());
        }
        EXPECT_EQ(Hex(StripPixel(50, 10)), Hex(WindowPixel(button.m_hWnd, 50, 10, true)));
        SendMessageA(button.m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(50, 10));
        SendMessageA(button.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(50, 10));
        EXPECT_EQ(std::vector<UINT>{BUTTON_ID}, g_received);
        EXPECT_TRUE(DragCaption());
        DestroyWindow(wnd);
        SetUp();
    }
    std::string longPath = folder.WindowsPath() + "\\" + std::string(270, 'p') + "\\theme.ini";
    EXPECT_FALSE(skin.LoadSkin(longPath.c_str()));
    EXPECT_FALSE(CButtonSkin().LoadFromTheme(longPath.c_str()));
}

// Catches a frame drawn from the wrong state half or slice, a client area that ignores the
// frame's thickness, a caption that keeps its transparent corner; a push button drawn with the
// wrong image for its state, one that reacts outside its shape or clicks although the user left
// it before releasing; hit zones in the wrong order or place; caption buttons that show the
// wrong cell, act on the press instead of the release, or leave the wrong state or place.
TEST_F(SkinFrame, FramePushButtonHitZonesAndWindowStates)
{
    folder.Write("theme.ini", Replace(THEME, "UsesTran=0", "UsesTran=1"));
    ASSERT_TRUE(Open());
    CRect client;
    GetClientRect(wnd, &client);
    EXPECT_EQ(CRect(0, 0, W - 4 - 3, H - 30 - 4), client);
    for (BOOL active : {FALSE, TRUE}) {
        SendMessageA(wnd, WM_NCACTIVATE, active, 0);
        int half = active ? 0 : 1;
        EXPECT_EQ(Hex(LeftPixel(1 + 4 * half, 100 % 50)), Hex(Pixel(1, 100)));
        EXPECT_EQ(Hex(RightPixel(3 * half, 100 % 40)), Hex(Pixel(W - 3, 100)));
        EXPECT_EQ(Hex(BottomPixel(16, 4 * half + 2)), Hex(Pixel(200, H - 2)));
        // Top image from x 4, 394 wide: start slice, a middle copy, the end slice ending 1 short.
        for (POINT at : {POINT{10, 6}, POINT{64, 60}, POINT{100, 36}, POINT{379, 80}, POINT{396, 97}})
            EXPECT_EQ(Hex(TopPixel(at.y, 30 * half + 2)), Hex(Pixel(at.x, 2))) << at.x;
        EXPECT_EQ(Hex(CellPixel(0, 0)), Hex(Pixel(370, 10)));
    }
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(wnd, region));
    EXPECT_FALSE(PtInRegion(region, 4, 0));
    EXPECT_TRUE(PtInRegion(region, 5, 0));
    DeleteObject(region);

    // Image k of the strip has red 40 k; its magenta corner is cut out of the button.
    auto image = [this] { return GetRValue(WindowPixel(button.m_hWnd, 50, 10, true)) / 40; };
    const struct { UINT msg; int x, y, image; } steps[] = {
        {WM_MOUSEMOVE, 0, 0, 0}, {WM_MOUSEMOVE, 50, 0, 3}, {WM_LBUTTONDOWN, 50, 9, 1}, {WM_MOUSEMOVE, 150, 9, 3},
        {WM_LBUTTONUP, 150, 9, 3}, {WM_LBUTTONDOWN, 50, 9, 1}, {WM_LBUTTONUP, 50, 9, 3}};
    for (const auto& step : steps) {
        SendMessageA(button.m_hWnd, step.msg, 0, MAKELPARAM(step.x, step.y));
        EXPECT_EQ(step.image, image()) << step.msg << " at " << step.x;
    }
    EXPECT_EQ(std::vector<UINT>{BUTTON_ID}, g_received);
    EnableWindow(button.m_hWnd, FALSE);
    EXPECT_EQ(2, image());
    g_received.clear();

    int cx = GetSystemMetrics(SM_CXSMICON);
    const struct { int x, y; UINT code; } hits[] = {
        {375, 10, HTCLOSE}, {345, 10, HTMAXBUTTON}, {315, 10, HTMINBUTTON}, {4, 5, HTSYSMENU}, {3 + cx, 6, HTSYSMENU},
        {1, 1, HTTOPLEFT}, {W - 2, 10, HTTOPRIGHT}, {W - 4, 29, HTTOPRIGHT}, {1, H - 1, HTBOTTOMLEFT},
        {W - 1, H - 1, HTBOTTOMRIGHT}, {0, 100, HTLEFT}, {W - 3, 100, HTRIGHT}, {W - 4, 100, HTCLIENT},
        {200, H - 2, HTBOTTOM}, {200, 3, HTTOP}, {200, 4, HTCLIENT}, {200, 5, HTCAPTION}, {200, 29, HTCAPTION},
        {200, 30, HTCLIENT}};
    for (const auto& hit : hits)
        EXPECT_EQ(hit.code, Hit(hit.x, hit.y)) << hit.x << "," << hit.y;
    const struct { UINT msg; WPARAM hit; int cell; } presses[] = {
        {WM_NCMOUSEMOVE, HTCLOSE, 2}, {WM_NCLBUTTONDOWN, HTCLOSE, 1}, {WM_NCMOUSEMOVE, HTCAPTION, 0}};
    for (const auto& press : presses) {
        SendMessageA(wnd, press.msg, press.hit, 0);
        EXPECT_EQ(Hex(CellPixel(21 * press.cell, 0)), Hex(Pixel(370, 10))) << press.cell;
    }
    SendMessageA(wnd, WM_NCLBUTTONUP, HTCLIENT, 0);
    EXPECT_TRUE(g_received.empty());

    CRect normal = Rect(), work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const struct { UINT msg; WPARAM wParam; int state; } states[] = {
        {WM_NCLBUTTONUP, HTMAXBUTTON, WINSTATE_MAXIMIZED}, {WM_NCLBUTTONUP, HTMAXBUTTON, WINSTATE_NORMAL},
        {WM_NCLBUTTONDBLCLK, HTCAPTION, WINSTATE_MAXIMIZED}, {WM_NCLBUTTONDBLCLK, HTCAPTION, WINSTATE_NORMAL},
        {WM_SYSCOMMAND, SC_MAXIMIZE, WINSTATE_MAXIMIZED}, {WM_NCLBUTTONUP, HTMINBUTTON, WINSTATE_MINIMIZED},
        {WM_SYSCOMMAND, SC_RESTORE, WINSTATE_MAXIMIZED}, {WM_COMMAND, SC_RESTORE, WINSTATE_NORMAL},
        {WM_COMMAND, SC_MINIMIZE, WINSTATE_MINIMIZED}, {WM_COMMAND, SC_RESTORE, WINSTATE_NORMAL}};
    for (const auto& step : states) {
        SendMessageA(wnd, step.msg, step.wParam, 0);
        EXPECT_EQ(step.state, skin.m_nWinState) << step.msg << " " << step.wParam;
        EXPECT_EQ(step.state == WINSTATE_MINIMIZED, IsIconic(wnd) != 0);
        if (step.state != WINSTATE_MINIMIZED) {
            EXPECT_EQ(step.state == WINSTATE_MAXIMIZED ? work : normal, Rect()) << step.msg << " " << step.wParam;
        }
    }
    // System-menu picks the skin does not carry out reach the window; the close button closes it.
    SendMessageA(wnd, WM_COMMAND, 0x0010, 0);
    SendMessageA(wnd, WM_NCLBUTTONUP, HTCLOSE, 0);
    EXPECT_EQ((std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE}), g_received);
}

namespace {

const COLORREF KEY = RGB(255, 0, 255);

// Catches runs that are cut, merged or shifted (right edge, one-pixel runs, row padding, many
// rows), and a region that cuts everything away when the pixels cannot be read.
TEST(RegionFromBitmap, HoldsExactlyThePixelsThatAreNotTheKey)
{
    CHostDir folder;
    const struct { const char* name; int width, height; PixelFn opaque; } images[] = {
        {"runs", 7, 3, [](int x, int y) { return y == 0 ? x >= 2 : y == 1 ? x % 2 == 0 : x != 3; }},
        {"all key", 5, 2, [](int, int) { return false; }},
        {"large", 1900, 1300, [](int x, int y) { return (x / 7 + y / 5) % 3 != 0; }},
    };
    for (const auto& image : images) {
        std::string path = folder.Write("image.bmp", MakeBmp(image.width, image.height, [&](int x, int y) {
            return image.opaque(x, y) ? RGB(x % 256, y % 256, 40) : KEY;
        }));
        CMyBitmap bitmap;
        ASSERT_TRUE(bitmap.LoadBitmapFile(path.c_str())) << image.name;
        HRGN region = bitmap.CreateRgnFromBitmap(KEY);
        int step = image.width > 100 ? 13 : 1;
        for (int y = 0; y < image.height; y += step)
            for (int x = 0; x < image.width; x += step)
                ASSERT_EQ(image.opaque(x, y), PtInRegion(region, x, y) != 0) << image.name << " " << x << "," << y;
        DeleteObject(region);
    }
    // Pixels that cannot be read (one bit each) make the whole image opaque; no image, nothing.
    CMyBitmap mono, none;
    mono.Attach(CreateBitmap(16, 4, 1, 1, nullptr));
    RECT box;
    for (auto [bitmap, expected] : {std::pair{&mono, RECT{0, 0, 16, 4}}, std::pair{&none, RECT{}}}) {
        HRGN region = bitmap->CreateRgnFromBitmap(KEY);
        GetRgnBox(region, &box);
        EXPECT_TRUE(EqualRect(&expected, &box));
        DeleteObject(region);
    }
}

// Catches: a string cut inside a double-byte character (a skin file cut inside a Chinese name)
// read past its terminator, into whatever lies beyond.
TEST(StringPath, AStringCutAfterALeadByteEndsThere)
{
    char cut[] = "skin\\\xBB\0\\beyond\\x", token[sizeof cut];
    EXPECT_STREQ("skin\\", GetFileDir(cut));
    CopyToken(cut, token);
    EXPECT_STREQ("skin\\", token);
}

} // namespace
