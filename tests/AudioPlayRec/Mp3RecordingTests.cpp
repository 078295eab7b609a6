// Real recordings with WAV and MP3 outputs at once, from the null sink's monitor while
// record_mp3.sh plays a tone into the sink (440 Hz left, 1000 Hz right). Each mode records
// into its own folder; the script then decodes every MP3 with mpg123 on the host.
#include "AudioPlayRec.h"
#include "support/FakeAudioServices.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const DWORD kBufferSize = 4096;
// Captured blocks per recording: about 1 s of stereo, 2 s of mono. The monitor may deliver
// nothing for a second or so after the start, so the length is counted in blocks, not time.
const int kBlocks = 20;

// The null sink's monitor, when the engine can use its index; else the default input, which
// the test session makes that monitor too.
UINT MonitorDevice()
{
    CAudioPlayRec probe;
    for (UINT i = 0; i < CAudioPlayRec::GetInDeviceCount(); ++i) {
        if (std::string(probe.GetInDeviceName(i)).find("Monitor") != std::string::npos &&
            i < CAudioPlayRec::GetOutDeviceCount())
            return i;
    }
    return WAVE_MAPPER;
}

class Mp3RecordingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, m_szPrevious);
        m_hParent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    }

    void TearDown() override
    {
        DestroyWindow(m_hParent);
        SetCurrentDirectoryA(m_szPrevious);
    }

    void EnterFolder(const char* pszFolder)
    {
        CreateDirectoryA(pszFolder, nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(pszFolder));
    }

    static void CountBlocks(UINT message, void* user)
    {
        if (message == MM_WIM_DATA)
            ++*static_cast<int*>(user);
    }

    // The dialog's calls for one recording: WAV outputs first, then MP3, as Left/Right allow.
    void Record(CAudioPlayRec& engine, int nMode, const std::vector<std::pair<int, const char*>>& outputs)
    {
        ASSERT_TRUE(engine.StartRecord(nMode, 22050, 16));
        for (const auto& output : outputs)
            ASSERT_TRUE(engine.OpenOutputFile(output.first, output.second)) << output.second;
        m_nBlocks = 0;
        ASSERT_TRUE(PumpUntil([&] { return m_nBlocks >= kBlocks; }, 15000)) << m_nBlocks << " blocks captured";
        engine.Stop();
        ASSERT_TRUE(PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }));
    }

    void RecordFromMonitor(const char* pszFolder, int nMode, const std::vector<std::pair<int, const char*>>& outputs)
    {
        if (CAudioPlayRec::GetInDeviceCount() == 0)
            GTEST_SKIP() << "no wave input device";
        EnterFolder(pszFolder);
        CAudioPlayRec engine;
        const RECT rcView = {0, 0, 200, 100};
        ASSERT_TRUE(engine.Initialize(MonitorDevice(), kBufferSize, m_hParent, &rcView, &CountBlocks, &m_nBlocks));
        Record(engine, nMode, outputs);
        EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
        EXPECT_NE(std::string::npos, trace.All().find("lame_enc.dll version 1.00"));
    }

    CapturedMessageBoxes boxes;
    CapturedTrace trace;
    HWND m_hParent = nullptr;
    int m_nBlocks = 0;

private:
    char m_szPrevious[MAX_PATH] = "";
};

TEST_F(Mp3RecordingTest, Mono)
{
    RecordFromMonitor("mono", CHANNEL_MONO, {{0, "test.wav"}, {0, "test.mp3"}});
}

TEST_F(Mp3RecordingTest, Stereo)
{
    RecordFromMonitor("stereo", CHANNEL_STEREO, {{0, "test.wav"}, {0, "test.mp3"}});
}

TEST_F(Mp3RecordingTest, Alone)
{
    RecordFromMonitor("alone", CHANNEL_ALONE,
                      {{0, "test_left.wav"}, {1, "test_right.wav"}, {0, "test_left.mp3"}, {1, "test_right.mp3"}});
}

// Less than one chunk (300 samples) from the fake device: the MP3 still holds it.
TEST_F(Mp3RecordingTest, ShorterThanOneChunk)
{
    EnterFolder("short");
    CFakeAudioServices device;
    CAudioPlayRec engine;
    const RECT rcView = {0, 0, 200, 100};
    ASSERT_TRUE(engine.Initialize(0, kBufferSize, m_hParent, &rcView, nullptr, nullptr));
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    ASSERT_TRUE(device.ReturnInput(600));
    PumpUntil([] { return !GetQueueStatus(QS_POSTMESSAGE); });
    engine.Stop();
    while (device.ReturnInput(0)) {
    }
    ASSERT_TRUE(PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }));
    EXPECT_TRUE(boxes.Texts().empty());
}

} // namespace
