// Capture: status machine, buffer queue, routing, stop, timers, notifications and every
// failure of a recording, on the fake device.
#include "EngineFixture.h"

struct FormatCase {
    int nMode;
    WORD wBitsAsked;
    WORD nChannels;
    int nBuffers;
};

class StartRecordFormat : public EngineTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(StartRecordFormat, OpensTheDeviceWithThePcmFormatAndQueuesEveryBuffer)
{
    const FormatCase& c = GetParam();
    Init();
    fake.ClearLog();
    ASSERT_TRUE(engine.StartRecord(c.nMode, 22050, c.wBitsAsked));

    EXPECT_EQ(engine.GetStatus(), STATUS_RECORDING);
    EXPECT_EQ(fake.Names("waveIn"),
              Concat({{"waveInOpen"}, Repeat({"waveInPrepareHeader", "waveInAddBuffer"}, c.nBuffers), {"waveInStart"}}));
    EXPECT_EQ(fake.inFormat.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(fake.inFormat.nChannels, c.nChannels);
    EXPECT_EQ(fake.inFormat.nSamplesPerSec, 22050u);
    EXPECT_EQ(fake.inFormat.wBitsPerSample, 16);
    EXPECT_EQ(fake.inFormat.nBlockAlign, c.nChannels * 2);
    EXPECT_EQ(fake.inFormat.nAvgBytesPerSec, 22050u * c.nChannels * 2);
    EXPECT_EQ(fake.inFormat.cbSize, 0);
    EXPECT_EQ(fake.inFlags, static_cast<DWORD>(CALLBACK_WINDOW));
    EXPECT_EQ(fake.inWindow, engine.GetSafeHwnd());
    EXPECT_EQ(fake.inDevice, 0u);
    ASSERT_EQ(fake.inQueue.size(), static_cast<size_t>(c.nBuffers));
    for (WAVEHDR* header : fake.inQueue)
        EXPECT_EQ(header->dwBufferLength, 4096u);
    EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, StartRecordFormat,
                         ::testing::Values(FormatCase{CHANNEL_MONO, 16, 1, 5}, FormatCase{CHANNEL_STEREO, 16, 2, 6},
                                           FormatCase{CHANNEL_ALONE, 16, 2, 6}, FormatCase{CHANNEL_MONO, 24, 1, 5},
                                           FormatCase{CHANNEL_STEREO, 32, 2, 6}));

TEST_F(EngineTest, StartRecordWhileRecordingOnlyTraces)
{
    Init();
    Record(CHANNEL_STEREO);
    fake.ClearLog();
    trace.lines.clear();
    EXPECT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(trace.All(), "录音设备正在录音 ...\n");
    EXPECT_EQ(engine.GetStatus(), STATUS_RECORDING);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(EngineTest, StartRecordOutsideIdleIsAStatusError)
{
    EXPECT_FALSE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    EXPECT_EQ(Texts(), Strings({"Class status error"}));
    EXPECT_EQ(fake.Count("waveInOpen"), 0);

    Init();
    Record(CHANNEL_MONO);
    engine.Stop();
    EXPECT_FALSE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    EXPECT_EQ(Texts(), Strings({"Class status error", "Class status error"}));
}

TEST_F(EngineTest, InitializeChecksTheDeviceAgainstBothCounts)
{
    fake.outDevices.clear();
    CRect rc(0, 0, 50, 50);
    EXPECT_FALSE(engine.Initialize(0, 4096, host, &rc, nullptr, nullptr));
    EXPECT_EQ(Texts(), Strings({"Error audio device"}));
    EXPECT_EQ(engine.GetStatus(), STATUS_UNINIT);

    EXPECT_TRUE(engine.Initialize(WAVE_MAPPER, 4096, host, &rc, nullptr, nullptr));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    EXPECT_EQ(fake.inDevice, WAVE_MAPPER);
}

TEST_F(EngineTest, NotifiesTheOwnerOfEveryDeviceMessageInOrder)
{
    Init();
    Record(CHANNEL_MONO);
    ReturnAndDrain(4096);
    engine.Stop();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(fake.ReturnInput(0));
    Drain();
    EXPECT_EQ(notified, Messages({MM_WIM_OPEN, MM_WIM_DATA, MM_WIM_DATA, MM_WIM_DATA, MM_WIM_DATA, MM_WIM_DATA,
                                      MM_WIM_DATA, MM_WIM_CLOSE}));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
}

TEST_F(EngineTest, EachCapturedBlockIsWrittenThenRequeuedInOrder)
{
    Init();
    Record(CHANNEL_STEREO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    WAVEHDR* first = fake.inQueue.front();
    fake.ClearLog();
    ReturnAndDrain(4096);
    EXPECT_EQ(fake.Names(), Strings({"waveInUnprepareHeader", "mmioWrite", "waveInPrepareHeader",
                                          "waveInAddBuffer"}));
    EXPECT_EQ(fake.log[1].value, 4096u);
    EXPECT_EQ(fake.inQueue.back(), first);
    EXPECT_EQ(fake.inQueue.size(), 6u);
}

TEST_F(EngineTest, AloneModeRoutesLeftAndRightToTheirOwnFiles)
{
    Init();
    Record(CHANNEL_ALONE);
    ASSERT_TRUE(engine.OpenOutputFile(0, "TEST_LEFT.WAV"));
    ASSERT_TRUE(engine.OpenOutputFile(1, "test_right.wav"));
    ReturnAndDrain(4096);
    ReturnAndDrain(1000);
    engine.Stop();
    FireTimer(1);

    std::string left = FileBytes("test_left.wav");
    std::string right = FileBytes("test_right.wav");
    ASSERT_EQ(left.size(), 46u + 2548u);
    ASSERT_EQ(right.size(), 46u + 2548u);
    EXPECT_EQ(Le16(left, 22), 1);
    EXPECT_EQ(Le16(right, 22), 1);
    const std::vector<BYTE>& in = fake.returnedInput;
    for (size_t frame = 0; frame < 2548 / 2; ++frame) {
        ASSERT_EQ(left.compare(46 + 2 * frame, 2, reinterpret_cast<const char*>(&in[4 * frame]), 2), 0) << frame;
        ASSERT_EQ(right.compare(46 + 2 * frame, 2, reinterpret_cast<const char*>(&in[4 * frame + 2]), 2), 0) << frame;
    }
}

TEST_F(EngineTest, StopRetiresBuffersWithoutWritingAndTheLastOneFinishes)
{
    Init();
    Record(CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ReturnAndDrain(4096);
    engine.Stop();
    EXPECT_EQ(engine.GetStatus(), STATUS_STOPPING);
    fake.ClearLog();
    for (int i = 0; i < 4; ++i)
        ReturnAndDrain(4096);
    EXPECT_EQ(fake.Names(), Repeat({"waveInUnprepareHeader"}, 4));
    EXPECT_EQ(engine.GetStatus(), STATUS_STOPPING);

    fake.ClearLog();
    ASSERT_TRUE(fake.ReturnInput(4096));
    // The close message is still on its way.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, engine, MM_WIM_DATA, MM_WIM_DATA, PM_REMOVE));
    DispatchMessageA(&msg);
    EXPECT_EQ(fake.Names(), Strings({"waveInUnprepareHeader", "waveInReset", "Sleep", "mmioAscend",
                                          "mmioAscend", "mmioClose", "waveInClose"}));
    EXPECT_EQ(fake.log[2].value, 10u);
    EXPECT_EQ(engine.GetStatus(), STATUS_STOPPING);
    Drain();
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_EQ(FileBytes("test.wav").size(), 46u + 4096u);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(EngineTest, TheTimerEndsARecordingWhoseBuffersDoNotAllComeBack)
{
    Init();
    Record(CHANNEL_STEREO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ReturnAndDrain(4096);
    engine.Stop();
    ReturnAndDrain(4096);
    fake.ClearLog();
    ASSERT_TRUE(PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }, 3000));
    EXPECT_EQ(fake.Names("waveIn"), Concat({{"waveInReset"}, Repeat({"waveInUnprepareHeader"}, 5), {"waveInClose"}}));
    EXPECT_EQ(FileBytes("test.wav").size(), 46u + 4096u);
    // The buffers the reset handed back arrive after the close and are dropped.
    EXPECT_TRUE(boxes.shown.empty());

    fake.ClearLog();
    FireTimer(1);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(EngineTest, ClearingAndTickingAnOutputAgainStartsItsFileAnew)
{
    Init();
    Record(CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ReturnAndDrain(4096);
    engine.CloseOutputFile(0, "WAV");
    EXPECT_EQ(FileBytes("test.wav").size(), 46u + 4096u);
    ReturnAndDrain(4096);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ReturnAndDrain(100);
    engine.Stop();
    FireTimer(1);

    std::string file = FileBytes("test.wav");
    ASSERT_EQ(file.size(), 46u + 100u);
    EXPECT_EQ(file.compare(46, 100, reinterpret_cast<const char*>(&fake.returnedInput[8192]), 100), 0);
}

TEST_F(EngineTest, AShortWriteStopsTheRecordingAndLeavesAValidFile)
{
    Init();
    Record(CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ReturnAndDrain(4096);
    fake.Fail("mmioWrite", 1000);
    fake.ClearLog();
    ReturnAndDrain(4096);
    EXPECT_EQ(Texts(), Strings({"Write file failed"}));
    EXPECT_EQ(engine.GetStatus(), STATUS_STOPPING);
    EXPECT_EQ(fake.Count("waveInAddBuffer"), 0);

    // The failed buffer no longer counts: the last of the other four ends the recording.
    for (int i = 0; i < 4; ++i)
        ReturnAndDrain(0);
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    std::string file = FileBytes("test.wav");
    ASSERT_EQ(file.size(), 46u + 5096u);
    EXPECT_EQ(Le32(file, 42), 5096u);
    EXPECT_EQ(Le32(file, 4), 38u + 5096u);
}

TEST_F(EngineTest, AFileThatWouldOutgrowItsSizesIsAFailedWrite)
{
    const DWORD kBlock = 32 * 1024 * 1024;
    Init(kBlock, false);
    Record(CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    fake.fillInput = false;
    fake.discardWrites = true;
    int nBlocks = 0;
    while (boxes.shown.empty() && nBlocks < 100) {
        ReturnAndDrain(kBlock);
        ++nBlocks;
    }
    EXPECT_EQ(Texts(), Strings({"Write file failed"}));
    // 63 blocks fit below 2 GiB with the header; the 64th would not.
    EXPECT_EQ(nBlocks, 64);
    EXPECT_EQ(fake.Count("mmioWrite"), 1 + 63);
    EXPECT_EQ(engine.GetStatus(), STATUS_STOPPING);
}

TEST_F(EngineTest, CloseDuringARecordingDropsTheLateNotifications)
{
    Init();
    Record(CHANNEL_STEREO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ReturnAndDrain(4096);
    ASSERT_TRUE(fake.ReturnInput(4096));
    fake.ClearLog();
    engine.Close();
    EXPECT_EQ(fake.Names("waveIn"), Concat({{"waveInReset"}, Repeat({"waveInUnprepareHeader"}, 6), {"waveInClose"}}));
    EXPECT_EQ(FileBytes("test.wav").size(), 46u + 4096u);

    fake.ClearLog();
    Drain();
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
}

TEST_F(EngineTest, SetDeviceDuringARecordingEndsItAndSelectsTheDevice)
{
    fake.inDevices = {"First", "Second"};
    fake.outDevices = {"First", "Second"};
    Init();
    Record(CHANNEL_MONO);
    ReturnAndDrain(4096);
    ASSERT_TRUE(fake.ReturnInput(4096));
    engine.SetDevice(1);
    EXPECT_FALSE(fake.inOpen);
    Drain();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    Record(CHANNEL_MONO);
    EXPECT_EQ(fake.inDevice, 1u);
}

TEST_F(EngineTest, OutputChannelsOutsideZeroAndOneAreRefused)
{
    Init();
    Record(CHANNEL_ALONE);
    EXPECT_FALSE(engine.OpenOutputFile(2, "test.wav"));
    EXPECT_FALSE(engine.OpenOutputFile(-1, "test.wav"));
    EXPECT_FALSE(engine.OpenOutputFile(0, ""));
    EXPECT_EQ(fake.Count("mmioOpenA"), 0);
}

// ---------------------------------------------------------------------------------------
// Failures, one row each: the step that fails, its message, and what the engine does then.

TEST_F(EngineTest, WaveInOpenFailsAndNothingIsLeftOpen)
{
    Init();
    fake.Fail("waveInOpen", MMSYSERR_ALLOCATED);
    EXPECT_FALSE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_ALLOCATED, "waveInOpen()")}));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_EQ(fake.Count("waveInGetErrorTextA"), 1);
    Record(CHANNEL_MONO);
}

TEST_F(EngineTest, WaveInStartFailsAndTheDeviceIsResetAndClosed)
{
    Init();
    fake.Fail("waveInStart", MMSYSERR_NOMEM);
    fake.ClearLog();
    EXPECT_FALSE(engine.StartRecord(CHANNEL_STEREO, 22050, 16));
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_NOMEM, "waveInStart() failed")}));
    EXPECT_EQ(fake.Names("waveIn"),
              Concat({{"waveInOpen"}, Repeat({"waveInPrepareHeader", "waveInAddBuffer"}, 6),
                      {"waveInStart", "waveInReset"}, Repeat({"waveInUnprepareHeader"}, 6),
                      {"waveInClose", "waveInGetErrorTextA"}}));
    EXPECT_FALSE(fake.inOpen);
    Drain();
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_NOMEM, "waveInStart() failed")}));
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    Record(CHANNEL_STEREO);
}

struct QueueFailure {
    const char* call;
    int nth;
    const char* message;
    size_t queuedAfterStart;
};

class StartQueueFailure : public EngineTest, public ::testing::WithParamInterface<QueueFailure> {};

TEST_P(StartQueueFailure, LeavesThatBufferOutAndRecords)
{
    const QueueFailure& c = GetParam();
    Init();
    fake.Fail(c.call, MMSYSERR_INVALPARAM, c.nth);
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_INVALPARAM, c.message)}));
    EXPECT_EQ(fake.inQueue.size(), c.queuedAfterStart);
    EXPECT_EQ(engine.GetStatus(), STATUS_RECORDING);
}

INSTANTIATE_TEST_SUITE_P(Rows, StartQueueFailure,
                         ::testing::Values(QueueFailure{"waveInPrepareHeader", 2, "AddInputBufferToQueue Failed", 4},
                                           QueueFailure{"waveInAddBuffer", 5, "waveInAddBuffer() failed", 4}));

struct ReturnFailure {
    const char* call;
    const char* message;
};

class ReturnedBufferFailure : public EngineTest, public ::testing::WithParamInterface<ReturnFailure> {};

TEST_P(ReturnedBufferFailure, TakesThatBufferOutOfTheQueueAndTheTimerEndsTheRecording)
{
    const ReturnFailure& c = GetParam();
    Init();
    Record(CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    fake.Fail(c.call, WAVERR_UNPREPARED);
    ReturnAndDrain(4096);
    EXPECT_EQ(Texts(), Strings({WaveError(WAVERR_UNPREPARED, c.message)}));
    EXPECT_EQ(fake.inQueue.size(), 4u);
    EXPECT_EQ(engine.GetStatus(), STATUS_RECORDING);

    engine.Stop();
    for (int i = 0; i < 4; ++i)
        ReturnAndDrain(0);
    EXPECT_EQ(engine.GetStatus(), STATUS_STOPPING);
    FireTimer(1);
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_EQ(Texts().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReturnedBufferFailure,
                         ::testing::Values(ReturnFailure{"waveInUnprepareHeader", "waveInUnprepareHeader() failed"},
                                           ReturnFailure{"waveInPrepareHeader", "waveInPrepareHeader() failed"},
                                           ReturnFailure{"waveInAddBuffer", "waveInAddBuffer() failed"}));

TEST_F(EngineTest, ResetAndCloseFailuresAtTheEndAreReportedAndTheEndGoesOn)
{
    Init();
    Record(CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ReturnAndDrain(4096);
    fake.Fail("waveInReset", MMSYSERR_ERROR);
    fake.Fail("waveInClose", MMSYSERR_HANDLEBUSY);
    engine.Stop();
    FireTimer(1);
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_ERROR, "waveInReset() failed"),
                                     WaveError(MMSYSERR_HANDLEBUSY, "waveInClose() failed")}));
    EXPECT_EQ(Le32(FileBytes("test.wav"), 42), 4096u);
}

TEST_F(EngineTest, AnOutputThatCannotBeCreatedLeavesTheRecordingRunning)
{
    Init();
    Record(CHANNEL_MONO);
    fake.Fail("mmioOpenA", 0, 2);
    EXPECT_FALSE(engine.OpenOutputFile(0, "test.wav"));
    EXPECT_EQ(Texts(), Strings({"Open wave file failed"}));
    ReturnAndDrain(4096);
    EXPECT_EQ(engine.GetStatus(), STATUS_RECORDING);
    EXPECT_EQ(fake.inQueue.size(), 5u);
    EXPECT_TRUE(engine.OpenOutputFile(0, "test.wav"));
}

TEST_F(EngineTest, ReportErrorUsesTheOutputTextsOutsideARecording)
{
    Init();
    fake.Fail("waveOutOpen", MMSYSERR_BADDEVICEID);
    ASSERT_TRUE(WriteFileBytes(dir.File("in.wav"), MakeWave(FmtBody(WAVE_FORMAT_PCM, 1, 22050, 16), "\1\2")));
    EXPECT_FALSE(engine.Play("in.wav"));
    EXPECT_EQ(Texts(), Strings({WaveError(MMSYSERR_BADDEVICEID, "waveOutOpen() failed")}));
    EXPECT_EQ(fake.Count("waveOutGetErrorTextA"), 1);
    EXPECT_EQ(fake.Count("waveInGetErrorTextA"), 0);
}

// A real message box runs its own modal loop; the buffers that come back meanwhile are
// handled there and go back to the device.
namespace {

CFakeAudioServices* g_pModalFake;
int g_nModalTicks;

void CALLBACK ReturnBuffersDuringTheBox(HWND, UINT, UINT_PTR, DWORD)
{
    if (++g_nModalTicks <= 3) {
        g_pModalFake->ReturnInput(4096);
        return;
    }
    if (HWND box = FindWindowA("#32770", "modal test"))
        PostMessageA(box, WM_COMMAND, IDOK, 0);
}

} // namespace

TEST_F(EngineTest, BuffersReturnedDuringAModalBoxAreHandled)
{
    Init();
    Record(CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    g_pModalFake = &fake;
    g_nModalTicks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, ReturnBuffersDuringTheBox);
    ::MessageBoxA(host, "buffers keep coming", "modal test", MB_OK);
    KillTimer(nullptr, timer);
    EXPECT_GE(g_nModalTicks, 4);
    EXPECT_EQ(fake.Count("mmioWrite"), 1 + 3);
    EXPECT_EQ(fake.inQueue.size(), 5u);
    EXPECT_EQ(fake.Count("waveInAddBuffer"), 5 + 3);
}
