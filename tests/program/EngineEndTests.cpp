// How a recording or a playback of the real program ends when the user or the system ends it
// early: the sound server killed and started again, the dialog closed under a recording or a
// playback, and a run of odd files played one after another. Files are checked by
// recordings.sh like the other cases' (argv[1] and argv[2] are its output folder).
#include "ProgramDriver.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include <gtest/gtest.h>
#include <fstream>

namespace {

const char* const OUTPUTS[] = {"test.wav", "test.mp3", "test_left.wav", "test_left.mp3", "test_right.wav",
                               "test_right.mp3"};

class EngineEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_windowsRoot = __argv[1];
        m_hostRoot = __argv[2];
        for (const char* name : OUTPUTS)
            DeleteFileA((InstallFolder() + "\\" + name).c_str());
        // An earlier case may have killed the server: each case starts on a live one.
        ASSERT_EQ(0, Host("pactl info >/dev/null 2>&1 || " + StartServer()));
    }
    int Host(const std::string& command) { return RunHost(m_scratch, command); }
    // The server and its tone, as recordings.sh starts them, under the same pid file.
    std::string StartServer() const
    {
        const std::string& out = m_hostRoot;
        return "(HOME=" + out + " setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=true "
               "-L 'module-native-protocol-unix socket=" + out + "/pulse/native' "
               "-L 'module-null-sink sink_name=korvalin_out' -L module-always-sink >>" + out + "/pulse.log 2>&1 & "
               "echo $! >" + out + "/pulse.pid) && for i in $(seq 100); do pactl info >/dev/null 2>&1 && break; "
               "sleep 0.1; done && pactl set-default-source korvalin_out.monitor && "
               "(setsid paplay --latency-msec=20 -d korvalin_out " + out + "/tone.wav >/dev/null 2>&1 &)";
    }
    void Expect(const std::string& lines)
    {
        const std::string folder =
            m_windowsRoot + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* name : OUTPUTS)
            MoveFileExA((InstallFolder() + "\\" + name).c_str(), (folder + "\\" + name).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        std::ofstream(folder + "\\expect.txt") << lines;
    }
    // Waits for `ms` of recording or playing: the length of the sound, not a wait for an event.
    static void Hold(DWORD ms) { Sleep(ms); }
    void Close()
    {
        PostMessageA(m_program.MainDialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(m_program.WaitForExit(10000)) << "the dialog did not close";
    }

    CProgramDriver m_program;
    CHostDir m_scratch;
    std::string m_windowsRoot, m_hostRoot;
};

// Catches: buffers or a device state left over from the killed server, so that the next
// recording fails, stalls or comes out short; a stop that hangs without a server.
TEST_F(EngineEnd, ServerKilledThenStartedAgainTheNextRecordingIsWhole)
{
    ASSERT_TRUE(m_program.Start());
    m_program.Click(IDC_STEREO);
    m_program.Click(IDC_RECORD);
    Hold(1500);
    ASSERT_EQ(0, Host("kill -9 $(cat " + m_hostRoot + "/pulse.pid)"));
    Hold(500);
    m_program.Click(IDC_STOP);
    m_program.DismissBoxes(3000);
    ASSERT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 5000)) << "the recording did not end";
    ASSERT_EQ(0, Host(StartServer()));
    m_program.Click(IDC_RECORD);
    Hold(2500);
    m_program.Click(IDC_STOP);
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 5000)) << "the second recording did not end";
    EXPECT_EQ(std::vector<std::string>{}, m_program.DismissBoxes(1000));
    Close();
    // Wine takes its time to capture from a server started again: the second recording is
    // checked for valid files with the tone, not for its length.
    Expect("test.wav 2 0.3 4 440 660\nsizes test.wav\nmp3 test.mp3 2 test.wav 440,660\n");
}

// Catches: files left unfinished (sizes that lie, an MP3 without its end) when the dialog
// closes while the device runs, and a crash on the device's late messages.
TEST_F(EngineEnd, DialogClosedWhileRecordingLeavesValidFiles)
{
    ASSERT_TRUE(m_program.Start());
    m_program.Click(IDC_RECORD);
    Hold(1500);
    Close();
    Expect("test.wav 1 1 3 0 0\nsizes test.wav\nmp3 test.mp3 1 test.wav 440+660\n");
}

// Catches: a playback that never gives the controls back after a file whose sizes lie or that
// the engine refuses, Record usable while a file plays, and a crash when the dialog closes
// under a playback. Each file is played as a user
// picks it; the sink's monitor is recorded meanwhile, as the user who reported it did.
TEST_F(EngineEnd, OddFilesPlayedOneAfterAnotherEndIdle)
{
    ASSERT_EQ(0, Host("sox -n -r 22050 -c 2 -b 16 a.wav synth 1 sine 300 gain -6 && "
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
        m_program.Click(IDC_PLAY);
        HWND chooser = m_program.WaitForOwnedWindow("打开文件来播放");
        ASSERT_NE(nullptr, chooser);
        if (!*name) {
            PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
            continue;
        }
        HWND nameBox = GetDlgItem(chooser, 0x47C) ? GetDlgItem(chooser, 0x47C) : GetDlgItem(chooser, 0x480);
        SendMessageA(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_scratch.File(name).c_str()));
        PostMessageA(chooser, WM_COMMAND, IDOK, 0);
        for (DWORD start = GetTickCount(); GetTickCount() - start < 1500 && IsWindow(chooser); Sleep(20)) {
        }
        // While a file plays, Record stays off with the other five; seen twice in a row, so that
        // the moment the six come back one after another does not count.
        int nRecordAlone = 0;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 1000 && nRecordAlone < 2; Sleep(50)) {
            const bool bRecordAlone = m_program.IsEnabled(IDC_RECORD) && !m_program.IsEnabled(IDC_PLAY);
            nRecordAlone = bRecordAlone ? nRecordAlone + 1 : 0;
        }
        EXPECT_LT(nRecordAlone, 2) << "Record enabled while the file plays";
        m_program.DismissBoxes(800);
        EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 10000)) << "the dialog did not come back";
    }
    Host("kill $(cat parec.pid)");
    // Closed under a playback: the program ends and the file it read is left as it was.
    const std::string before = ReadFileBytes(m_scratch.File("a.wav"));
    m_program.Click(IDC_PLAY);
    HWND chooser = m_program.WaitForOwnedWindow("打开文件来播放");
    ASSERT_NE(nullptr, chooser);
    SendMessageA(GetDlgItem(chooser, 0x47C) ? GetDlgItem(chooser, 0x47C) : GetDlgItem(chooser, 0x480), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(m_scratch.File("a.wav").c_str()));
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, false, 3000)) << "the last playback did not start";
    Close();
    EXPECT_EQ(before, ReadFileBytes(m_scratch.File("a.wav")));
}

} // namespace
