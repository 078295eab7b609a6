// Real recordings with WAV and MP3 outputs at once, from the null sink's monitor while
// record_mp3.sh plays a tone into the sink (440 Hz left, 1000 Hz right). Each recording goes
// into its own folder; the script then decodes every MP3 with mpg123 on the host.
#include "AudioPlayRec.h"
#include "support/FakeAudioServices.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>

namespace {

using Outputs = std::vector<std::pair<int, std::string>>;
int g_nBlocks = 0;

// The null sink's monitor, when the engine can use its index; else the default input, which
// the test session makes that monitor too.
UINT MonitorDevice()
{
    CAudioPlayRec probe;
    for (UINT i = 0; i < CAudioPlayRec::GetInDeviceCount() && i < CAudioPlayRec::GetOutDeviceCount(); ++i)
        if (std::string(probe.GetInDeviceName(i)).find("Monitor") != std::string::npos)
            return i;
    return WAVE_MAPPER;
}

// The dialog's calls for one recording into `folder`, WAV outputs first, then MP3: from the
// monitor, or 300 samples from `pFake`.
void Record(const std::string& folder, int nMode, const Outputs& outputs, CFakeAudioServices* pFake = nullptr)
{
    CapturedMessageBoxes boxes;
    CapturedTrace trace;
    CreateDirectoryA(folder.c_str(), nullptr);
    CWnd parent;
    parent.CreateEx(0, AfxRegisterWndClass(0, nullptr, nullptr), "", WS_POPUP, CRect(0, 0, 200, 100), nullptr, 0);
    CAudioPlayRec engine;
    const RECT rcView = {0, 0, 200, 100};
    const AUDIOCALLBACK countBlocks = [](UINT message, void*) { g_nBlocks += message == MM_WIM_DATA; };
    ASSERT_TRUE(engine.Initialize(pFake ? 0 : MonitorDevice(), 4096, parent, &rcView, countBlocks, nullptr));
    ASSERT_TRUE(engine.StartRecord(nMode, 22050, 16));
    for (const auto& output : outputs)
        ASSERT_TRUE(engine.OpenOutputFile(output.first, (folder + "\\" + output.second).c_str())) << output.second;
    g_nBlocks = 0;
    // The monitor may deliver nothing for a second or so after the start, so the length is
    // counted in blocks (about 1 s of stereo, 2 s of mono), not time.
    if (pFake) {
        ASSERT_TRUE(pFake->ReturnInput(600));
        PumpUntil([] { return !GetQueueStatus(QS_POSTMESSAGE); });
    } else {
        ASSERT_TRUE(PumpUntil([] { return g_nBlocks >= 20; }, 15000)) << g_nBlocks << " blocks captured";
    }
    engine.Stop();
    while (pFake && pFake->ReturnInput(0)) {
    }
    ASSERT_TRUE(PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }));
    EXPECT_EQ(std::vector<std::string>{}, boxes.Texts());
    EXPECT_NE(std::string::npos, trace.All().find("lame_enc.dll version 1.00"));
}

TEST(Mp3RecordingTest, MonoStereoAndAloneFromTheMonitor)
{
    if (CAudioPlayRec::GetInDeviceCount() == 0)
        GTEST_SKIP() << "no wave input device";
    Record("mono", CHANNEL_MONO, {{0, "test.wav"}, {0, "test.mp3"}});
    Record("stereo", CHANNEL_STEREO, {{0, "test.wav"}, {0, "test.mp3"}});
    Record("alone", CHANNEL_ALONE,
           {{0, "test_left.wav"}, {1, "test_right.wav"}, {0, "test_left.mp3"}, {1, "test_right.mp3"}});
}

// Less than one chunk from the fake device: the MP3 still holds it.
TEST(Mp3RecordingTest, ShorterThanOneChunk)
{
    CFakeAudioServices device;
    Record("short", CHANNEL_MONO, {{0, "test.mp3"}}, &device);
}

} // namespace
