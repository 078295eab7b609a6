// The engine on Wine's real wave devices and real files, with one WinMM call made to fail
// where a real device or disk cannot be made to: what the user is told, and that the engine
// comes back to idle with a file that says truly what it holds.
#include "AudioPlayRec.h"
#include "support/HostTools.h"
#include "support/Sinks.h"
#include "support/TestAudioServices.h"
#include <gtest/gtest.h>

namespace {

struct FailureRow {
    const char* call;
    LONG_PTR result;
    int nth;
    bool play;               // fail while playing back the recording instead of while recording
    const char* message;     // the end of the one box the user sees
};

// Catches: a failed close leaving the status stuck (Record and Play dead until restart); a
// short or unfinished WAV write reported never, twice, or leaving sizes that lie.
const FailureRow FAILURES[] = {
    {"waveInClose", MMSYSERR_ERROR, 1, false, "waveInClose() failed"},
    {"waveOutClose", MMSYSERR_ERROR, 1, true, "waveOutClose() failed"},
    {"mmioWrite", -1, 12, false, "Write file failed"},
    {"mmioAscend", MMIOERR_CANNOTWRITE, 2, false, "Write file failed"},
};

// Real WinMM, adding up what the device hands back: the bytes each buffer recorded. A device
// whose close was made to fail is closed for real at the end, so that none outlives the test.
class CCountingServices : public CTestAudioServices {
public:
    ~CCountingServices() override
    {
        ::waveInClose(m_hIn); // null unless a close was made to fail
        ::waveOutClose(m_hOut);
    }
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override
    {
        if (header->dwFlags & WHDR_DONE)
            recorded += header->dwBytesRecorded;
        return CTestAudioServices::waveInUnprepareHeader(handle, header, size);
    }
    MMRESULT waveInClose(HWAVEIN h) override { return Kept(CTestAudioServices::waveInClose(h), h, &m_hIn); }
    MMRESULT waveOutClose(HWAVEOUT h) override { return Kept(CTestAudioServices::waveOutClose(h), h, &m_hOut); }
    DWORD recorded = 0;

private:
    template <class Handle>
    static MMRESULT Kept(MMRESULT result, Handle handle, Handle* pKept)
    {
        *pKept = result ? handle : *pKept;
        return result;
    }
    HWAVEIN m_hIn = nullptr;
    HWAVEOUT m_hOut = nullptr;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (CAudioPlayRec::GetInDeviceCount() == 0 || CAudioPlayRec::GetOutDeviceCount() == 0)
            GTEST_SKIP() << "no wave devices under this Wine";
        host.CreateEx(0, AfxRegisterWndClass(0), "host", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0);
        CRect rc(0, 0, 100, 100);
        ASSERT_TRUE(engine.Initialize(0, 4096, host, &rc, &EngineTest::Notify, &closes));
    }
    static void Notify(UINT message, void* user)
    {
        if (message == MM_WIM_CLOSE || message == MM_WOM_CLOSE)
            ++*static_cast<int*>(user);
    }
    bool WaitForIdle() { return PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }, 5000); }

    std::string WaveFile() const { return ReadFileBytes(dir.File("test.wav")); }

    CHostDir dir;
    CapturedMessageBoxes boxes;
    CCountingServices services;
    CWnd host;
    CAudioPlayRec engine;
    int closes = 0;
};

// Catches: the end of a recording lost at Stop, when the buffers the reset hands back are
// thrown away instead of written.
TEST_F(EngineTest, EveryByteTheDeviceRecordedReachesTheFile)
{
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, dir.File("test.wav").c_str()));
    PumpUntil([&] { return services.Count("waveInAddBuffer") > 10; });
    engine.Stop();
    ASSERT_TRUE(PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }));
    const std::string bytes = WaveFile();
    ASSERT_GT(bytes.size(), 46u);
    EXPECT_EQ(services.recorded, bytes.size() - 46);
}

class EngineFailure : public EngineTest, public ::testing::WithParamInterface<FailureRow> {};

// Catches what the rows of FAILURES name.
TEST_P(EngineFailure, IsToldOnceAndTheEngineReturnsToIdleWithAValidFile)
{
    const FailureRow& row = GetParam();
    const std::string file = dir.File("test.wav");
    if (!row.play)
        services.Fail(row.call, row.result, row.nth);
    ASSERT_TRUE(engine.StartRecord(CHANNEL_STEREO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, file.c_str()));
    PumpUntil([&] { return services.Count("waveInAddBuffer") > 20 || engine.GetStatus() != STATUS_RECORDING; });
    engine.Stop();
    ASSERT_TRUE(WaitForIdle()) << "status stuck at " << engine.GetStatus();
    if (row.play) {
        closes = 0;
        services.Fail(row.call, row.result, row.nth);
        ASSERT_TRUE(engine.Play(file.c_str()));
        engine.Stop();
        ASSERT_TRUE(WaitForIdle()) << "status stuck at " << engine.GetStatus();
    }
    PumpUntil([&] { return !boxes.shown.empty() && closes > 0; }, 2000);
    EXPECT_GT(closes, 0) << "the owner was never told the device closed";
    ASSERT_EQ(1u, boxes.shown.size()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
    const std::string& text = boxes.shown[0].text;
    EXPECT_EQ(row.message, text.substr(text.size() - std::min(text.size(), strlen(row.message))));

    // A failed ascent leaves the sizes of the last update: the file is short of a second.
    if (strcmp(row.call, "mmioAscend") == 0)
        return;
    const std::string bytes = WaveFile();
    ASSERT_GT(bytes.size(), 46u);
    DWORD sizes[2]; // RIFF, data
    memcpy(&sizes[0], &bytes[4], 4), memcpy(&sizes[1], &bytes[42], 4);
    EXPECT_EQ(bytes.size() - 8, sizes[0]);
    EXPECT_EQ(bytes.size() - 46, sizes[1] + sizes[1] % 2);
}

INSTANTIATE_TEST_SUITE_P(Rows, EngineFailure, ::testing::ValuesIn(FAILURES),
                         [](const auto& info) { return std::string(info.param.call); });

} // namespace
