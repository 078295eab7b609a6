// The real program, started and driven from another process as a user would.
#include "ProgramDriver.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include <gtest/gtest.h>
#include <commctrl.h>
#include <cstdlib>
#include <fstream>
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

// The skin as a user sees it: the frame has a region with the caption's corner cut away, and
// the caption and Play are drawn from the skin's images.
void ExpectTheSkinOnScreen(const CProgramDriver& program)
{
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

// A scratch folder that takes its subfolders with it.
struct CTreeDir : CHostDir {
    ~CTreeDir() { RunHost(*this, "rm -rf -- */"); }
};

// Catches: a path split inside a double-byte character (籠 is BB 5C: its second byte is a
// backslash), so a skin image is looked for under a wrong name and the skin falls back; file
// names Wine cannot map without the host's Chinese locale; and a WAV from such a folder played
// short. The program runs from a folder named in Chinese, its skin's images named so too.
TEST(Startup, FromChineseFoldersTheSkinLoadsAndAChineseWavIsHeardWhole)
{
    CTreeDir scratch;
    const std::string home = scratch.File("籠罩录音机"), skin = home + "\\skin\\orvane\\";
    const std::string songs = scratch.File("籠中歌曲"), song = "籠罩提示音.wav";
    for (const std::string& folder : {home, home + "\\skin", skin, songs})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    ASSERT_TRUE(CopyFileA((InstallFolder() + "\\Korvalin.exe").c_str(), (home + "\\Korvalin.exe").c_str(), FALSE));
    std::string theme = ReadFileBytes(InstallFolder() + "\\skin\\orvane\\theme.ini");
    for (const char* image : {"top.bmp", "left.bmp", "right.bmp", "bottom.bmp", "close.bmp", "button.bmp"}) {
        const std::string renamed = std::string("籠罩") + image;
        ASSERT_TRUE(CopyFileA((InstallFolder() + "\\skin\\orvane\\" + image).c_str(), (skin + renamed).c_str(), FALSE));
        // A folder written in the value is ignored: every image lies beside theme.ini.
        const std::string key = "=" + std::string(image);
        theme.replace(theme.find(key), key.size(), "=旧图籠\\" + renamed);
    }
    std::ofstream(skin + "theme.ini", std::ios::binary) << theme;
    ASSERT_EQ(0, RunHost(scratch, "sox -n -r 44100 -c 2 -b 16 beep.wav synth 1.5 sine 1000 gain -3"));
    ASSERT_TRUE(MoveFileA(scratch.File("beep.wav").c_str(), (songs + "\\" + song).c_str()));

    CProgramDriver program;
    ASSERT_TRUE(program.Start(home));
    ExpectTheSkinOnScreen(program);

    ASSERT_EQ(0, RunHost(scratch, "parec -d korvalin_out.monitor --latency-msec=10 --file-format=wav heard.wav & "
                                  "echo $! >parec.pid"));
    EXPECT_TRUE(program.Play(songs, song));
    EXPECT_TRUE(program.WaitUntilEnabled(IDC_RECORD, true, 8000)) << "playback did not end";
    std::string heard;
    RunHost(scratch, "sleep 0.3; p=$(cat parec.pid); kill $p; while kill -0 $p 2>/dev/null; do sleep 0.05; done; "
                     "sox heard.wav -p sinc -t 100 850-1150 | sox -p -n silence 1 0.02 5% reverse silence 1 0.02 5% "
                     "stat 2>&1 | awk '/Length/ {print $3}'", &heard);
    EXPECT_GE(atof(heard.c_str()), 1.4) << "the 1.5 s beep was heard for " << heard << " s";
}

// Catches: the skin not applied as a user sees it (a system caption or square corners, system
// push buttons); a control missing or mislabelled, a radio group set at the wrong index; a volume written back as the slider's
// minimum; an about entry that opens nothing or takes the dialog with it; a contact command
// that blocks the dialog; a Close that does not end the program.
TEST(Startup, ShowsEveryControlInTheSkinAndCloseEndsTheProgram)
{
    CProgramDriver program;
    ASSERT_TRUE(program.Start()) << "no main dialog appeared";
    ExpectTheSkinOnScreen(program);
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
