// The real program, started and driven from another process as a user would.
#include "ProgramDriver.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include <gtest/gtest.h>
#include <commctrl.h>
#include <set>

namespace {

// Every colour of one of the skin's images, as the screen shows it.
std::set<COLORREF> SkinColours(const char* image)
{
    std::string path = InstallFolder() + "\\skin\\orvane\\" + image;
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    std::vector<COLORREF> pixels = BitmapPixels(bitmap);
    DeleteObject(bitmap);
    return std::set<COLORREF>(pixels.begin(), pixels.end());
}

// The share of `pixels` whose colour is one of `colours`.
double ShareOf(const std::vector<COLORREF>& pixels, const std::set<COLORREF>& colours)
{
    size_t n = 0;
    for (COLORREF pixel : pixels)
        n += colours.count(pixel);
    return pixels.empty() ? 0 : static_cast<double>(n) / pixels.size();
}

// Catches: the skin not applied to the real program as a user sees it: a system caption or
// square corners, system push buttons.
TEST(Startup, ShowsItsFrameAndButtonsInTheSkin)
{
    CProgramDriver program;
    ASSERT_TRUE(program.Start());
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, GetWindowRgn(program.MainDialog(), region)) << "the frame has no region";
    EXPECT_FALSE(PtInRegion(region, 0, 0)) << "the caption's corner is not cut away";
    DeleteObject(region);
    const std::set<COLORREF> top = SkinColours("top.bmp"), button = SkinColours("button.bmp");
    double captionShare = 0, buttonShare = 0;
    // Polled: the window may show before it has painted.
    PumpUntil([&] {
        RECT rc;
        std::vector<COLORREF> window = program.Pixels(0, &rc), caption;
        const int width = rc.right - rc.left;
        // A band of the caption right of the title and left of the close button.
        for (int y = 2; y < 20; ++y)
            caption.insert(caption.end(), window.begin() + y * width + width / 2,
                           window.begin() + y * width + width - 60);
        captionShare = ShareOf(caption, top);
        buttonShare = ShareOf(program.Pixels(IDC_PLAY), button);
        return captionShare > 0.95 && buttonShare > 0.7;
    });
    EXPECT_GT(captionShare, 0.95) << "the caption is not drawn from the skin";
    EXPECT_GT(buttonShare, 0.7) << "Play is not a skinned button";
}

// Catches: a dialog that does not show, a control missing or mislabelled, a volume written
// back as the slider's minimum.
TEST(Startup, ShowsTheMainDialogWithEveryControl)
{
    CProgramDriver program;
    ASSERT_TRUE(program.Start()) << "no main dialog appeared";
    HWND dialog = program.MainDialog();
    char className[64] = "";
    GetClassNameA(dialog, className, sizeof className);
    EXPECT_STREQ("#32770", className);

    const struct { int id; const char* text; } controls[] = {
        {IDC_RECORD, "录音"}, {IDC_PLAY, "播放"}, {IDC_STOP, "停止"}, {IDC_CONTACT, "联系作者"},
        {IDOK, "关闭"}, {IDC_MONO, "Mono"}, {IDC_STEREO, "Stereo"}, {IDC_ALONE, "Alone"},
        {IDC_LEFT, "Left"}, {IDC_RIGHT, "Right"}, {IDC_WAVE, "Wave"}, {IDC_MP3, "Mp3"},
        {IDC_MICROPHONE, "Microphone"}, {IDC_LINEIN, "Line In"},
    };
    for (const auto& control : controls)
        EXPECT_EQ(control.text, program.ControlText(control.id)) << "control " << control.id;
    EXPECT_NE(nullptr, GetDlgItem(dialog, IDC_DEVICE));
    EXPECT_NE(nullptr, GetDlgItem(dialog, IDC_SLIDER_MIC));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_WAVE_VIEW))) << "the placeholder is never shown";
    // Wine's mixer reports no volume: the slider shows the maximum, not its minimum.
    HWND slider = GetDlgItem(dialog, IDC_SLIDER_MIC);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), SendMessageA(slider, TBM_GETPOS, 0, 0));
}

// Catches: an about entry that opens nothing or takes the dialog with it, a contact command
// that blocks the dialog, a Close that does not end the program.
TEST(Startup, AboutAndContactLeaveTheDialogUsableAndCloseEndsTheProgram)
{
    CProgramDriver program;
    ASSERT_TRUE(program.Start());
    PostMessageA(program.MainDialog(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = program.WaitForOwnedWindow("关于");
    ASSERT_NE(nullptr, about) << "no about box";
    char text[128] = "";
    GetDlgItemTextA(about, IDOK, text, sizeof text);
    EXPECT_STREQ("确定", text);
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }));

    PostMessageA(GetDlgItem(program.MainDialog(), IDC_CONTACT), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.Responds());
    EXPECT_TRUE(IsWindowVisible(program.MainDialog()));
    PostMessageA(GetDlgItem(program.MainDialog(), IDOK), BM_CLICK, 0, 0);
    DWORD exitCode = 1;
    EXPECT_TRUE(program.WaitForExit(10000, &exitCode)) << "Close did not end the program";
    EXPECT_EQ(0u, exitCode);
}

} // namespace
