// The main dialog for real, recording through WinMM from the null sink's monitor into a
// scratch folder, with our lame_enc.dll; the mixer is modelled, with two lines per device.
#include "KorvalinDlg.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include "support/MixerModel.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;
const char* const OUTPUTS[] = {"test.wav", "test.mp3", "test_left.wav", "test_left.mp3", "test_right.wav",
                               "test_right.mp3"};

MixerDevice Card()
{
    return {{{"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, {Volume(30000, 1000, 60000)}},
             {"Line In", MIXERLINE_COMPONENTTYPE_SRC_LINE, {Volume(20000, 1000, 60000)}}},
            {Selector(2)}};
}

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
        if (dlg.m_hWnd)
            dlg.DestroyWindow();
        SetCurrentDirectoryA(m_previousDir);
    }

    void Click(int id) { dlg.SendDlgItemMessage(id, BM_CLICK); }
    void Check(int id, bool checked)
    {
        if ((dlg.IsDlgButtonChecked(id) == BST_CHECKED) != checked)
            Click(id);
    }
    bool Enabled(int id) { return ::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, id)) != FALSE; }
    int Slider(int id) { return static_cast<int>(dlg.SendDlgItemMessage(id, TBM_GETPOS)); }
    // Stop, then wait for the device's close to give Record back.
    bool StopAndWait()
    {
        Click(IDC_STOP);
        return PumpUntil([this] { return Enabled(IDC_RECORD); });
    }
    Strings Files()
    {
        Strings found;
        for (const char* name : OUTPUTS)
            if (!(GetFileAttributesA(dir.File(name).c_str()) & (FILE_ATTRIBUTE_DIRECTORY | 0x80000000)))
                found.push_back(name);
        return found;
    }

    CHostDir dir;
    CMixerModel mixer{{Card(), Card()}};
    CapturedMessageBoxes boxes;
    CKorvalinDlg dlg;

private:
    char m_previousDir[MAX_PATH] = "";
};

// Catches files missing, extra or misnamed for a mode and its boxes, a message box where none
// belongs, and Left and Right not following the mode.
TEST_F(DialogTest, RecordingWritesTheFilesNamedByModeAndBoxes)
{
    const struct {
        int mode;
        bool left, right, wave, mp3;
        Strings files;
    } rows[] = {
        {IDC_MONO, true, true, true, true, {"test.wav", "test.mp3"}},
        {IDC_STEREO, false, false, false, true, {"test.mp3"}},
        {IDC_MONO, true, true, false, false, {}},
        {IDC_ALONE, true, false, true, true, {"test_left.wav", "test_left.mp3"}},
        {IDC_ALONE, false, true, true, false, {"test_right.wav"}},
        {IDC_ALONE, true, true, true, true, {"test_left.wav", "test_left.mp3", "test_right.wav", "test_right.mp3"}},
        {IDC_ALONE, false, false, true, true, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << " left " << row.left << " right " << row.right
                                        << " wave " << row.wave << " mp3 " << row.mp3);
        for (const char* name : OUTPUTS)
            DeleteFileA(dir.File(name).c_str());
        Click(row.mode);
        Check(IDC_LEFT, row.left);
        Check(IDC_RIGHT, row.right);
        Check(IDC_WAVE, row.wave);
        Check(IDC_MP3, row.mp3);
        Click(IDC_RECORD);
        EXPECT_EQ(row.mode == IDC_ALONE, Enabled(IDC_LEFT));
        EXPECT_EQ(row.mode == IDC_ALONE, Enabled(IDC_RIGHT));
        ASSERT_TRUE(StopAndWait());
        EXPECT_EQ(row.files, Files());
    }
    EXPECT_EQ(Strings{}, boxes.Texts());
}

// Catches controls usable while the device runs (a second Record, another device) and
// controls that do not come back when the device has closed.
TEST_F(DialogTest, ControlsLockWhileBusyAndComeBackWhenTheDeviceCloses)
{
    const int locked[] = {IDC_MONO, IDC_STEREO, IDC_ALONE, IDC_RECORD, IDC_PLAY, IDC_DEVICE};
    Click(IDC_RECORD);
    for (int id : locked)
        EXPECT_FALSE(Enabled(id)) << id;
    for (int id : {IDC_STOP, IDOK, IDC_CONTACT, IDC_WAVE, IDC_MP3, IDC_MICROPHONE, IDC_LINEIN, IDC_SLIDER_MIC})
        EXPECT_TRUE(Enabled(id)) << id;
    Click(IDC_STOP);
    EXPECT_FALSE(Enabled(IDC_RECORD)) << "Record is back before the device has closed";
    ASSERT_TRUE(PumpUntil([this] { return Enabled(IDC_RECORD); }));
    for (int id : locked)
        EXPECT_TRUE(Enabled(id)) << id;
}

// Catches an output cleared during a recording that is not finished (its header would say
// empty) or goes on growing, and an output ticked during a recording that is not opened.
TEST_F(DialogTest, OutputsTickedAndClearedDuringARecording)
{
    Check(IDC_MP3, false);
    Click(IDC_RECORD);
    // The file is open for the engine alone until it is finished: only its size can be seen.
    WIN32_FILE_ATTRIBUTE_DATA file{};
    ASSERT_TRUE(PumpUntil([&] {
        return GetFileAttributesExA(dir.File("test.wav").c_str(), GetFileExInfoStandard, &file) && file.nFileSizeLow > 8192;
    }));
    Check(IDC_MP3, true);
    EXPECT_EQ((Strings{"test.wav", "test.mp3"}), Files());
    Check(IDC_WAVE, false);
    const std::string wav = ReadFileBytes(dir.File("test.wav"));
    ASSERT_GT(wav.size(), 8u);
    EXPECT_EQ(wav.size() - 8, *reinterpret_cast<const DWORD*>(&wav[4])) << "RIFF size of the cleared output";
    ASSERT_TRUE(StopAndWait());
    EXPECT_EQ(wav, ReadFileBytes(dir.File("test.wav")));
    EXPECT_EQ(Strings{}, boxes.Texts());
}

// Catches an output that cannot be created stopping the recording, or the rest of that
// request going on without it.
TEST_F(DialogTest, AnOutputThatCannotBeCreatedSkipsTheRestAndTheRecordingGoesOn)
{
    CreateDirectoryA(dir.File("test_left.wav").c_str(), nullptr);
    Click(IDC_ALONE);
    Click(IDC_RECORD);
    ASSERT_TRUE(PumpUntil([this] { return !boxes.shown.empty(); }));
    EXPECT_EQ(Strings{"Open wave file failed"}, boxes.Texts());
    EXPECT_EQ(Strings{}, Files());
    EXPECT_FALSE(Enabled(IDC_RECORD)) << "the recording stopped";
    EXPECT_TRUE(StopAndWait());
    RemoveDirectoryA(dir.File("test_left.wav").c_str());
}

// Catches the window closing under a running recording: its files would be cut off.
TEST_F(DialogTest, CloseWhileRecordingSaysBusing)
{
    Click(IDC_RECORD);
    Click(IDOK);
    EXPECT_EQ(Strings{"Busing"}, boxes.Texts());
    EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
    EXPECT_FALSE(Enabled(IDC_RECORD)) << "the recording stopped";
    ASSERT_TRUE(StopAndWait());
    Click(IDOK);
    EXPECT_EQ(1u, boxes.shown.size()) << "idle, Close ends the dialog without a word";
}

// Catches sliders in other units than the mixer's, a radio or slider that sets or records
// the wrong line, keyboard moves that reach the mixer, and actions on the wrong device.
TEST_F(DialogTest, SlidersAndRadiosDriveTheChosenDevicesMixer)
{
    auto& first = mixer.devices[0];
    auto mic = [&](size_t device) { return mixer.devices[device].sources[0].controls[0].values[0]; };
    auto line = [&](size_t device) { return mixer.devices[device].sources[1].controls[0].values[0]; };
    EXPECT_EQ(1000, dlg.SendDlgItemMessage(IDC_SLIDER_MIC, TBM_GETRANGEMIN));
    EXPECT_EQ(60000, dlg.SendDlgItemMessage(IDC_SLIDER_LINEIN, TBM_GETRANGEMAX));
    EXPECT_EQ(30000, Slider(IDC_SLIDER_MIC));
    EXPECT_EQ(20000, Slider(IDC_SLIDER_LINEIN));
    EXPECT_EQ((std::vector<DWORD>{1, 0}), first.destination[0].values) << "the microphone records at start";

    Click(IDC_LINEIN);
    EXPECT_EQ(60000u, line(0));
    EXPECT_EQ(60000, Slider(IDC_SLIDER_LINEIN));
    EXPECT_EQ((std::vector<DWORD>{0, 1}), first.destination[0].values);

    HWND slider = ::GetDlgItem(dlg.m_hWnd, IDC_SLIDER_MIC);
    ::SetFocus(slider);
    ::SendMessageA(slider, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_NE(30000, Slider(IDC_SLIDER_MIC));
    EXPECT_EQ(30000u, mic(0)) << "a key moved the mixer";
    ::SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    ::SendMessageA(slider, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(static_cast<DWORD>(Slider(IDC_SLIDER_MIC)), mic(0));
    EXPECT_EQ((std::vector<DWORD>{1, 0}), first.destination[0].values);
    EXPECT_EQ(BST_CHECKED, dlg.IsDlgButtonChecked(IDC_LINEIN)) << "releasing a slider moved the radios";

    if (dlg.SendDlgItemMessage(IDC_DEVICE, CB_GETCOUNT) < 2)
        GTEST_SKIP() << "fewer than two capture devices";
    dlg.SendDlgItemMessage(IDC_DEVICE, CB_SETCURSEL, 1);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DEVICE, CBN_SELCHANGE), (LPARAM)::GetDlgItem(dlg.m_hWnd, IDC_DEVICE));
    Click(IDC_MICROPHONE);
    EXPECT_EQ(60000u, mic(1));
    EXPECT_NE(60000u, mic(0));
}

} // namespace
