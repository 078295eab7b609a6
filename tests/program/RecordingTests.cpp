// What a user does with the real program while a known tone (440 Hz left, 660 Hz right) plays
// into the null sink korvalin_out and 1000 Hz into korvalin_other. Each case leaves its files in
// a folder of its own with the check_audio.py lines they must pass; recordings.sh runs them.
#include "ProgramDriver.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>

namespace {

std::string g_outputRoot, g_hostRoot;

// Wall-clock times around the clicks that start and end a recording.
struct Clicks { double record, recorded, stop, stopped; };

// The length a recording may have: what the device captured from the Record click to the Stop
// click, never more but for 20 ms of the clock's steps. Wine's capture here delivers 0.07 to
// 0.25 s less than that, and up to 0.5 s less on a program's first recording (its stream starts
// late and drops what its server still holds at the reset); 0.6 s still fails a recording cut
// by a stale fallback timer (1.2 s short) or ended by a lost buffer queue.
std::string Length(const Clicks& at)
{
    return " --seconds " + std::to_string(at.stop - at.recorded - 0.6) + " " + std::to_string(at.stopped - at.record + 0.02) +
           " --started " + std::to_string(at.record);
}

// The lines a WAV and the MP3 beside it must pass: tones in every window, sizes that match,
// the length between the clicks; the MP3 with exactly the WAV's samples.
std::string Outputs(const std::string& base, int channels, const std::string& tones, const Clicks& at)
{
    const std::string wav = base + ".wav", common = " " + std::to_string(channels) + " " + tones;
    return wav + common + " --sizes" + Length(at) + "\n" + base + ".mp3" + common + " --frames " + wav +
           " --started " + std::to_string(at.record) + "\n";
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

    // Moves the outputs of `from` into this case's folder, with the lines its files must pass.
    void Expect(const std::string& lines, const std::string& from = InstallFolder(), const std::string& suffix = "")
    {
        std::string folder =
            g_outputRoot + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* file : OUTPUT_NAMES)
            MoveFileExA((from + "\\" + file).c_str(), (folder + "\\" + file).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        std::ofstream(folder + "\\expect.txt") << lines;
    }

    // Whether the view shows the green trace in its Left and its Right half (the same block in
    // both for a mono signal).
    bool WaitForWave() const
    {
        return PumpUntil([&] {
            RECT rc;
            std::vector<COLORREF> pixels = m_program.Pixels(IDC_WAVE_VIEW, &rc);
            auto half = pixels.begin() + pixels.size() / 2;
            return std::count(pixels.begin(), half, RGB(0, 255, 0)) > rc.right - rc.left &&
                   std::count(half, pixels.end(), RGB(0, 255, 0)) > rc.right - rc.left;
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
// right after the one before stopped), and a mode whose waveform is not drawn.
TEST_F(Recording, ModesOneAfterAnotherKeepTheirChannelsToTheEnd)
{
    ASSERT_TRUE(m_program.Start());
    const struct { int mode; const char* base; int channels; const char* tones; } outputs[] = {
        {IDC_MONO, "test", 1, "440+660"}, {IDC_STEREO, "test", 2, "440,660"},
        {IDC_ALONE, "test_left", 1, "440"}, {IDC_ALONE, "test_right", 1, "660"},
    };
    for (int mode : {IDC_MONO, IDC_STEREO, IDC_ALONE}) {
        m_program.Click(mode);
        Clicks at = Record(2000, [&] { EXPECT_TRUE(WaitForWave()) << "no waveform drawn in mode " << mode; });
        std::string lines;
        for (const auto& output : outputs)
            lines += output.mode == mode ? Outputs(output.base, output.channels, output.tones, at) : "";
        Expect(lines, InstallFolder(), std::to_string(mode));
    }
    CloseProgram();
}

// Catches: the file dialog moving the current folder (recordings written beside the played
// file); playback that stops short, leaves a hole or plays another program's stereo 44.1 kHz
// file at the wrong rate; Stop that does not end a playback; a mono waveform not drawn in play.
TEST_F(Recording, PlaybackIsHeardWholeStopEndsItAndRecordingsStayHome)
{
    CHostDir other;
    ASSERT_EQ(0, RunHost(other, "sox -n -r 44100 -c 2 -b 16 beep.wav synth 1.5 sine 1000 gain -9 && "
                                "(parec -d korvalin_out.monitor --latency-msec=10 --file-format=wav heard.wav & "
                                "echo $! >parec.pid)"));
    ASSERT_TRUE(m_program.Start());
    ASSERT_TRUE(m_program.Play(other.WindowsPath(), "beep.wav"));
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 8000)) << "playback did not end";
    // The last fragments reach parec a moment after the sink played them. Its end is the heard
    // file's clock: parec takes a while to start, but stops at once.
    std::string heardUntil;
    RunHost(other, "sleep 0.5; p=$(cat parec.pid); date +%s.%N; kill $p; while kill -0 $p 2>/dev/null; do sleep 0.05; done",
            &heardUntil);
    MoveFileExA(other.File("heard.wav").c_str(), (InstallFolder() + "\\test_right.wav").c_str(),
                MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);

    m_program.Click(IDC_MP3); // WAV only
    Clicks at = Record(3000);
    ASSERT_TRUE(m_program.Play(InstallFolder(), "test.wav"));
    EXPECT_TRUE(WaitForWave()) << "no mono waveform drawn during playback";
    m_program.Click(IDC_STOP);
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 1500)) << "Stop did not end the playback";
    CloseProgram();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(other.File("test.wav").c_str()));
    Expect("test.wav 1 440+660 --sizes" + Length(at) + "\ntest_right.wav 2 1000+440,1000+660 --rate 44100 --heard 1.45 --ended " + heardUntil);
}

// Catches: sizes written only at the end, so a killed program leaves a file that says empty,
// and an MP3 that a player cannot read up to the kill.
TEST_F(Recording, KilledWhileRecordingKeepsAllButTheLastSecond)
{
    ASSERT_TRUE(m_program.Start());
    Clicks at = Record(3000, nullptr, false);
    m_program.Kill();
    ASSERT_TRUE(m_program.WaitForExit(5000));
    at.stopped = at.stop;
    at.stop -= 1; // the sizes are brought up to date once a second
    Expect("test.wav 1 440+660" + Length(at) + "\ntest.mp3 1 440+660 --partial" + Length(at) + "\n");
}

// Catches: the window closing mid-recording (by Esc, the close button, Alt+F4) with files
// unfinished or short of what was recorded up to the close.
TEST_F(Recording, ClosingMidRecordingKeepsEverythingUpToTheClose)
{
    for (CloseBy how : {CloseBy::Escape, CloseBy::CloseButton, CloseBy::AltF4}) {
        ASSERT_TRUE(m_program.Start());
        m_program.Click(IDC_STEREO);
        Clicks at = Record(1500, nullptr, false);
        m_program.Close(how);
        EXPECT_TRUE(m_program.WaitForExit(10000)) << "closing by " << static_cast<int>(how) << " did not end it";
        at.stopped = UnixSeconds(); // the close is handled some time after the input
        Expect(Outputs("test", 2, "440,660", at), InstallFolder(), std::to_string(static_cast<int>(how)));
    }
}

// Catches: a recording from another device than the one chosen in the list, and a device that
// vanished failing Record without a word or leaving the controls locked.
TEST_F(Recording, TheChosenDeviceIsRecordedAndAVanishedOneSaysSo)
{
    ASSERT_TRUE(m_program.Start());
    ASSERT_TRUE(m_program.Choose(IDC_DEVICE, "Monitor of KorvalinOther")) << "the second sink is not listed";
    m_program.Click(IDC_STEREO);
    Expect(Outputs("test", 2, "1000,1000", Record(1500)));
    // Its player goes first: the server would move it onto the other sink.
    ASSERT_EQ(0, RunHost(CHostDir(), "kill $(cat " + g_hostRoot + "/korvalin_other.pid) && pactl unload-module $(cat " +
                                   g_hostRoot + "/other.module)"));
    m_program.Click(IDC_RECORD);
    std::vector<std::string> boxes = m_program.DismissBoxes(3000);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("waveInOpen()")) << boxes[0];
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 3000)) << "not idle after the failed start";
    CloseProgram();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((InstallFolder() + "\\test.wav").c_str()));
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
    Clicks at = Record(1500, nullptr, false);
    at.stop = UnixSeconds();
    ASSERT_EQ(0, RunHost(CHostDir(), "kill -9 $(cat " + g_hostRoot + "/pulse.pid)"));
    at.stopped = UnixSeconds(); // nothing is captured once the server is gone
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
// the engine refuses, Record usable while a file plays, and a crash when the dialog closes
// under a playback. The sink's monitor is recorded meanwhile, as by the user who reported it.
TEST_F(Recording, OddFilesPlayedOneAfterAnotherEndIdle)
{
    CHostDir dir;
    ASSERT_EQ(0, RunHost(dir, "sox -n -r 22050 -c 2 -b 16 a.wav synth 1 sine 300 gain -6 && "
                              "sox -n -r 44100 -c 1 -b 16 b.wav synth 1 sine 500 gain -6 && "
                              "sox -n -r 22050 -c 1 -b 16 c.wav synth 0.15 sine 700 gain -6 && "
                              "head -c 3000 a.wav >cut.wav && sox -n -r 22050 -c 8 -b 16 eight.wav synth 0.5 sine 400 && "
                              "cp c.wav zero.wav && printf '\\0\\0\\0\\0' | dd of=zero.wav bs=1 seek=24 conv=notrunc 2>/dev/null && "
                              "sox -n -r 22050 -c 2 -b 16 big.wav synth 3 sine 600 gain -6 && "
                              "printf '\\377\\377\\377\\377' | dd of=big.wav bs=1 seek=40 conv=notrunc 2>/dev/null && "
                              "(parec -d korvalin_out.monitor --latency-msec=10 >/dev/null & echo $! >parec.pid)"));
    ASSERT_TRUE(m_program.Start());
    for (const char* name : {"a.wav", "b.wav", "c.wav", "", "cut.wav", "eight.wav", "zero.wav", "big.wav"}) {
        SCOPED_TRACE(*name ? name : "file dialog cancelled");
        ASSERT_TRUE(m_program.Open(dir.WindowsPath(), name));
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
