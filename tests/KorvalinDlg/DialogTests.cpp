// The main dialog for real, recording through WinMM from the null sink's monitor into a
// scratch folder beside our lame_enc.dll; its mixer is modelled with two lines per device.
#include "KorvalinDlg.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include "support/MixerModel.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;
const MixerDevice CARD{Recording({Selector(2)}),
                       {"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, {Volume(30000, 1000, 60000)}},
                       {"Line In", MIXERLINE_COMPONENTTYPE_SRC_LINE, {Volume(20000, 1000, 60000)}}};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, m_previousDir);
        SetCurrentDirectoryA(dir.WindowsPath().c_str());
        CopyFileA((ExeFolder() + "\\lame_enc\\lame_enc.dll").c_str(), dir.File("lame_enc.dll").c_str(), FALSE);
        ASSERT_TRUE(dlg.Create());
    }
    void TearDown() override
    {
        dlg.DestroyWindow();
        SetCurrentDirectoryA(m_previousDir);
        RunHost(dir, "[ -e player.pid ] && kill $(cat player.pid)");
    }
    void Click(int id) { dlg.SendDlgItemMessage(id, BM_CLICK); }
    void Check(int id, bool checked)
    {
        if ((dlg.IsDlgButtonChecked(id) == BST_CHECKED) != checked)
            Click(id);
    }
    bool Enabled(int id) { return ::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, id)) != FALSE; }
    // Record comes back only once the device has closed.
    bool WaitForIdle() { return PumpUntil([this] { return Enabled(IDC_RECORD); }); }
    DWORD FileSize(const char* name)
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        return GetFileAttributesExA(dir.File(name).c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
    }
    DWORD Volume(size_t device, size_t line) { return mixer.devices[device][line].controls[0].values[0]; }
    Values Selected(size_t device) { return mixer.devices[device][0].controls[0].values; }

    CHostDir dir;
    CMixerModel mixer{{CARD, CARD}};
    CapturedMessageBoxes boxes;
    CKorvalinDlg dlg;

private:
    char m_previousDir[MAX_PATH] = "";
};

// Catches controls usable while the device runs (a second Record, another device), the window
// closing under a recording, controls that come back before the device has closed or never; an
// output cleared during a recording that is not finished (its header would say empty) or goes
// on growing, and one ticked during a recording that is not opened.
TEST_F(DialogTest, ControlsOutputsAndCloseFollowTheDevice)
{
    const int locked[] = {IDC_MONO, IDC_STEREO, IDC_ALONE, IDC_RECORD, IDC_PLAY, IDC_DEVICE};
    Check(IDC_MP3, false);
    Click(IDC_RECORD);
    for (int id : locked)
        EXPECT_FALSE(Enabled(id)) << id;
    for (int id : {IDC_STOP, IDOK, IDC_WAVE, IDC_MP3, IDC_MICROPHONE, IDC_LINEIN, IDC_SLIDER_MIC})
        EXPECT_TRUE(Enabled(id)) << id;
    Click(IDOK);
    EXPECT_EQ(Strings{"Busing"}, boxes.Texts());
    // The engine holds the file for itself until it is finished: only its size can be seen.
    ASSERT_TRUE(PumpUntil([&] { return FileSize("test.wav") > 8192; }));
    Check(IDC_MP3, true);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("test.mp3").c_str())) << "the ticked MP3";
    Check(IDC_WAVE, false);
    const std::string wav = ReadFileBytes(dir.File("test.wav"));
    ASSERT_GT(wav.size(), 8u);
    EXPECT_EQ(wav.size() - 8, *reinterpret_cast<const DWORD*>(&wav[4])) << "RIFF size of the cleared output";
    Click(IDC_STOP);
    EXPECT_FALSE(Enabled(IDC_RECORD)) << "Record is back before the device has closed";
    ASSERT_TRUE(WaitForIdle());
    for (int id : locked)
        EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_EQ(wav, ReadFileBytes(dir.File("test.wav")));
    Click(IDOK);
    EXPECT_EQ(Strings{"Busing"}, boxes.Texts()) << "idle, Close ends the dialog without a word";
}

// Catches sliders in other units than the mixer's, a radio or slider release that sets or
// records the wrong line, keyboard moves that reach the mixer, the wrong device's mixer; a
// volume the mixer cannot report set at start-up to what the slider shows (the user's level
// changed behind their back); a box at start-up when the input found has no output of its
// number (more inputs than outputs).
TEST_F(DialogTest, SlidersAndRadiosDriveTheChosenDevicesMixer)
{
    mixer.valuesUnreadable = true;
    const MixerDevice noLines{Recording({Selector(0)})};
    mixer.devices.insert(mixer.devices.begin(), {noLines, noLines, noLines});
    CKorvalinDlg unreported;
    ASSERT_TRUE(unreported.Create());
    EXPECT_EQ(3, unreported.SendDlgItemMessage(IDC_DEVICE, CB_GETCURSEL));
    EXPECT_EQ(60000, unreported.SendDlgItemMessage(IDC_SLIDER_MIC, TBM_GETPOS));
    unreported.DestroyWindow();
    mixer.devices.erase(mixer.devices.begin(), mixer.devices.begin() + 3);
    mixer.valuesUnreadable = false;
    EXPECT_EQ(30000u, Volume(0, 1)) << "a volume nobody could read was set";
    EXPECT_EQ(Strings{}, boxes.Texts());

    EXPECT_EQ(1000, dlg.SendDlgItemMessage(IDC_SLIDER_MIC, TBM_GETRANGEMIN));
    EXPECT_EQ(60000, dlg.SendDlgItemMessage(IDC_SLIDER_LINEIN, TBM_GETRANGEMAX));
    EXPECT_EQ(20000, dlg.SendDlgItemMessage(IDC_SLIDER_LINEIN, TBM_GETPOS));
    EXPECT_EQ((Values{1, 0}), Selected(0)) << "the microphone records from the start";
    Click(IDC_LINEIN);
    EXPECT_EQ(60000u, Volume(0, 2));
    EXPECT_EQ(60000, dlg.SendDlgItemMessage(IDC_SLIDER_LINEIN, TBM_GETPOS));
    EXPECT_EQ((Values{0, 1}), Selected(0));

    HWND slider = ::GetDlgItem(dlg.m_hWnd, IDC_SLIDER_MIC);
    ::SendMessageA(slider, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_NE(30000, ::SendMessageA(slider, TBM_GETPOS, 0, 0));
    EXPECT_EQ(30000u, Volume(0, 1)) << "a key moved the mixer";
    ::SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    ::SendMessageA(slider, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(static_cast<DWORD>(::SendMessageA(slider, TBM_GETPOS, 0, 0)), Volume(0, 1));
    EXPECT_EQ((Values{1, 0}), Selected(0));
    EXPECT_EQ(BST_CHECKED, dlg.IsDlgButtonChecked(IDC_LINEIN)) << "releasing a slider moved the radios";

    dlg.SendDlgItemMessage(IDC_DEVICE, CB_SETCURSEL, 1);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DEVICE, CBN_SELCHANGE), (LPARAM)::GetDlgItem(dlg.m_hWnd, IDC_DEVICE));
    Click(IDC_MICROPHONE);
    EXPECT_EQ(60000u, Volume(1, 1)) << "the chosen device's microphone";
    EXPECT_NE(60000u, Volume(0, 1));
}

// Catches: a box raised by a device message shown inside that message's handling, where the
// device's later messages run under the box's loop (blocks then reach the MP3 out of order), or
// inside another box; a failed close of the MP3 file, which loses what the system still held
// of it, not said.
TEST_F(DialogTest, ABoxFromTheDeviceShowsAloneWhileTheRecordingGoesOnUnderIt)
{
    // The test tone, 440 Hz left and 660 Hz right, played into the sink the dialog records.
    ASSERT_EQ(0, RunHost(dir, "sox -n -r 44100 -c 2 -b 16 tone.wav synth 60 sine 440 sine 660 gain -6 && "
                              "(paplay --latency-msec=500 -d korvalin_out tone.wav & echo $! >player.pid)"));
    DWORD mp3AtBox = 0;
    bool finishing = false;
    // Read until the MP3 has grown under the box, or at once when nothing records any more.
    CapturedMessageBoxes real(10000, [&] { return finishing || FileSize("test.mp3") > mp3AtBox + 32768; });
    Click(IDC_STEREO);
    mixer.Fail("WriteFile test.wav", FALSE, 40);
    Click(IDC_RECORD);
    ASSERT_TRUE(PumpUntil([&] { return !real.Texts().empty(); }, 10000)) << "the failed write was not said";
    mp3AtBox = FileSize("test.mp3");
    PumpUntil([&] { return FileSize("test.mp3") > mp3AtBox + 40000; }, 10000);
    mixer.Fail("CloseHandle", FALSE);
    finishing = true;
    Check(IDC_MP3, false);
    Click(IDC_STOP);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ((Strings{"Write file failed", "Output file write error"}), real.Texts());
    EXPECT_EQ(1, real.maxDepth);
    std::string report;
    EXPECT_EQ(0, RunHost(dir, std::string("python3 ") + CHECK_AUDIO + " test.mp3 2 440,660 --partial", &report)) << report;
}

} // namespace
