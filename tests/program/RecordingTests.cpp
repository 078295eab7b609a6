// Recordings made by clicking through the real program while a known tone (440 Hz left,
// 660 Hz right) plays into the null sink. Each case leaves its files in a folder of its own
// with a list of what a real reader must find in them; recordings.sh checks them with sox
// and mpg123. Lengths are bounded loosely: the sound server takes up to a second or so to
// deliver the first block, and the blocks still queued at Stop are not written.
#include "ProgramDriver.h"
#include "res/resource.h"
#include <gtest/gtest.h>
#include <fstream>
#include <string>

namespace {

std::string g_outputRoot;

const char* const OUTPUT_NAMES[] = {"test.wav", "test.mp3", "test_left.wav", "test_left.mp3",
                                    "test_right.wav", "test_right.mp3"};

class Recording : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : OUTPUT_NAMES)
            DeleteFileA((InstallFolder() + "\\" + name).c_str());
        ASSERT_TRUE(m_program.Start());
    }

    void Record(DWORD milliseconds)
    {
        m_program.Click(IDC_RECORD);
        ASSERT_FALSE(m_program.IsEnabled(IDC_RECORD)) << "Record stays enabled: no recording started";
        Sleep(milliseconds); // the length of the recording, not a wait for an event
    }

    void StopAndWaitForIdle()
    {
        m_program.Click(IDC_STOP);
        EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 5000)) << "the controls did not come back";
    }

    void CloseProgram()
    {
        m_program.Click(IDOK);
        EXPECT_TRUE(m_program.WaitForExit(10000));
    }

    // Moves the outputs into this case's folder and states what each must hold:
    // "<file> <channels> <min seconds> <max seconds> <left Hz> <right Hz>" (0 Hz: not checked),
    // "absent <file>", or "same-length <file> <file>" (within one MP3 frame and the encoder's delay).
    void Expect(const std::string& lines)
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string folder = g_outputRoot + "\\" + name;
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* file : OUTPUT_NAMES)
            MoveFileExA((InstallFolder() + "\\" + file).c_str(), (folder + "\\" + file).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        std::ofstream(folder + "\\expect.txt") << lines;
    }

    CProgramDriver m_program;
};

TEST_F(Recording, MonoWithWaveAndMp3)
{
    Record(3000);
    StopAndWaitForIdle();
    CloseProgram();
    Expect("test.wav 1 1.0 3.0 0 0\n"
           "test.mp3 1 1.0 3.0 0 0\n"
           "same-length test.wav test.mp3\n");
}

TEST_F(Recording, StereoKeepsBothChannels)
{
    m_program.Click(IDC_STEREO);
    Record(2500);
    StopAndWaitForIdle();
    CloseProgram();
    Expect("test.wav 2 0.5 2.5 440 660\n"
           "test.mp3 2 0.5 2.5 440 660\n"
           "same-length test.wav test.mp3\n");
}

TEST_F(Recording, AloneWithOnlyLeftWritesOnlyTheLeftFiles)
{
    m_program.Click(IDC_ALONE);
    ASSERT_TRUE(m_program.IsEnabled(IDC_LEFT));
    m_program.SetCheck(IDC_RIGHT, false);
    Record(2500);
    StopAndWaitForIdle();
    CloseProgram();
    Expect("test_left.wav 1 0.5 2.5 440 0\n"
           "test_left.mp3 1 0.5 2.5 440 0\n"
           "absent test_right.wav\nabsent test_right.mp3\nabsent test.wav\n");
}

TEST_F(Recording, AloneWithBothSplitsTheChannels)
{
    m_program.Click(IDC_ALONE);
    Record(2500);
    StopAndWaitForIdle();
    CloseProgram();
    Expect("test_left.wav 1 0.5 2.5 440 0\n"
           "test_left.mp3 1 0.5 2.5 440 0\n"
           "test_right.wav 1 0.5 2.5 660 0\n"
           "test_right.mp3 1 0.5 2.5 660 0\n"
           "same-length test_left.wav test_right.wav\n"
           "same-length test_left.wav test_right.mp3\n");
}

TEST_F(Recording, OutputsTickedAndClearedWhileRecording)
{
    m_program.SetCheck(IDC_MP3, false);
    Record(2000);
    m_program.SetCheck(IDC_MP3, true); // test.mp3 starts, test.wav goes on
    Sleep(1500);
    m_program.SetCheck(IDC_WAVE, false); // test.wav is finished now
    Sleep(1000);
    StopAndWaitForIdle();
    CloseProgram();
    // test.wav runs from the start to the untick, test.mp3 from the tick to the stop.
    Expect("test.wav 1 0.8 3.5 0 0\n"
           "test.mp3 1 1.0 3.0 0 0\n");
}

TEST_F(Recording, CloseWhileRecordingSaysBusingAndEscapeEndsWithCompleteFiles)
{
    Record(1500);
    m_program.Click(IDOK);
    HWND box = nullptr;
    EXPECT_EQ("Busing", m_program.WaitForMessageBox(&box));
    ASSERT_NE(nullptr, box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(m_program.IsEnabled(IDC_RECORD)) << "the recording must go on";
    Sleep(1000);
    m_program.PressEscape();
    EXPECT_TRUE(m_program.WaitForExit(10000)) << "Esc did not end the program while recording";
    Expect("test.wav 1 1.0 4.0 0 0\n"
           "test.mp3 1 1.0 4.0 0 0\n"
           "same-length test.wav test.mp3\n");
}

TEST_F(Recording, PlayChoosesAFileAndPlaysItToTheEnd)
{
    Record(3000);
    StopAndWaitForIdle();

    m_program.Click(IDC_PLAY); // returns once the file dialog runs its own loop
    HWND chooser = m_program.WaitForOwnedWindow("打开文件来播放");
    ASSERT_NE(nullptr, chooser) << "no file dialog with the expected title";
    HWND nameBox = GetDlgItem(chooser, 0x47C); // the file-name combo box of the open dialog
    if (!nameBox)
        nameBox = GetDlgItem(chooser, 0x480);
    ASSERT_NE(nullptr, nameBox);
    SendMessageA(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("test.wav"));
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);

    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, false, 5000)) << "playback did not start";
    EXPECT_TRUE(m_program.WaitUntilEnabled(IDC_RECORD, true, 8000)) << "playback did not end";
    CloseProgram();
    Expect("test.wav 1 0.3 3.0 0 0\n");
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: recording_tests OUTPUT_FOLDER\n");
        return 2;
    }
    g_outputRoot = argv[1];
    return RUN_ALL_TESTS();
}
