// The main dialog created for real, its engine on the scripted wave device and a scripted
// mixer: start-up state, controls following the engine, the output naming table, the
// closing rows, Busing, device choice and the volume sliders.
#include "KorvalinDlg.h"
#include "res/resource.h"
#include "support/FakeAudioServices.h"
#include "support/FakeMixer.h"
#include "support/HostTools.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// The wave device of CFakeAudioServices with the mixer of CFakeMixer: the mixer probe (a
// wave-in open without callback) and every mixer call go to the mixer. The names of the
// files created through the RIFF functions are kept in order.
class CDialogServices : public CFakeAudioServices {
public:
    // The mixer installed itself over these services when it was made.
    CDialogServices() { SetAudioServices(this); }

    CFakeMixer mixer;
    std::vector<std::string> created;

    HMMIO mmioOpenA(LPSTR name, MMIOINFO* info, DWORD flags) override
    {
        HMMIO file = CFakeAudioServices::mmioOpenA(name, info, flags);
        if (file && (flags & MMIO_CREATE))
            created.push_back(name);
        return file;
    }

    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override
    {
        if ((flags & CALLBACK_TYPEMASK) == CALLBACK_NULL)
            return mixer.waveInOpen(handle, device, format, callback, instance, flags);
        return CFakeAudioServices::waveInOpen(handle, device, format, callback, instance, flags);
    }
    MMRESULT waveInClose(HWAVEIN handle) override
    {
        return handle == hWaveIn ? CFakeAudioServices::waveInClose(handle) : mixer.waveInClose(handle);
    }
    UINT mixerGetNumDevs() override { return mixer.mixerGetNumDevs(); }
    MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) override { return mixer.mixerGetID(object, id, flags); }
    MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override
    {
        return mixer.mixerOpen(handle, id, callback, instance, flags);
    }
    MMRESULT mixerClose(HMIXER handle) override { return mixer.mixerClose(handle); }
    MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) override
    {
        return mixer.mixerGetLineInfoA(object, line, flags);
    }
    MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) override
    {
        return mixer.mixerGetLineControlsA(object, controls, flags);
    }
    MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override
    {
        return mixer.mixerGetControlDetailsA(object, details, flags);
    }
    MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override
    {
        return mixer.mixerSetControlDetails(object, details, flags);
    }
};

// Opens the dialog's protected parts to the tests.
class CTestDlg : public CKorvalinDlg {
public:
    using CKorvalinDlg::m_audio;
    using CKorvalinDlg::m_nCurDevice;
    using CKorvalinDlg::m_sliderLineIn;
    using CKorvalinDlg::m_sliderMic;
};

const DWORD MIC_VOLUME = 30000, LINE_VOLUME = 20000, MAX_VOLUME = 60000, MIN_VOLUME = 1000;
const char* const OUTPUTS[] = {"test.wav", "test.mp3", "test_left.wav", "test_left.mp3", "test_right.wav",
                               "test_right.mp3"};

class DialogTest : public ::testing::Test {
protected:
    DialogTest()
    {
        GetCurrentDirectoryA(MAX_PATH, m_previousDir);
        SetCurrentDirectoryA(dir.WindowsPath().c_str());
        // A stand-in encoder that writes its streams, loaded from the current folder.
        CopyFileA((ExeFolder() + "\\fake_lame\\full\\lame_enc.dll").c_str(), dir.File("lame_enc.dll").c_str(), FALSE);
        fake.inDevices = {"First In", "Second In"};
        fake.outDevices = {"First Out", "Second Out"};
        for (int device = 0; device < 2; ++device) {
            FakeMixerDevice& mixerDevice = mixer.AddDevice();
            mixerDevice.sources.push_back(FakeLineWithVolume(mixer, "Microphone", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
                                                             1, MIN_VOLUME, MAX_VOLUME));
            mixerDevice.sources.back().controls[0].values = {MIC_VOLUME};
            mixerDevice.sources.push_back(FakeLineWithVolume(mixer, "Line In", MIXERLINE_COMPONENTTYPE_SRC_LINE, 1,
                                                             MIN_VOLUME, MAX_VOLUME));
            mixerDevice.sources.back().controls[0].values = {LINE_VOLUME};
            mixerDevice.destinationControls.push_back(
                FakeSwitch(mixer, "Select", MIXERCONTROL_CONTROLTYPE_MUX,
                           MIXERCONTROL_CONTROLF_MULTIPLE | MIXERCONTROL_CONTROLF_UNIFORM, 2));
        }
    }
    ~DialogTest() override
    {
        if (dlg.m_hWnd)
            dlg.DestroyWindow();
        SetCurrentDirectoryA(m_previousDir);
    }

    void Open() { ASSERT_TRUE(dlg.Create()); }
    void Click(int id)
    {
        dlg.SendDlgItemMessage(id, BM_CLICK);
        Drain();
    }
    void SetCheck(int id, bool checked)
    {
        if ((dlg.IsDlgButtonChecked(id) == BST_CHECKED) != checked)
            Click(id);
    }
    static void Drain()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    bool Enabled(int id) { return ::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, id)) != FALSE; }
    // Stop, and the device hands every buffer back: the recording ends and the device closes.
    void StopAndFinish()
    {
        Click(IDC_STOP);
        while (fake.ReturnInput(0))
            Drain();
        Drain();
    }
    // The names of the output files the engine created, in the order it created them.
    // MP3 files are written by the C runtime; they are found by name, left before right.
    Strings Created()
    {
        Strings names = fake.created;
        for (const char* name : OUTPUTS) {
            std::string mp3 = name;
            if (mp3.size() > 4 && mp3.substr(mp3.size() - 4) == ".mp3" &&
                GetFileAttributesA(dir.File(mp3).c_str()) != INVALID_FILE_ATTRIBUTES)
                names.push_back(mp3);
        }
        return names;
    }
    void RemoveOutputs()
    {
        for (const char* name : OUTPUTS)
            DeleteFileA(dir.File(name).c_str());
        fake.ClearLog();
        fake.created.clear();
    }
    // The mixer volumes set, as (control id, value) in order.
    std::vector<std::pair<DWORD, DWORD>> VolumeSets() const
    {
        std::vector<std::pair<DWORD, DWORD>> sets;
        for (const FakeSetCall& set : mixer.sets) {
            if (mixer.devices[0].sources[0].controls[0].id == set.controlId ||
                mixer.devices[0].sources[1].controls[0].id == set.controlId)
                sets.emplace_back(set.controlId, set.values.empty() ? 0 : set.values[0]);
        }
        return sets;
    }
    DWORD MicControl() const { return mixer.devices[0].sources[0].controls[0].id; }
    DWORD LineControl() const { return mixer.devices[0].sources[1].controls[0].id; }
    // The item the recording selector holds set: 0 microphone, 1 line in, -1 none or several.
    int SelectedLine()
    {
        const std::vector<DWORD>& items = mixer.devices[0].destinationControls[0].values;
        int selected = -1;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i]) {
                if (selected >= 0)
                    return -1;
                selected = static_cast<int>(i);
            }
        }
        return selected;
    }

    CHostDir dir;
    CDialogServices fake;
    CFakeMixer& mixer = fake.mixer;
    CapturedMessageBoxes boxes;
    CapturedTrace trace;
    CTestDlg dlg;

private:
    char m_previousDir[MAX_PATH] = "";
};

TEST_F(DialogTest, StartsWithMonoMicrophoneAndAllOutputsChecked)
{
    Open();
    for (int id : {IDC_MONO, IDC_MICROPHONE, IDC_LEFT, IDC_RIGHT, IDC_WAVE, IDC_MP3})
        EXPECT_EQ(BST_CHECKED, dlg.IsDlgButtonChecked(id)) << "control " << id;
    for (int id : {IDC_STEREO, IDC_ALONE, IDC_LINEIN})
        EXPECT_EQ(BST_UNCHECKED, dlg.IsDlgButtonChecked(id)) << "control " << id;
    EXPECT_FALSE(Enabled(IDC_LEFT));
    EXPECT_FALSE(Enabled(IDC_RIGHT));
    for (int id : {IDC_RECORD, IDC_PLAY, IDC_DEVICE, IDC_MONO, IDC_STEREO, IDC_ALONE, IDC_STOP})
        EXPECT_TRUE(Enabled(id)) << "control " << id;

    EXPECT_EQ(2, dlg.SendDlgItemMessage(IDC_DEVICE, CB_GETCOUNT));
    EXPECT_EQ(0, dlg.SendDlgItemMessage(IDC_DEVICE, CB_GETCURSEL)) << "the first device with a mixer";
    EXPECT_EQ(0, dlg.m_nCurDevice);
    EXPECT_EQ(STATUS_IDLE, dlg.m_audio.GetStatus());
    EXPECT_TRUE(boxes.shown.empty());

    // The sliders show the mixer's own units; the microphone becomes the source at its volume.
    EXPECT_EQ(static_cast<int>(MIN_VOLUME), dlg.m_sliderMic.GetRangeMin());
    EXPECT_EQ(static_cast<int>(MAX_VOLUME), dlg.m_sliderMic.GetRangeMax());
    EXPECT_EQ(static_cast<int>(MIC_VOLUME), dlg.m_sliderMic.GetPos());
    EXPECT_EQ(static_cast<int>(LINE_VOLUME), dlg.m_sliderLineIn.GetPos());
    EXPECT_EQ(0, SelectedLine());
}

TEST_F(DialogTest, NoMixerLeavesTheDeviceListWithoutSelection)
{
    mixer.mixerCount = 0;
    Open();
    EXPECT_EQ(2, dlg.SendDlgItemMessage(IDC_DEVICE, CB_GETCOUNT));
    EXPECT_EQ(CB_ERR, dlg.SendDlgItemMessage(IDC_DEVICE, CB_GETCURSEL));
    EXPECT_EQ(-1, dlg.m_nCurDevice);
    EXPECT_TRUE(boxes.shown.empty()) << "the wave mapper needs no device index check";
    Click(IDC_RECORD);
    EXPECT_EQ(WAVE_MAPPER, fake.inDevice);
}

TEST_F(DialogTest, ControlsLockWhileBusyAndReturnWithTheDevicesClose)
{
    Open();
    Click(IDC_RECORD);
    ASSERT_EQ(STATUS_RECORDING, dlg.m_audio.GetStatus());
    for (int id : {IDC_MONO, IDC_STEREO, IDC_ALONE, IDC_RECORD, IDC_PLAY, IDC_DEVICE})
        EXPECT_FALSE(Enabled(id)) << "control " << id;
    for (int id : {IDC_STOP, IDOK, IDC_CONTACT, IDC_WAVE, IDC_MP3, IDC_MICROPHONE, IDC_LINEIN, IDC_SLIDER_MIC,
                   IDC_SLIDER_LINEIN})
        EXPECT_TRUE(Enabled(id)) << "control " << id;

    Click(IDC_STOP);
    EXPECT_EQ(STATUS_STOPPING, dlg.m_audio.GetStatus());
    EXPECT_FALSE(Enabled(IDC_RECORD)) << "the dialog waits for the device to close";

    while (fake.ReturnInput(0))
        Drain();
    Drain();
    EXPECT_EQ(STATUS_IDLE, dlg.m_audio.GetStatus());
    for (int id : {IDC_MONO, IDC_STEREO, IDC_ALONE, IDC_RECORD, IDC_PLAY, IDC_DEVICE})
        EXPECT_TRUE(Enabled(id)) << "control " << id;
}

TEST_F(DialogTest, ModeRadiosEnableLeftAndRightOnlyForAlone)
{
    Open();
    Click(IDC_ALONE);
    EXPECT_TRUE(Enabled(IDC_LEFT));
    EXPECT_TRUE(Enabled(IDC_RIGHT));
    Click(IDC_RECORD);
    EXPECT_TRUE(Enabled(IDC_LEFT)) << "Left and Right follow the mode alone, whatever the status";
    StopAndFinish();
    Click(IDC_STEREO);
    EXPECT_FALSE(Enabled(IDC_LEFT));
    EXPECT_FALSE(Enabled(IDC_RIGHT));
}

TEST_F(DialogTest, OutputsAreNamedAndOpenedInOrder)
{
    struct Case {
        int mode;
        bool left, right, wave, mp3;
        Strings files;
    } cases[] = {
        {IDC_MONO, true, true, true, true, {"test.wav", "test.mp3"}},
        {IDC_MONO, false, false, true, false, {"test.wav"}},
        {IDC_STEREO, false, true, false, true, {"test.mp3"}},
        {IDC_STEREO, true, true, false, false, {}},
        {IDC_ALONE, true, false, true, true, {"test_left.wav", "test_left.mp3"}},
        {IDC_ALONE, false, true, true, true, {"test_right.wav", "test_right.mp3"}},
        {IDC_ALONE, true, true, true, true, {"test_left.wav", "test_right.wav", "test_left.mp3", "test_right.mp3"}},
        {IDC_ALONE, true, true, false, true, {"test_left.mp3", "test_right.mp3"}},
        {IDC_ALONE, false, false, true, true, {}},
    };
    Open();
    for (const Case& c : cases) {
        Click(c.mode);
        SetCheck(IDC_LEFT, c.left);
        SetCheck(IDC_RIGHT, c.right);
        SetCheck(IDC_WAVE, c.wave);
        SetCheck(IDC_MP3, c.mp3);
        RemoveOutputs();
        Click(IDC_RECORD);
        EXPECT_EQ(c.files, Created()) << "mode " << c.mode << " left " << c.left << " right " << c.right
                                      << " wave " << c.wave << " mp3 " << c.mp3;
        StopAndFinish();
        ASSERT_EQ(STATUS_IDLE, dlg.m_audio.GetStatus());
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DialogTest, TheFirstOutputThatFailsStopsTheRest)
{
    Open();
    Click(IDC_ALONE);
    fake.Fail("mmioOpenA", 0, 2); // the create of the first WAV file (after its delete)
    Click(IDC_RECORD);
    EXPECT_EQ(Strings{}, Created()) << "no right WAV and no MP3 after the left WAV failed";
    EXPECT_EQ(Strings{"Open wave file failed"}, boxes.Texts());
    EXPECT_EQ(STATUS_RECORDING, dlg.m_audio.GetStatus()) << "the recording goes on";
}

TEST_F(DialogTest, TickingAndClearingOutputsDuringARecording)
{
    Open();
    SetCheck(IDC_MP3, false);
    Click(IDC_RECORD);
    ASSERT_EQ(Strings{"test.wav"}, Created());
    fake.ReturnInput(4096);
    Drain();

    RemoveOutputs();
    SetCheck(IDC_MP3, true); // asks for "wav" again, which is open and stays untouched
    EXPECT_EQ(Strings{"test.mp3"}, Created());
    EXPECT_EQ(0, fake.Count("mmioOpenA"));

    fake.ClearLog();
    SetCheck(IDC_WAVE, false);
    EXPECT_EQ(Strings({"mmioAscend", "mmioAscend", "mmioClose"}), fake.Names("mmio"));
    std::string wav = ReadFileBytes(dir.File("test.wav"));
    ASSERT_EQ(46u + 4096u, wav.size()) << "test.wav is finished with the block it received";
    EXPECT_EQ(STATUS_RECORDING, dlg.m_audio.GetStatus());
}

TEST_F(DialogTest, ClearingLeftInAloneModeFinishesBothLeftOutputs)
{
    Open();
    Click(IDC_ALONE);
    Click(IDC_RECORD);
    ASSERT_EQ(4u, Created().size());
    fake.ClearLog();
    SetCheck(IDC_LEFT, false);
    // Only the left WAV is finished through the file functions; its MP3 stream ends too.
    EXPECT_EQ(Strings({"mmioAscend", "mmioAscend", "mmioClose"}), fake.Names("mmio"));
    RemoveOutputs(); // the right outputs are still open and stay
    SetCheck(IDC_LEFT, true);
    EXPECT_EQ(Strings{"test_left.wav"}, fake.created) << "re-ticking starts the left WAV anew";
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("test_left.mp3").c_str()))
        << "and the left MP3";
}

TEST_F(DialogTest, CloseWhileBusySaysBusingAndKeepsRecording)
{
    Open();
    Click(IDC_RECORD);
    Click(IDOK);
    EXPECT_EQ(Strings{"Busing"}, boxes.Texts());
    EXPECT_EQ(dlg.m_hWnd, boxes.shown[0].owner);
    EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
    EXPECT_EQ(STATUS_RECORDING, dlg.m_audio.GetStatus());

    StopAndFinish();
    Click(IDOK);
    EXPECT_EQ(1u, boxes.shown.size()) << "idle: Close ends the dialog without a word";
}

TEST_F(DialogTest, StopWhenIdleOnlyRefreshesTheControls)
{
    Open();
    fake.ClearLog();
    Click(IDC_STOP);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(Enabled(IDC_RECORD));
}

TEST_F(DialogTest, ChoosingTheSameDeviceDoesNothingAndAnotherSelectsItOnce)
{
    Open();
    auto choose = [this](int index) {
        dlg.SendDlgItemMessage(IDC_DEVICE, CB_SETCURSEL, index);
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DEVICE, CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(::GetDlgItem(dlg.m_hWnd, IDC_DEVICE)));
        Drain();
    };
    fake.ClearLog();
    choose(0);
    EXPECT_EQ(0, fake.Count("waveInGetDevCapsA")) << "the same device is not selected again";
    choose(1);
    EXPECT_EQ(1, fake.Count("waveInGetDevCapsA")) << "SetDevice reads the new device's name once";
    EXPECT_EQ(1, dlg.m_nCurDevice);
    Click(IDC_RECORD);
    EXPECT_EQ(1u, fake.inDevice);
}

TEST_F(DialogTest, ReleasingASliderSetsItsLineWithoutMovingTheRadios)
{
    Open();
    mixer.sets.clear();
    dlg.m_sliderLineIn.SetPos(45000);
    NMHDR header{dlg.m_sliderLineIn.m_hWnd, IDC_SLIDER_LINEIN, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    EXPECT_EQ(0, dlg.SendMessage(WM_NOTIFY, IDC_SLIDER_LINEIN, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ((std::vector<std::pair<DWORD, DWORD>>{{LineControl(), 45000}}), VolumeSets());
    EXPECT_EQ(1, SelectedLine()) << "line in becomes the recording source";
    EXPECT_EQ(BST_CHECKED, dlg.IsDlgButtonChecked(IDC_MICROPHONE)) << "the radios stay";

    mixer.sets.clear();
    dlg.m_sliderMic.SetPos(12345);
    header = NMHDR{dlg.m_sliderMic.m_hWnd, IDC_SLIDER_MIC, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    dlg.SendMessage(WM_NOTIFY, IDC_SLIDER_MIC, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ((std::vector<std::pair<DWORD, DWORD>>{{MicControl(), 12345}}), VolumeSets());
    EXPECT_EQ(0, SelectedLine());
}

TEST_F(DialogTest, KeyboardMovesOfASliderLeaveTheMixerAlone)
{
    Open();
    mixer.sets.clear();
    ::SetFocus(dlg.m_sliderMic.m_hWnd);
    dlg.m_sliderMic.SendMessage(WM_KEYDOWN, VK_DOWN, 0);
    dlg.m_sliderMic.SendMessage(WM_KEYUP, VK_DOWN, 0);
    Drain();
    EXPECT_NE(static_cast<int>(MIC_VOLUME), dlg.m_sliderMic.GetPos()) << "the key moved the slider";
    EXPECT_TRUE(mixer.sets.empty());
}

TEST_F(DialogTest, InputLineRadiosSetTheLineToItsMaximum)
{
    Open();
    mixer.sets.clear();
    Click(IDC_LINEIN);
    EXPECT_EQ((std::vector<std::pair<DWORD, DWORD>>{{LineControl(), MAX_VOLUME}}), VolumeSets());
    EXPECT_EQ(1, SelectedLine());
    EXPECT_EQ(static_cast<int>(MAX_VOLUME), dlg.m_sliderLineIn.GetPos());
    EXPECT_EQ(static_cast<int>(MIC_VOLUME), dlg.m_sliderMic.GetPos());
}

} // namespace

namespace {

// Copies the default skin into the test's folder, where the dialog looks for it.
void CopyDefaultSkin(const CHostDir& dir)
{
    std::string source = ExeFolder() + "\\..\\dist\\skin\\orvane";
    CreateDirectoryA(dir.File("skin").c_str(), nullptr);
    CreateDirectoryA(dir.File("skin\\orvane").c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((source + "\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            CopyFileA((source + "\\" + found.cFileName).c_str(), dir.File(std::string("skin\\orvane\\") + found.cFileName).c_str(), FALSE);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// The ids of the dialog's controls that are driven by a skinned button object.
std::vector<int> SkinnedControls(HWND dialog)
{
    std::vector<int> ids;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        CWnd* attached = CWnd::FromHandlePermanent(child);
        if (attached && attached->IsKindOf(RUNTIME_CLASS(CSkinButton)))
            ids.push_back(GetDlgCtrlID(child));
    }
    return ids;
}

TEST_F(DialogTest, ExactlyTheFivePushButtonsAreSkinned)
{
    CopyDefaultSkin(dir);
    Open();
    EXPECT_EQ((std::vector<int>{IDC_RECORD, IDC_PLAY, IDC_STOP, IDC_CONTACT, IDOK}), SkinnedControls(dlg.m_hWnd));
    // Check boxes, radio buttons and group boxes keep their system drawing and their class.
    for (int id : {IDC_MONO, IDC_LEFT, IDC_WAVE, IDC_MICROPHONE})
        EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(::GetDlgItem(dlg.m_hWnd, id))) << "control " << id;
    Click(IDC_RECORD);
    EXPECT_EQ(STATUS_RECORDING, dlg.m_audio.GetStatus()) << "a skinned button still sends its click";
}

TEST_F(DialogTest, WithoutASkinTheButtonsAreStillAttachedAndWork)
{
    Open();
    EXPECT_EQ(5u, SkinnedControls(dlg.m_hWnd).size());
    Click(IDC_RECORD);
    EXPECT_EQ(STATUS_RECORDING, dlg.m_audio.GetStatus());
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
