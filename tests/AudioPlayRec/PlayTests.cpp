// Playback on the fake device: the whole file in order, stop, the end of the data, every
// failure, and the device names.
#include "EngineFixture.h"
#include <algorithm>

namespace {

std::string PatternData(size_t bytes)
{
    std::string data;
    for (size_t i = 0; i < bytes; ++i)
        data += static_cast<char>(CFakeAudioServices::PatternByte(i));
    return data;
}

std::string Heard(const CFakeAudioServices& fake)
{
    return std::string(fake.heard.begin(), fake.heard.end());
}

} // namespace

class PlayTest : public EngineTest {
protected:
    void SetUp() override { Init(); }
    // A 22050 Hz 16-bit file of `channels` holding `data`.
    void WriteWave(const std::string& data, WORD channels = 2, const std::string& name = "in.wav")
    {
        ASSERT_TRUE(WriteFileBytes(dir.File(name), MakeWave(FmtBody(WAVE_FORMAT_PCM, channels, 22050, 16), data)));
    }
    void CompleteAll()
    {
        while (fake.CompleteOutput())
            Drain();
    }
    bool FileIsReleased() { return DeleteFileA(dir.File("in.wav").c_str()) != FALSE; }
};

TEST_F(PlayTest, AFileShorterThanOneBufferPlaysOnceAndEnds)
{
    const std::string data = PatternData(1000);
    WriteWave(data);
    fake.ClearLog();
    ASSERT_TRUE(engine.Play("in.wav"));
    EXPECT_EQ(engine.GetStatus(), STATUS_PLAYING);
    EXPECT_EQ(fake.Names("waveOut"), Strings({"waveOutOpen", "waveOutPrepareHeader", "waveOutWrite"}));
    EXPECT_EQ(fake.outWindow, engine.GetSafeHwnd());
    EXPECT_EQ(fake.outDevice, 0u);
    ASSERT_EQ(fake.outQueue.size(), 1u);
    EXPECT_EQ(fake.outQueue.front()->dwUser, 0u);

    fake.ClearLog();
    ASSERT_TRUE(fake.CompleteOutput());
    Drain();
    EXPECT_EQ(fake.Names("waveOut"), Strings({"waveOutUnprepareHeader", "waveOutReset", "waveOutClose"}));
    EXPECT_EQ(Heard(fake), data);
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_EQ(notified, Messages({MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_CLOSE}));
    EXPECT_TRUE(FileIsReleased());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PlayTest, ALongerFilePlaysEveryBlockInOrderAndTheQueuedEndIsHeard)
{
    const std::string data = PatternData(7 * 4096 + 1328);
    WriteWave(data);
    ASSERT_TRUE(engine.Play("in.wav"));
    EXPECT_EQ(fake.outQueue.size(), 6u);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(fake.CompleteOutput());
        Drain();
    }
    // The data has ended; the six blocks still queued are played before the end.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(fake.CompleteOutput());
        Drain();
        EXPECT_EQ(engine.GetStatus(), STATUS_PLAYING);
    }
    ASSERT_TRUE(fake.CompleteOutput());
    Drain();
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_EQ(Heard(fake), data);
    EXPECT_EQ(fake.written.size(), data.size());
    EXPECT_TRUE(FileIsReleased());
}

TEST_F(PlayTest, OnlyTheDataChunkIsPlayed)
{
    const std::string data = PatternData(5000);
    ASSERT_TRUE(WriteFileBytes(dir.File("in.wav"), Riff(Chunk("fmt ", FmtBody(1, 2, 22050, 16)) + Chunk("data", data) +
                                                        Chunk("LIST", std::string(3000, 'L')))));
    ASSERT_TRUE(engine.Play("in.wav"));
    CompleteAll();
    EXPECT_EQ(Heard(fake), data);
}

TEST_F(PlayTest, StopCutsAtOnce)
{
    WriteWave(PatternData(20 * 4096));
    ASSERT_TRUE(engine.Play("in.wav"));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(fake.CompleteOutput());
        Drain();
    }
    fake.ClearLog();
    engine.Stop();
    EXPECT_EQ(engine.GetStatus(), STATUS_STOPPING);
    Drain();
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_EQ(fake.Count("mmioRead"), 0);
    EXPECT_EQ(fake.Names("waveOut"),
              Concat({{"waveOutReset"}, Repeat({"waveOutUnprepareHeader"}, 6), {"waveOutReset", "waveOutClose"}}));
    EXPECT_EQ(fake.heard.size(), 2u * 4096u);
    EXPECT_TRUE(FileIsReleased());
}

TEST_F(PlayTest, PlayWhileRecordingIsAStatusError)
{
    WriteWave(PatternData(100));
    Record(CHANNEL_MONO);
    EXPECT_FALSE(engine.Play("in.wav"));
    EXPECT_EQ(Texts(), Strings({"Class status error"}));
    EXPECT_EQ(fake.Count("waveOutOpen"), 0);
    EXPECT_EQ(engine.GetStatus(), STATUS_RECORDING);
}

TEST_F(PlayTest, NoWavOutputWhilePlaying)
{
    WriteWave(PatternData(20000));
    ASSERT_TRUE(engine.Play("in.wav"));
    EXPECT_FALSE(engine.OpenOutputFile(0, "test.wav"));
    engine.CloseOutputFile(0, "wav");
    CompleteAll();
    EXPECT_EQ(Heard(fake), PatternData(20000));
}

TEST_F(PlayTest, TheViewShowsEachBlockAsItIsQueued)
{
    // Block k holds the constant sample 1000 * k; the left band's trace lies at 49 + s * 99 / 65535.
    std::string data;
    for (int k = 0; k < 9; ++k) {
        for (int i = 0; i < 2048; ++i)
            data += Le16Bytes(static_cast<WORD>(1000 * k));
    }
    WriteWave(data, 1);
    engine.UpdateWindow();
    auto greenRow = [&] {
        CClientDC dc(engine);
        for (int y = 1; y < 99; ++y) {
            if (dc.GetPixel(200, y) == RGB(0, 255, 0))
                return y;
        }
        return -1;
    };
    ASSERT_TRUE(engine.Play("in.wav"));
    EXPECT_EQ(greenRow(), 49 + 4000 * 99 / 65535);
    for (int k = 5; k < 9; ++k) {
        ASSERT_TRUE(fake.CompleteOutput());
        Drain();
        EXPECT_EQ(greenRow(), 49 + 1000 * k * 99 / 65535) << k;
    }
}

TEST_F(PlayTest, CloseDuringPlaybackEndsItAtOnce)
{
    WriteWave(PatternData(20 * 4096));
    ASSERT_TRUE(engine.Play("in.wav"));
    ASSERT_TRUE(fake.CompleteOutput());
    fake.ClearLog();
    engine.Close();
    EXPECT_EQ(fake.Names("waveOut"), Concat({{"waveOutReset"}, Repeat({"waveOutUnprepareHeader"}, 6), {"waveOutClose"}}));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_TRUE(FileIsReleased());
    fake.ClearLog();
    Drain();
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

// ---------------------------------------------------------------------------------------
// Failures

TEST_F(PlayTest, ADeviceThatCannotBeOpenedReleasesTheFile)
{
    WriteWave(PatternData(100));
    fake.Fail("waveOutOpen", MMSYSERR_ALLOCATED);
    EXPECT_FALSE(engine.Play("in.wav"));
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_ALLOCATED, "waveOutOpen() failed")}));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_TRUE(FileIsReleased());
    WriteWave(PatternData(100));
    EXPECT_TRUE(engine.Play("in.wav"));
}

struct FirstPassFailure {
    const char* label;
    std::string data;
    const char* call;
    LONG_PTR result;
    int nth;
    std::string message;
};

class PlayFailure : public PlayTest, public ::testing::WithParamInterface<FirstPassFailure> {};

TEST_P(PlayFailure, ReleasesTheDeviceAndTheFile)
{
    const FirstPassFailure& c = GetParam();
    WriteWave(c.data);
    if (*c.call)
        fake.Fail(c.call, c.result, c.nth);
    EXPECT_FALSE(engine.Play("in.wav"));
    EXPECT_EQ(Texts(), Strings({c.message}));
    EXPECT_FALSE(fake.outOpen);
    EXPECT_TRUE(fake.outQueue.empty());
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_TRUE(FileIsReleased());
    Drain();
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    WriteWave(PatternData(100));
    EXPECT_TRUE(engine.Play("in.wav"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayFailure,
    ::testing::Values(
        FirstPassFailure{"NoSamples", "", "", 0, 0, "Read sound data from file failed"},
        FirstPassFailure{"FirstReadError", PatternData(100), "mmioRead", -1, 2, "Read sound data from file failed"},
        FirstPassFailure{"PrepareFails", PatternData(20000), "waveOutPrepareHeader", MMSYSERR_NOMEM, 3,
                         WaveError(MMSYSERR_NOMEM, "waveOutPrepareHeader() failed")},
        FirstPassFailure{"WriteFails", PatternData(20000), "waveOutWrite", MMSYSERR_NOMEM, 2,
                         WaveError(MMSYSERR_NOMEM, "waveOutWrite() failed")}),
    [](const ::testing::TestParamInfo<FirstPassFailure>& info) { return std::string(info.param.label); });

TEST_F(PlayTest, AReadErrorMidFileEndsThePlaybackWithAMessage)
{
    WriteWave(PatternData(20 * 4096));
    ASSERT_TRUE(engine.Play("in.wav"));
    fake.Fail("mmioRead", -1);
    ASSERT_TRUE(fake.CompleteOutput());
    Drain();
    EXPECT_EQ(Texts(), Strings({"Read sound data from file failed"}));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_EQ(fake.heard.size(), 4096u);
    EXPECT_TRUE(FileIsReleased());
}

TEST_F(PlayTest, ABlockThatCannotBeQueuedMidFileStopsThePlayback)
{
    WriteWave(PatternData(20 * 4096));
    ASSERT_TRUE(engine.Play("in.wav"));
    fake.Fail("waveOutWrite", MMSYSERR_NOMEM);
    ASSERT_TRUE(fake.CompleteOutput());
    Drain();
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_NOMEM, "waveOutWrite() failed")}));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
}

TEST_F(PlayTest, AnUnprepareFailureTakesTheBufferOutAndTheTimerEndsThePlayback)
{
    WriteWave(PatternData(3 * 4096));
    ASSERT_TRUE(engine.Play("in.wav"));
    fake.Fail("waveOutUnprepareHeader", MMSYSERR_INVALPARAM);
    CompleteAll();
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_INVALPARAM, "waveOutUnprepareHeader() failed")}));
    EXPECT_EQ(engine.GetStatus(), STATUS_PLAYING);
    FireTimer(2);
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_FALSE(fake.outOpen);
    EXPECT_TRUE(FileIsReleased());
}

TEST_F(PlayTest, TheFallbackTimerIsArmedAtTheEndOfTheData)
{
    WriteWave(PatternData(3 * 4096));
    ASSERT_TRUE(engine.Play("in.wav"));
    ASSERT_TRUE(PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }, 3000));
    EXPECT_FALSE(fake.outOpen);
}

TEST_F(PlayTest, ResetAndCloseFailuresAreReportedAndTheStopGoesOn)
{
    WriteWave(PatternData(20 * 4096));
    ASSERT_TRUE(engine.Play("in.wav"));
    fake.Fail("waveOutReset", MMSYSERR_ERROR);
    fake.Fail("waveOutClose", MMSYSERR_HANDLEBUSY);
    engine.Stop();
    EXPECT_EQ(engine.GetStatus(), STATUS_STOPPING);
    FireTimer(2);
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_ERROR, "waveOutReset() failed"),
                                WaveError(MMSYSERR_HANDLEBUSY, "waveOutClose() failed")}));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_TRUE(FileIsReleased());
}

// ---------------------------------------------------------------------------------------
// Device names

TEST_F(EngineTest, DeviceNamesComeInIndexOrderAndUnreadableOnesAreEmpty)
{
    fake.inDevices = {"Mic A", "Monitor of Null Output", "Line B"};
    fake.outDevices = {"Speakers", "Null Output"};
    EXPECT_EQ(CAudioPlayRec::GetInDeviceCount(), 3u);
    EXPECT_EQ(CAudioPlayRec::GetOutDeviceCount(), 2u);
    Strings names;
    for (UINT i = 0; i < 3; ++i)
        names.push_back(engine.GetInDeviceName(i).str());
    EXPECT_EQ(names, Strings({"Mic A", "Monitor of Null Output", "Line B"}));
    EXPECT_EQ(engine.GetOutDeviceName(1), "Null Output");
    fake.Fail("waveInGetDevCapsA", MMSYSERR_NODRIVER);
    EXPECT_EQ(engine.GetInDeviceName(0), "");
    fake.Fail("waveOutGetDevCapsA", MMSYSERR_NODRIVER);
    EXPECT_EQ(engine.GetOutDeviceName(0), "");
}

TEST_F(EngineTest, TheViewShowsTheSelectedDevicesName)
{
    fake.inDevices = {"First", "Second device"};
    fake.outDevices = {"First", "Second device"};
    Init();
    engine.SetDevice(1);
    engine.UpdateWindow();
    Drain();
    CClientDC dc(engine);
    int cyan = 0;
    for (int y = 150; y < 196; ++y) {
        for (int x = 200; x < 396; ++x)
            cyan += dc.GetPixel(x, y) == RGB(128, 255, 255);
    }
    EXPECT_GT(cyan, 20);
    auto last = std::find_if(fake.log.rbegin(), fake.log.rend(),
                             [](const FakeCall& call) { return call.name == "waveInGetDevCapsA"; });
    ASSERT_NE(fake.log.rend(), last);
    EXPECT_EQ(1u, last->value) << "the name shown is the selected device's";
}

TEST_F(PlayTest, ALateCloseMessageOfThePlayerLeavesANewRecordingRunning)
{
    WriteWave(PatternData(1000));
    ASSERT_TRUE(engine.Play("in.wav"));
    ASSERT_TRUE(fake.CompleteOutput());
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, engine, MM_WOM_DONE, MM_WOM_DONE, PM_REMOVE));
    DispatchMessageA(&msg);
    ASSERT_EQ(engine.GetStatus(), STATUS_IDLE);
    // MM_WOM_CLOSE is still queued when the owner starts a recording.
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    Drain();
    EXPECT_EQ(engine.GetStatus(), STATUS_RECORDING);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ReturnAndDrain(4096);
    EXPECT_EQ(fake.Count("mmioWrite"), 2);
}
