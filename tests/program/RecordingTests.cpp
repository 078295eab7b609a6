// What a user does with the real program while a known tone (440 Hz left, 660 Hz right) plays
// into the null sink. Each case leaves its files in a folder of its own with a list of what a
// real reader must find in them; recordings.sh checks them with sox and mpg123.
#include "ProgramDriver.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <functional>

namespace {

std::string g_outputRoot, g_hostRoot;

const char* const OUTPUT_NAMES[] = {"test.wav", "test.mp3", "test_left.wav", "test_left.mp3",
                                    "test_right.wav", "test_right.mp3"};

class Recording : public ::testing::Test {
protected:
    void SetUp() override { ClearOutputs(); }
    static void ClearOutputs()
    {
        for (const char* name : OUTPUT_NAMES)
            DeleteFileA((InstallFolder() + "\\" + name).c_str());
    }

    // Records for about `ms`, or longer while `midway` waits for something on screen; the
    // seconds between the clicks on Record and on Stop.
    double Record(DWORD ms, bool stop = true, const std::function<void()>& midway = nullptr)
    {
        m_program.Click(IDC_RECORD);
        DWORD start = GetTickCount();
        Sleep(ms / 2); // the length of the recording, not a wait for an event
        if (midway)
            midway();
        for (DWORD elapsed; (elapsed = GetTickCount() - start) < ms;)
            Sleep(ms - elapsed);
        double seconds = (GetTickCount() - start) / 1000.0;
        if (stop) {
            m_program.Click(IDC_STOP);
            EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 3000)) << "the controls did not come back";
        }
        return seconds;
    }

    void CloseProgram()
    {
        m_program.Click(IDOK);
        EXPECT_TRUE(m_program.WaitForExit(10000));
    }

    // Moves the outputs of `from` into this case's folder and states what each must hold:
    // "<file> <channels> <min seconds> <max seconds> <left Hz> <right Hz>" (0 Hz: not checked),
    // "sizes <file>" (the WAV's sizes match its bytes), "heard <file> <Hz> <min seconds>" or
    // "mp3 <file> <channels> <wav> <tones>" (CBR 128 with its tag, exactly the WAV's samples).
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

    // Whether the view shows the green trace in its Left and its Right half.
    bool WaitForWaveInBothBands() const
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; Sleep(100)) {
            RECT rc;
            std::vector<COLORREF> pixels = m_program.Pixels(IDC_WAVE_VIEW, &rc);
            auto half = pixels.begin() + pixels.size() / 2;
            if (std::count(pixels.begin(), half, RGB(0, 255, 0)) > rc.right - rc.left &&
                std::count(half, pixels.end(), RGB(0, 255, 0)) > rc.right - rc.left)
                return true;
        }
        return false;
    }

    CProgramDriver m_program;
};

// Catches: a channel lost or swapped, a file a player cannot read, a recording cut short.
TEST_F(Recording, EachModeKeepsItsChannelsToTheEnd)
{
    const struct { int mode; const char* lines; } modes[] = {
        {IDC_MONO, "test.wav 1 %.2f %.2f 0 0\nmp3 test.mp3 1 test.wav 440+660\n"},
        {IDC_STEREO, "test.wav 2 %.2f %.2f 440 660\nmp3 test.mp3 2 test.wav 440,660\n"},
        {IDC_ALONE, "test_left.wav 1 %.2f %.2f 440 0\ntest_right.wav 1 %.2f %.2f 660 0\n"
                    "mp3 test_left.mp3 1 test_left.wav 440\nmp3 test_right.mp3 1 test_right.wav 660\n"},
    };
    for (const auto& mode : modes) {
        ClearOutputs();
        ASSERT_TRUE(m_program.Start());
        m_program.Click(mode.mode);
        double seconds = Record(2000, true, [&] {
            EXPECT_TRUE(mode.mode != IDC_STEREO || WaitForWaveInBothBands()) << "no waveform drawn in the view";
        });
        CloseProgram();
        // The sound server may start delivering late on a first recording.
        std::string lines = mode.lines;
        for (size_t at; (at = lines.find("%.2f %.2f")) != std::string::npos;)
            lines.replace(at, 9, std::to_string(seconds - 0.5) + " " + std::to_string(seconds + 1));
        Expect(lines, InstallFolder(), std::to_string(mode.mode));
    }
}

// Catches: the file dialog moving the current folder (recordings written beside the played
// file), and playback that stops short or plays another program's stereo 44.1 kHz file at the
// wrong rate (the tone would leave its band).
TEST_F(Recording, PlayFromAnotherFolderIsHeardWholeAndTheNextRecordingStaysHome)
{
    CHostDir other;
    ASSERT_EQ(0, RunHost(other, "sox -n -r 44100 -c 2 -b 16 beep.wav synth 1.5 sine 1000 gain -3 && "
                                "(parec -d korvalin_out.monitor --latency-msec=10 --file-format=wav heard.wav & "
                                "echo $! >parec.pid)"));
    ASSERT_TRUE(m_program.Start());
    m_program.Click(IDC_PLAY); // returns once the file dialog runs its own loop
    HWND chooser = m_program.WaitForOwnedWindow("打开文件来播放");
    ASSERT_NE(nullptr, chooser) << "no file dialog with the expected title";
    HWND nameBox = GetDlgItem(chooser, 0x47C) ? GetDlgItem(chooser, 0x47C) : GetDlgItem(chooser, 0x480);
    // Into the folder first, then the file, as a user goes.
    for (const std::string& name : {other.WindowsPath(), std::string("beep.wav")}) {
        SendMessageA(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendMessageA(chooser, WM_COMMAND, IDOK, 0);
    }
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, false, 5000)) << "playback did not start";
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 8000)) << "playback did not end";
    RunHost(other, "sleep 0.3; p=$(cat parec.pid); kill $p; while kill -0 $p 2>/dev/null; do sleep 0.05; done");
    MoveFileExA(other.File("heard.wav").c_str(), (InstallFolder() + "\\test_right.wav").c_str(),
                MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);

    m_program.Click(IDC_MP3); // WAV only
    Record(1000);
    CloseProgram();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(other.File("test.wav").c_str()));
    Expect("test.wav 1 0.5 2 0 0\nheard test_right.wav 1000 1.4\n");
}

// Catches: sizes written only at the end, so a killed program leaves a file that says empty.
TEST_F(Recording, KilledWhileRecordingKeepsAllButTheLastSecond)
{
    ASSERT_TRUE(m_program.Start());
    double seconds = Record(3000, false);
    m_program.Kill();
    ASSERT_TRUE(m_program.WaitForExit(5000));
    Expect("test.wav 1 " + std::to_string(seconds - 1.2) + " " + std::to_string(seconds + 1) + " 0 0\n");
}

// Catches: a crash or a box per block when the disk fills (boxes shown while device messages
// arrive under them), short writes not seen, sizes claiming bytes the disk never took.
TEST_F(Recording, FullDiskSaysSoOncePerFileAndLeavesValidFiles)
{
    CHostDir disk;
    std::string install = InstallFolder().substr(2); // Z:\a\b as the host sees it: /a/b
    std::replace(install.begin(), install.end(), '\\', '/');
    int mounted = RunHost(disk, "[ $(id -u) = 0 ] || exit 77; mkdir fs && mount -t tmpfs -o size=$(($(du -sk " +
                                    install + " | cut -f1) + 1024))k tmpfs fs && cp -r " + install + "/. fs/ && "
                                    "dd if=/dev/zero of=fs/filler bs=1k count=$(($(df -k --output=avail fs | "
                                    "tail -1) - 300)) 2>/dev/null");
    if (mounted == 77)
        GTEST_SKIP() << "not root: no small filesystem can be mounted for the full disk";
    ASSERT_EQ(0, mounted) << "no small filesystem mounted";
    ASSERT_TRUE(m_program.Start(disk.File("fs")));
    m_program.Click(IDC_STEREO);
    m_program.Click(IDC_RECORD);
    std::vector<std::string> boxes = m_program.DismissBoxes(8000);
    std::sort(boxes.begin(), boxes.end());
    EXPECT_EQ((std::vector<std::string>{"Output file write error", "Write file failed"}), boxes);
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 3000)) << "the recording did not stop";
    EXPECT_TRUE(m_program.Responds());
    CloseProgram();
    Expect("test.wav 2 0.3 5 440 660\nsizes test.wav\ntest.mp3 2 0.3 5 0 0\n", disk.File("fs"));
    RunHost(disk, "umount fs && rmdir fs");
}

// Catches: a hang or crash when the sound server goes away, or files left unfinished.
// recordings.sh runs the program on a server of its own for this case.
TEST_F(Recording, AudioServerKilledStopStillEndsWithValidFiles)
{
    ASSERT_TRUE(m_program.Start());
    m_program.Click(IDC_STEREO);
    Record(1500, false);
    CHostDir here;
    ASSERT_EQ(0, RunHost(here, "kill -9 $(cat " + g_hostRoot + "/pulse.pid)"));
    Sleep(500); // the recording goes on without its server for a while
    m_program.Click(IDC_STOP);
    std::vector<std::string> boxes = m_program.DismissBoxes(3000);
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(std::string::npos, boxes[0].find("waveInReset() failed")) << boxes[0];
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 3000)) << "the recording did not end";
    CloseProgram();
    Expect("test.wav 2 0.5 5 0 0\nsizes test.wav\ntest.mp3 2 0.3 5 0 0\n");
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3)
        return 2; // recording_tests OUTPUT_FOLDER UNIX_OUTPUT_FOLDER, as recordings.sh runs it
    g_outputRoot = argv[1];
    g_hostRoot = argv[2];
    return RUN_ALL_TESTS();
}
