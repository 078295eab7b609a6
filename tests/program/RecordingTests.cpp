// What a user does with the real program while a music player plays a known tone (440 Hz left,
// 660 Hz right) into the null sink korvalin_out, on a server with more inputs than outputs. Each
// case leaves its files in a folder of its own with the check_audio.py lines they must pass;
// recordings.sh runs them.
#include "ProgramDriver.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include <gtest/gtest.h>
#include <commctrl.h>
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <functional>

namespace {

std::string g_outputRoot, g_hostRoot;

// Wall-clock times around the clicks that start and end a recording.
struct Clicks { double record, recorded, stop, stopped; };

// What a killed program or server never got: the sound the server still held for the monitor,
// which it hands over in bursts of up to 2 s while a player with long buffers plays.
const double UNDELIVERED = 2.2;

// The length a recording must have: the time between the Record and the Stop click, within 0.1 s.
std::string Length(const Clicks& at)
{
    return " --seconds " + std::to_string(at.stop - at.recorded - 0.1) + " " +
           std::to_string(at.stopped - at.record + 0.1) +
           " --started " + std::to_string(at.record);
}

// The lines a WAV and the MP3 beside it must pass: tones in every window, sizes that match,
// the length between the clicks; the MP3 with exactly the WAV's samples.
std::string Outputs(const std::string& base, int channels, const std::string& tones, const Clicks& at,
                    bool wav = true, bool mp3 = true)
{
    const std::string common = " " + std::to_string(channels) + " " + tones;
    return (wav ? base + ".wav" + common + " --sizes" + Length(at) + "\n" : "") +
           (mp3 ? base + ".mp3" + common + (wav ? " --frames " + base + ".wav --started " + std::to_string(at.record)
                                                : Length(at)) + "\n" : "");
}

class Recording : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : OUTPUT_NAMES)
            DeleteFileA((InstallFolder() + "\\" + name).c_str());
    }

    // Records for about `ms` (the length of the recording, not a wait for an event), or longer
    // while `midway` waits for something on screen.
    Clicks Record(DWORD ms, const std::function<void()>& midway = nullptr, bool stop = true)
    {
        Clicks at{UnixSeconds(), 0, 0, 0};
        m_program.Click(IDC_RECORD);
        at.recorded = UnixSeconds();
        Sleep(ms / 2);
        if (midway)
            midway();
        for (DWORD elapsed; (elapsed = static_cast<DWORD>((UnixSeconds() - at.record) * 1000)) < ms;)
            Sleep(ms - elapsed);
        at.stop = UnixSeconds();
        if (stop) {
            m_program.Click(IDC_STOP);
            at.stopped = UnixSeconds();
            EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 3000)) << "the controls did not come back";
        }
        return at;
    }

    void CloseProgram()
    {
        m_program.Click(IDOK);
        EXPECT_TRUE(m_program.WaitForExit(10000));
    }

    static std::string CaseName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

    // Moves the outputs of `from` into this case's folder, with the lines its files must pass.
    void Expect(const std::string& lines, const std::string& from = InstallFolder(), const std::string& suffix = "")
    {
        std::string folder = g_outputRoot + "\\" + CaseName() + suffix;
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* file : OUTPUT_NAMES)
            MoveFileExA((from + "\\" + file).c_str(), (folder + "\\" + file).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        std::ofstream(folder + "\\expect.txt") << lines;
    }

    // Plays `file` of `folder` to its end while the sink's monitor is recorded into this case's
    // `heard`, then runs `then`: the line `heard` must pass, the played 1000 Hz heard for `seconds`
    // ("MIN [MAX]") beside the test's tone. A box fails the playback. Its short latency keeps
    // the heard file's clock exact, and the sink's buffers short while it records.
    std::string PlayHeard(const std::string& folder, const std::string& file, const std::string& heard,
                          const std::string& seconds, const std::function<void()>& then = nullptr)
    {
        const std::string dir = g_hostRoot + "/" + CaseName();
        EXPECT_EQ(0, RunHost(CHostDir(), "mkdir -p " + dir + " && (parec -d korvalin_out.monitor --latency-msec=10 "
                                         "--file-format=wav " + dir + "/" + heard + " & echo $! >" + dir +
                                         "/parec.pid)"));
        EXPECT_TRUE(m_program.Open(folder, file));
        EXPECT_EQ(std::vector<std::string>{}, m_program.DismissBoxes(1000)) << file;
        EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 8000)) << file << ": the playback did not end";
        if (then)
            then();
        // The last fragments reach parec a moment after the sink played them. Its end is the
        // heard file's clock: parec takes a while to start, but stops at once.
        std::string until;
        RunHost(CHostDir(), "sleep 0.5; p=$(cat " + dir + "/parec.pid); date +%s.%N; kill $p; "
                            "while kill -0 $p 2>/dev/null; do sleep 0.05; done", &until);
        return heard + " 2 1000+440,1000+660 --rate 44100 --heard " + seconds + " --ended " +
               until.substr(0, until.find('\n')) + "\n";
    }

    // Whether each band of the view shows its own channel: a trace centred on the band's middle,
    // as high as the channel's tone (`left`, `right`: its peak to peak share of the band, 0 for a
    // flat line, -1 for any, -2 for a band not judged). What it saw in *seen.
    bool WaitForBands(double left, double right, std::string* seen) const
    {
        return PumpUntil([&] {
            RECT rc;
            const std::vector<COLORREF> pixels = m_program.Pixels(IDC_WAVE_VIEW, &rc);
            const int width = rc.right - rc.left, height = rc.bottom - rc.top;
            bool bOk = true;
            *seen = "";
            for (int top : {0, (height + 2) / 2}) {
                const int bottom = top ? height : (height - 2) / 2, middle = (top + bottom) / 2;
                int first = -1, last = -1, green = 0;
                for (int y = top; y < bottom; ++y) {
                    const auto row = pixels.begin() + y * width;
                    const int n = static_cast<int>(std::count(row, row + width, RGB(0, 255, 0)));
                    green += n;
                    first = n && first < 0 ? y : first;
                    last = n ? y : last;
                }
                const double share = top ? right : left, want = share * (bottom - top), high = last - first;
                *seen += "rows " + std::to_string(first) + "-" + std::to_string(last) + " for a middle at " +
                         std::to_string(middle) + " and a height of " + std::to_string(want) + "; ";
                bOk = bOk && (share == -2 || (green > width / 2 && std::abs(first + last - 2 * middle) <= 4 &&
                                              (want < 0 || std::abs(high - want) <= 0.15 * want + 2)));
            }
            return bOk;
        }, 3000);
    }

    // The install folder copied to a scratch folder, whose `fs` subfolder is a small disk when
    // `diskKb` is given; empty when that needs root.
    std::string CopyInstall(const CHostDir& dir, const std::string& then, int diskKb = 0)
    {
        std::string install = InstallFolder().substr(2); // Z:\a\b as the host sees it: /a/b
        std::replace(install.begin(), install.end(), '\\', '/');
        const std::string mount = diskKb ? "[ $(id -u) = 0 ] || exit 77; mount -t tmpfs -o size=$(($(du -sk " +
                                               install + " | cut -f1) + " + std::to_string(diskKb) + "))k tmpfs fs && "
                                         : "";
        int made = RunHost(dir, "mkdir fs && " + mount + "cp -r " + install + "/. fs/ && " + then);
        EXPECT_TRUE(made == 0 || made == 77) << "the install folder was not copied";
        return made == 0 ? dir.File("fs") : "";
    }

    CProgramDriver m_program;
};

// Catches: a channel lost or swapped, a block lost anywhere in a file, a file a player cannot
// read, a recording cut short (also by the previous recording's fallback timer: each starts
// right after the one before stopped), a mode whose waveform is not drawn; files missing, extra
// or misnamed for a mode and its boxes, Left and Right not following the mode, a box where none
// belongs; a recording from another device than the one chosen (the silent one); a device that
// vanished failing Record without a word or leaving the controls locked.
TEST_F(Recording, ModesAndOutputsOneAfterAnotherKeepTheirChannelsToTheEndAndAVanishedDeviceSaysSo)
{
    ASSERT_TRUE(m_program.Start());
    const struct { int mode; bool left, right, wave, mp3; std::vector<std::string> bases; } rows[] = {
        {IDC_MONO, true, true, true, true, {"test"}}, {IDC_STEREO, false, false, false, true, {"test"}},
        {IDC_MONO, true, true, false, false, {}}, {IDC_ALONE, true, false, true, true, {"test_left"}},
        {IDC_ALONE, false, true, true, false, {"test_right"}},
        {IDC_ALONE, true, true, true, true, {"test_left", "test_right"}}, {IDC_ALONE, false, false, true, true, {}},
        {IDC_STEREO, true, true, true, true, {"test"}},
    };
    for (const auto& row : rows) {
        const std::string name = std::to_string(&row - rows);
        SCOPED_TRACE("row " + name);
        m_program.Click(row.mode);
        const std::pair<int, bool> ticks[] = {{IDC_LEFT, row.left}, {IDC_RIGHT, row.right}, {IDC_WAVE, row.wave},
                                               {IDC_MP3, row.mp3}};
        for (auto [id, on] : ticks)
            if ((SendMessageA(GetDlgItem(m_program.MainDialog(), id), BM_GETCHECK, 0, 0) == BST_CHECKED) != on)
                m_program.Click(id);
        std::string seen, lines, want, got;
        // In Alone mode only the bands of the sides recorded are drawn.
        const bool alone = row.mode == IDC_ALONE;
        Clicks at = Record(2000, [&] {
            EXPECT_TRUE(WaitForBands(!alone || row.left ? -1 : -2, !alone || row.right ? -1 : -2, &seen)) << seen;
            EXPECT_EQ(alone ? 2 : 0, m_program.IsEnabled(IDC_LEFT) + m_program.IsEnabled(IDC_RIGHT));
        });
        for (const std::string& base : row.bases) {
            const char* tones = row.mode == IDC_MONO ? "440+660" : row.mode == IDC_STEREO ? "440,660"
                                : base == "test_left" ? "440" : "660";
            lines += Outputs(base, row.mode == IDC_STEREO ? 2 : 1, tones, at, row.wave, row.mp3);
            want += (row.wave ? base + ".wav " : "") + (row.mp3 ? base + ".mp3 " : "");
        }
        for (const std::string file : OUTPUT_NAMES)
            got += GetFileAttributesA((InstallFolder() + "\\" + file).c_str()) != INVALID_FILE_ATTRIBUTES ? file + " " : "";
        EXPECT_EQ(want, got);
        Expect(lines, InstallFolder(), name);
    }
    EXPECT_EQ(std::vector<std::string>{}, m_program.DismissBoxes(500));
    ASSERT_TRUE(m_program.Choose(IDC_DEVICE, "KorvalinMute")) << "the silent input is not listed";
    Expect(Outputs("test", 2, "silence,silence", Record(1500)), InstallFolder(), "mute");
    ASSERT_EQ(0, RunHost(CHostDir(), "pactl unload-module $(cat " + g_hostRoot + "/mute.module)"));
    m_program.Click(IDC_RECORD);
    std::vector<std::string> boxes = m_program.DismissBoxes(3000);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("waveInOpen()")) << boxes[0];
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 3000)) << "not idle after the failed start";
    CloseProgram();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((InstallFolder() + "\\test.wav").c_str()));
}

// Catches: a box at start-up; playback on the output numbered as the chosen input (another
// sink, or none when inputs outnumber outputs); a WAV a streaming writer left (both sizes
// 0xFFFFFFFF) refused or cut; the last, partial block played whole (stale sound after the end);
// a playback's fallback timer cutting a recording started right after; a recording from another
// input than the chosen one; 8-bit samples drawn off-centre (without their offset of 128) or
// split into the wrong bands; Stop that does not end a playback; the file dialog moving the
// current folder (recordings written beside the played file).
TEST_F(Recording, PlaybackFromEveryInputIsHeardWholeAndDrawnPerChannel)
{
    CHostDir other;
    ASSERT_EQ(0, RunHost(other, "sox -n -r 44100 -c 2 -b 16 beep.wav synth 1 sine 1000 gain -9 && "
                                "sox -n -r 22050 -c 2 -b 16 stream.wav synth 2 sine 1000 gain -9 && "
                                "for at in 4 40; do printf '\\377\\377\\377\\377' | dd of=stream.wav bs=1 seek=$at "
                                "conv=notrunc 2>/dev/null; done && "
                                "sox -n -r 22050 -c 1 -b 16 tail.wav synth 1.2 sine 1000 gain -9 pad 0 0.4 && "
                                "sox -D -n -r 22050 -c 1 -b 8 mono8.wav synth 3 sine 500 vol 0.5 && "
                                "sox -D -n -r 22050 -c 2 -b 8 left8.wav synth 3 sine 500 sine 700 remix 1v0.6 0 && "
                                "sox -D -n -r 22050 -c 2 -b 8 both8.wav synth 3 sine 500 sine 700 remix 1v0.3 2v0.8"));
    ASSERT_TRUE(m_program.Start());
    EXPECT_EQ(std::vector<std::string>{}, m_program.DismissBoxes(500)) << "at start-up";
    HWND devices = GetDlgItem(m_program.MainDialog(), IDC_DEVICE);
    const int nInputs = static_cast<int>(SendMessageA(devices, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(5, nInputs) << "Wine's default, the two monitors, the swapped and the silent input";
    std::string lines;
    for (int i = nInputs - 1; i >= 0; --i) {
        // Read across processes, the list's text comes as Unicode.
        wchar_t wide[256] = L"";
        char name[256] = "";
        SendMessageW(devices, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, nullptr, nullptr);
        printf("input %d: %s\n", i, name);
        SCOPED_TRACE(name);
        ASSERT_TRUE(m_program.Choose(IDC_DEVICE, name));
        lines += PlayHeard(other.WindowsPath(), "beep.wav", "input" + std::to_string(i) + ".wav", "0.95");
    }
    const struct { const char* file; double left, right; } views[] = {
        {"mono8.wav", 0.5, 0.5}, {"left8.wav", 0.6, 0}, {"both8.wav", 0.3, 0.8}};
    for (const auto& view : views) {
        ASSERT_TRUE(m_program.Play(other.WindowsPath(), view.file));
        std::string seen;
        EXPECT_TRUE(WaitForBands(view.left, view.right, &seen)) << view.file << ": " << seen;
        m_program.Click(IDC_STOP);
        EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 1500)) << "Stop did not end the playback";
    }
    lines += PlayHeard(other.WindowsPath(), "stream.wav", "stream.wav", "1.95");
    Clicks at{};
    lines += PlayHeard(other.WindowsPath(), "tail.wav", "tail.wav", "1.15 1.3", [&] {
        // Within the second the ended playback's fallback timer would still run.
        EXPECT_TRUE(m_program.Choose(IDC_DEVICE, "KorvalinSwapped"));
        m_program.Click(IDC_STEREO);
        at = Record(2000);
    });
    CloseProgram();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(other.File("test.wav").c_str()));
    Expect(lines + Outputs("test", 2, "660,440", at));
}

// Catches: a path split inside a double-byte character (籠 is BB 5C: its second byte is a
// backslash), so a skin image is looked for under a wrong name and the skin falls back; file
// names Wine cannot map without the host's Chinese locale; paths past mmio's 128 bytes (Windows
// takes 259) refused or cut; a control missing or mislabelled, a radio group set at the wrong
// index; a volume written back as the slider's minimum; an about entry that opens nothing or
// takes the dialog with it; a contact command that blocks the dialog; a Close that does not end
// the program. It runs from Chinese folders over 200 bytes deep, its skin's images named in
// Chinese too, plays a WAV from there and records beside itself.
TEST_F(Recording, FromDeepChineseFoldersEveryControlShowsInTheSkinAndPlaybackAndRecordingAreWhole)
{
    CTreeDir scratch;
    std::string home = scratch.WindowsPath();
    while (home.size() < 200)
        ASSERT_TRUE(CreateDirectoryA((home += "\\籠罩录音机的文件夹").c_str(), nullptr)) << home;
    const std::string skin = home + "\\skin\\orvane\\", songs = home + "\\籠中歌曲", song = "籠罩提示音.wav";
    for (const std::string& folder : {home + "\\skin", skin, songs})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    for (const char* file : {"\\Korvalin.exe", "\\lame_enc.dll"})
        ASSERT_TRUE(CopyFileA((InstallFolder() + file).c_str(), (home + file).c_str(), FALSE));
    std::string theme = ReadFileBytes(InstallFolder() + "\\skin\\orvane\\theme.ini");
    for (const char* image : {"top.bmp", "left.bmp", "right.bmp", "bottom.bmp", "close.bmp", "button.bmp"}) {
        const std::string renamed = std::string("籠罩") + image;
        ASSERT_TRUE(CopyFileA((InstallFolder() + "\\skin\\orvane\\" + image).c_str(), (skin + renamed).c_str(), FALSE));
        // A folder written in the value is ignored: every image lies beside theme.ini.
        const std::string key = "=" + std::string(image);
        theme.replace(theme.find(key), key.size(), "=旧图籠\\" + renamed);
    }
    std::ofstream(skin + "theme.ini", std::ios::binary) << theme;
    ASSERT_EQ(0, RunHost(scratch, "sox -n -r 44100 -c 2 -b 16 beep.wav synth 3 sine 1000 gain -9"));
    ASSERT_TRUE(MoveFileA(scratch.File("beep.wav").c_str(), (songs + "\\" + song).c_str()));

    ASSERT_TRUE(m_program.Start(home));
    EXPECT_EQ("", SkinMissing(m_program));
    const struct { int id; const char* text; } controls[] = {
        {IDC_RECORD, "录音"}, {IDC_PLAY, "播放"}, {IDC_STOP, "停止"}, {IDC_CONTACT, "联系作者"},
        {IDOK, "关闭"}, {IDC_MONO, "Mono"}, {IDC_STEREO, "Stereo"}, {IDC_ALONE, "Alone"},
        {IDC_LEFT, "Left"}, {IDC_RIGHT, "Right"}, {IDC_WAVE, "Wave"}, {IDC_MP3, "Mp3"},
        {IDC_MICROPHONE, "Microphone"}, {IDC_LINEIN, "Line In"},
    };
    HWND dialog = m_program.MainDialog(), slider = GetDlgItem(dialog, IDC_SLIDER_MIC);
    for (const auto& control : controls) {
        char text[64] = "";
        GetWindowTextA(GetDlgItem(dialog, control.id), text, sizeof text);
        EXPECT_STREQ(control.text, text) << "control " << control.id;
    }
    // Data exchange sets each radio group from its index (0: Mono, Microphone).
    for (int id : {IDC_MONO, IDC_MICROPHONE})
        EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0)) << "radio " << id;
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_WAVE_VIEW))) << "the placeholder is never shown";
    // Wine's mixer reports no volume: the slider shows the maximum, not its minimum.
    ASSERT_NE(nullptr, slider);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), SendMessageA(slider, TBM_GETPOS, 0, 0));
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = m_program.WaitForOwnedWindow("关于");
    ASSERT_NE(nullptr, about) << "no about box";
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }));
    PostMessageA(GetDlgItem(dialog, IDC_CONTACT), BM_CLICK, 0, 0);
    EXPECT_TRUE(m_program.Responds());
    EXPECT_TRUE(IsWindowVisible(dialog));

    const std::string heard = PlayHeard(songs, song, "heard.wav", "2.95");
    m_program.Click(IDC_STEREO);
    Clicks at = Record(2000);
    m_program.Click(IDOK);
    DWORD exitCode = 1;
    EXPECT_TRUE(m_program.WaitForExit(10000, &exitCode)) << "Close did not end the program";
    EXPECT_EQ(0u, exitCode);
    Expect(heard + Outputs("test", 2, "440,660", at), home);
}

// Catches: the window closing mid-recording (by Esc, the close button, Alt+F4) with files
// unfinished or short of what was recorded up to the close; sizes written only at the end, so a
// killed program leaves a file that says empty, and an MP3 that a player cannot read up to the kill.
TEST_F(Recording, ClosedOrKilledMidRecordingKeepsEverythingUpToTheEnd)
{
    for (CloseBy how : {CloseBy::Escape, CloseBy::CloseButton, CloseBy::AltF4, CloseBy::Kill}) {
        const bool killed = how == CloseBy::Kill;
        ASSERT_TRUE(m_program.Start());
        m_program.Click(IDC_STEREO);
        Clicks at = Record(killed ? 3000 : 1500, nullptr, false);
        m_program.Close(how);
        EXPECT_TRUE(m_program.WaitForExit(10000)) << "closing by " << static_cast<int>(how) << " did not end it";
        // A close is handled some time after the input; a killed program loses what the server still
        // held, and the sizes are brought up to date four times a second.
        at.stopped = killed ? at.stop : UnixSeconds();
        at.stop -= killed ? 0.25 + UNDELIVERED : 0;
        Expect(killed ? "test.wav 2 440,660" + Length(at) + "\ntest.mp3 2 440,660 --partial" + Length(at) + "\n"
                      : Outputs("test", 2, "440,660", at), InstallFolder(), std::to_string(static_cast<int>(how)));
    }
}

// Catches: a recording lost or left half-open when the encoder library is missing: the user is
// told once, the WAV goes on whole, and no MP3 file is left behind.
TEST_F(Recording, WithoutTheEncoderLibraryTheWavStillRecordsWhole)
{
    CHostDir dir;
    const std::string folder = CopyInstall(dir, "rm fs/lame_enc.dll");
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(m_program.Start(folder));
    std::vector<std::string> boxes;
    Clicks at = Record(2500, [&] { boxes = m_program.DismissBoxes(1000); });
    EXPECT_EQ(std::vector<std::string>{"Error loading lame_enc.DLL"}, boxes);
    CloseProgram();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\test.mp3").c_str()));
    Expect("test.wav 1 440+660 --sizes" + Length(at) + "\n", folder);
}

// Catches: a crash or a box per block when the disk fills (boxes shown while device messages
// arrive under them), short writes not seen, sizes claiming bytes the disk never took.
TEST_F(Recording, FullDiskSaysSoOncePerFileAndLeavesValidFiles)
{
    CHostDir disk;
    const std::string folder = CopyInstall(disk, "dd if=/dev/zero of=fs/filler bs=1k count=$(($(df -k --output=avail fs | "
                                                 "tail -1) - 300)) 2>/dev/null", 1024);
    if (folder.empty())
        GTEST_SKIP() << "not root: no small filesystem can be mounted for the full disk";
    ASSERT_TRUE(m_program.Start(folder));
    m_program.Click(IDC_STEREO);
    const double started = UnixSeconds();
    m_program.Click(IDC_RECORD);
    std::vector<std::string> boxes = m_program.DismissBoxes(8000);
    std::sort(boxes.begin(), boxes.end());
    EXPECT_EQ((std::vector<std::string>{"Output file write error", "Write file failed"}), boxes);
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 3000)) << "the recording did not stop";
    EXPECT_TRUE(m_program.Responds());
    CloseProgram();
    const std::string args = " 2 440,660 --seconds 0.3 5 --started " + std::to_string(started) + "\n";
    Expect("test.wav --sizes" + args + "test.mp3 --partial" + args, folder);
    RunHost(disk, "umount fs && rmdir fs");
}

// Catches: a hang or crash when the sound server goes away, files left unfinished or short of
// what was recorded before; buffers or a device state left over from the killed server, so that
// the next recording on a server started again fails, stalls or comes out short. recordings.sh
// runs this case alone, on a server of its own.
TEST_F(Recording, AudioServerKilledStopStillEndsWithValidFilesAndTheNextRecordingIsWhole)
{
    ASSERT_TRUE(m_program.Start());
    m_program.Click(IDC_STEREO);
    Clicks at = Record(3000, nullptr, false); // longer than the monitor's bursts
    at.stop = UnixSeconds();
    ASSERT_EQ(0, RunHost(CHostDir(), "kill -9 $(cat " + g_hostRoot + "/pulse.pid)"));
    at.stopped = UnixSeconds(); // nothing is captured once the server is gone
    at.stop -= UNDELIVERED;
    Sleep(500);                 // the recording goes on without its server for a while
    m_program.Click(IDC_STOP);
    std::vector<std::string> boxes = m_program.DismissBoxes(3000);
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(std::string::npos, boxes[0].find("waveInReset() failed")) << boxes[0];
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 3000)) << "the recording did not end";
    Expect(Outputs("test", 2, "440,660", at), InstallFolder(), "1");

    std::string restart;
    ASSERT_EQ(0, RunHost(CHostDir(), "bash " + g_hostRoot + "/restart-audio.sh", &restart, 60000)) << restart;
    at = Record(2500);
    EXPECT_EQ(std::vector<std::string>{}, m_program.DismissBoxes(1000));
    CloseProgram();
    // Wine's capture from a server started again begins up to 1.7 s late: the second recording
    // must be valid and unbroken from its first sound, not yet as long as the clicks.
    at.recorded += 1.7;
    Expect(Outputs("test", 2, "440,660", at), InstallFolder(), "2");
}

// Catches: a playback that never gives the controls back after a file whose sizes lie or that
// the engine refuses, Record usable while a file plays, and a crash when the dialog closes under
// a playback. The sink's monitor is recorded meanwhile, as by the user who reported it.
TEST_F(Recording, OddFilesPlayedOneAfterAnotherEndIdle)
{
    CHostDir dir;
    ASSERT_EQ(0, RunHost(dir, "sox -n -r 22050 -c 2 -b 16 a.wav synth 1 sine 300 gain -6 && "
                              "sox -n -r 44100 -c 1 -b 16 b.wav synth 1 sine 500 gain -6 && "
                              "sox -n -r 22050 -c 1 -b 16 c.wav synth 0.15 sine 700 gain -6 && "
                              "head -c 3000 a.wav >cut.wav && sox -n -r 22050 -c 8 -b 16 eight.wav synth 0.5 sine 400 && "
                              "cp c.wav zero.wav && printf '\\0\\0\\0\\0' | dd of=zero.wav bs=1 seek=24 conv=notrunc 2>/dev/null && "
                              "(parec -d korvalin_out.monitor --latency-msec=10 >/dev/null & echo $! >parec.pid)"));
    ASSERT_TRUE(m_program.Start());
    for (const char* name : {"a.wav", "b.wav", "c.wav", "", "cut.wav", "eight.wav", "zero.wav"}) {
        SCOPED_TRACE(*name ? name : "file dialog cancelled");
        ASSERT_TRUE(m_program.Open(dir.WindowsPath(), name));
        // Answered at once: playing, a box, or nothing.
        ASSERT_TRUE(m_program.Responds(1000)) << "no answer within a second";
        if (!*name)
            continue;
        // While a file plays, Record stays off with the other five; seen twice in a row, so that
        // the moment the six come back one after another does not count.
        int nRecordAlone = 0;
        PumpUntil([&] {
            nRecordAlone = m_program.IsEnabled(IDC_RECORD) && !m_program.IsEnabled(IDC_PLAY) ? nRecordAlone + 1 : 0;
            Sleep(50);
            return nRecordAlone >= 2;
        }, 1000);
        EXPECT_LT(nRecordAlone, 2) << "Record enabled while the file plays";
        m_program.DismissBoxes(800);
        EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 10000)) << "the dialog did not come back";
    }
    RunHost(dir, "kill $(cat parec.pid)");
    // Closed under a playback: the program ends and the file it read is left as it was.
    const std::string before = ReadFileBytes(dir.File("a.wav"));
    ASSERT_TRUE(m_program.Play(dir.WindowsPath(), "a.wav"));
    m_program.Close(CloseBy::AltF4);
    EXPECT_TRUE(m_program.WaitForExit(10000)) << "the dialog did not close under a playback";
    EXPECT_EQ(before, ReadFileBytes(dir.File("a.wav")));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3)
        return 2; // recording_tests OUTPUT_FOLDER UNIX_OUTPUT_FOLDER, as recordings.sh runs it
    g_outputRoot = argv[1];
    g_hostRoot = argv[2];
    // Wine stamps its trace with this tick count: recordings.sh maps it to Unix time.
    printf("wine clock %lu %.3f\n", GetTickCount(), UnixSeconds());
    return RUN_ALL_TESTS();
}
