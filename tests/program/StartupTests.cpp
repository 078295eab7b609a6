// The real program, started and driven from another process as a user would.
#include "ProgramDriver.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include <gtest/gtest.h>
#include <commctrl.h>

namespace {

// Catches: the skin not applied as a user sees it (a system caption or square corners, system
// push buttons); a control missing or mislabelled, a radio group set at the wrong index; a volume written back as the slider's
// minimum; an about entry that opens nothing or takes the dialog with it; a contact command
// that blocks the dialog; a Close that does not end the program.
TEST(Startup, ShowsEveryControlInTheSkinAndCloseEndsTheProgram)
{
    CProgramDriver program;
    ASSERT_TRUE(program.Start()) << "no main dialog appeared";
    EXPECT_EQ("", SkinMissing(program));
    const struct { int id; const char* text; } controls[] = {
        {IDC_RECORD, "录音"}, {IDC_PLAY, "播放"}, {IDC_STOP, "停止"}, {IDC_CONTACT, "联系作者"},
        {IDOK, "关闭"}, {IDC_MONO, "Mono"}, {IDC_STEREO, "Stereo"}, {IDC_ALONE, "Alone"},
        {IDC_LEFT, "Left"}, {IDC_RIGHT, "Right"}, {IDC_WAVE, "Wave"}, {IDC_MP3, "Mp3"},
        {IDC_MICROPHONE, "Microphone"}, {IDC_LINEIN, "Line In"},
    };
    for (const auto& control : controls)
        EXPECT_EQ(control.text, program.ControlText(control.id)) << "control " << control.id;
    HWND dialog = program.MainDialog(), slider = GetDlgItem(dialog, IDC_SLIDER_MIC);
    // Data exchange sets each radio group from its index (0: Mono, Microphone).
    for (int id : {IDC_MONO, IDC_MICROPHONE})
        EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0)) << "radio " << id;
    EXPECT_NE(nullptr, GetDlgItem(dialog, IDC_DEVICE));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_WAVE_VIEW))) << "the placeholder is never shown";
    // Wine's mixer reports no volume: the slider shows the maximum, not its minimum.
    ASSERT_NE(nullptr, slider);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), SendMessageA(slider, TBM_GETPOS, 0, 0));

    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = program.WaitForOwnedWindow("关于");
    ASSERT_NE(nullptr, about) << "no about box";
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }));
    PostMessageA(GetDlgItem(dialog, IDC_CONTACT), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.Responds());
    EXPECT_TRUE(IsWindowVisible(dialog));
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    DWORD exitCode = 1;
    EXPECT_TRUE(program.WaitForExit(10000, &exitCode)) << "Close did not end the program";
    EXPECT_EQ(0u, exitCode);
}

} // namespace
