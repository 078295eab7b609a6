// The engine on Wine's real wave devices and real files, with one call made to fail where a
// real device or disk cannot be made to: what the user is told, that every block the device
// handed back reaches the file once, that no buffer is freed while a device may still write
// into it, and that the engine comes back to idle with a file that says truly what it holds.
#include "AudioPlayRec.h"
#include "support/HostTools.h"
#include "support/Sinks.h"
#include "support/TestAudioServices.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

namespace {

struct FailureRow {
    const char* call;
    LONG_PTR result;
    int nth, times;      // the nth call fails, and `times` - 1 after it (-1: every one)
    bool play;           // fail while playing back the recording instead of while recording
    const char* message; // the end of the one box the user sees, if any
};

// One row per call that can fail, recording and playing; the nth call is one made while blocks
// flow, or the only one. A call that fails for every buffer is said once.
const FailureRow FAILURES[] = {
    {"waveInPrepareHeader", MMSYSERR_NOMEM, 2, 1, false, "AddInputBufferToQueue Failed"},
    {"waveInAddBuffer", MMSYSERR_ERROR, 30, -1, false, "waveInAddBuffer() failed"},
    {"waveInStart", MMSYSERR_ERROR, 1, 1, false, "waveInStart() failed"},
    {"waveInReset", MMSYSERR_ERROR, 1, 1, false, "waveInReset() failed"},
    // The reset returns before the device has marked its oldest buffer done.
    {"waveInReset", MMSYSERR_NOERROR, 1, 1, false, nullptr},
    {"waveInUnprepareHeader", MMSYSERR_ERROR, 4, -1, false, "waveInUnprepareHeader() failed"},
    {"waveInClose", MMSYSERR_ERROR, 1, 1, false, "waveInClose() failed"},
    {"waveOutOpen", MMSYSERR_ALLOCATED, 1, 1, true, "waveOutOpen() failed"},
    {"waveOutPrepareHeader", MMSYSERR_NOMEM, 15, 1, true, "waveOutPrepareHeader() failed"},
    {"waveOutWrite", MMSYSERR_ERROR, 15, 1, true, "waveOutWrite() failed"},
    {"waveOutPause", MMSYSERR_ERROR, 1, 1, true, "waveOutPause() failed"},
    {"waveOutRestart", MMSYSERR_ERROR, 1, 1, true, "waveOutRestart() failed"},
    {"waveOutReset", MMSYSERR_ERROR, 1, 1, true, "waveOutReset() failed"},
    {"waveOutUnprepareHeader", MMSYSERR_ERROR, 3, -1, true, "waveOutUnprepareHeader() failed"},
    {"waveOutClose", MMSYSERR_ERROR, 1, 1, true, "waveOutClose() failed"},
    // A block's write, then the seeks to the sizes and back of their first rewrite.
    {"WriteFile", FALSE, 5, 1, false, "Write file failed"},
    {"SetFilePointerEx", FALSE, 3, 1, false, "Write file failed"},
    {"SetFilePointerEx", FALSE, 4, 1, false, "Write file failed"},
};

// Real WinMM, adding up what the device handed back: the bytes of each returned buffer, once
// per time it was queued, seen when it is unprepared or its device closes. With lateDone a reset
// returns with the oldest buffer not yet marked done, as a driver may, and marks it 50 ms later
// unless its memory was freed by then.
class CCountingServices : public CTestAudioServices {
public:
    ~CCountingServices() override
    {
        if (m_late.joinable())
            m_late.join();
    }
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override
    {
        m_queued.insert(header);
        m_order.erase(std::remove(m_order.begin(), m_order.end(), header), m_order.end());
        m_order.push_back(header);
        return CTestAudioServices::waveInAddBuffer(handle, header, size);
    }
    MMRESULT waveInReset(HWAVEIN handle) override
    {
        const MMRESULT result = CTestAudioServices::waveInReset(handle);
        if (!lateDone || result != MMSYSERR_NOERROR)
            return result;
        // The device queues in the order of its calls: the oldest queued is the one added longest ago.
        auto oldest = std::find_if(m_order.begin(), m_order.end(), [&](WAVEHDR* h) { return m_queued.count(h) > 0; });
        if (oldest != m_order.end() && ((*oldest)->dwFlags & WHDR_DONE)) {
            WAVEHDR* header = *oldest;
            header->dwFlags &= ~WHDR_DONE;
            m_late = std::thread([this, header] {
                Sleep(50);
                std::lock_guard<std::mutex> lock(m_freeing);
                if (!m_freed.count(header))
                    header->dwFlags |= WHDR_DONE;
            });
        }
        return result;
    }
    HGLOBAL GlobalFree(HGLOBAL memory) override
    {
        std::lock_guard<std::mutex> lock(m_freeing);
        m_freed.insert(memory);
        return CTestAudioServices::GlobalFree(memory);
    }
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override
    {
        Returned(header);
        return CTestAudioServices::waveInUnprepareHeader(handle, header, size);
    }
    MMRESULT waveInClose(HWAVEIN handle) override
    {
        const MMRESULT result = CTestAudioServices::waveInClose(handle);
        for (auto it = m_queued.begin(); result == MMSYSERR_NOERROR && it != m_queued.end();)
            Returned(*it++);
        return result;
    }
    MMRESULT waveInStart(HWAVEIN handle) override
    {
        QueryPerformanceCounter(&m_started);
        return CTestAudioServices::waveInStart(handle);
    }
    // The sound of the time since the device started, as the engine counts it at Stop.
    ULONGLONG BytesSinceStart(DWORD bytesPerSecond) const
    {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return static_cast<ULONGLONG>(now.QuadPart - m_started.QuadPart) * bytesPerSecond / frequency.QuadPart;
    }
    DWORD recorded = 0;
    bool lateDone = false;
    // Waits, without taking messages, until the device holds `n` filled buffers not yet taken.
    bool AwaitFilled(size_t n)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; Sleep(5))
            if (static_cast<size_t>(std::count_if(m_queued.begin(), m_queued.end(),
                                                  [](WAVEHDR* h) { return (h->dwFlags & WHDR_DONE) != 0; })) >= n)
                return true;
        return false;
    }

private:
    void Returned(WAVEHDR* header)
    {
        recorded += (header->dwFlags & WHDR_DONE) && m_queued.erase(header) ? header->dwBytesRecorded : 0;
    }
    std::set<WAVEHDR*> m_queued;
    std::vector<WAVEHDR*> m_order;
    std::thread m_late;
    std::mutex m_freeing;
    std::set<const void*> m_freed;
    LARGE_INTEGER m_started{};
};

class EngineFailure : public ::testing::TestWithParam<FailureRow> {
protected:
    void SetUp() override
    {
        if (CAudioPlayRec::GetInDeviceCount() == 0 || CAudioPlayRec::GetOutDeviceCount() == 0)
            GTEST_SKIP() << "no wave devices under this Wine";
        host.CreateEx(0, AfxRegisterWndClass(0), "host", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0);
        CRect rc(0, 0, 100, 100);
        ASSERT_TRUE(engine->Initialize(0, 4096, host, &rc, &EngineFailure::Notify, &closes));
    }
    static void Notify(UINT msg, void* user) { *static_cast<int*>(user) += msg == MM_WIM_CLOSE || msg == MM_WOM_CLOSE; }
    bool WaitForIdle() { return PumpUntil([&] { return engine->GetStatus() == STATUS_IDLE; }, 5000); }
    // Records until the device has handed back about `blocks` buffers, then stops; with `close`,
    // closes the engine once the device holds filled buffers, ending the stop at once.
    void Record(int blocks, bool close = false)
    {
        if (engine->StartRecord(CHANNEL_STEREO, 22050, 16)) {
            engine->OpenOutputFile(0, file.c_str());
            PumpUntil([&] {
                return services.Count("waveInAddBuffer") > blocks || engine->GetStatus() != STATUS_RECORDING;
            });
        }
        recordedAtStop = services.recorded;
        wantedAtStop = services.BytesSinceStart(88200);
        engine->Stop();
        if (close) {
            EXPECT_TRUE(services.AwaitFilled(3)) << "the device filled no buffers";
            engine->Close();
        }
    }

    CHostDir dir;
    const std::string file = dir.File("test.wav");
    CapturedMessageBoxes boxes{300}; // read for a while, so a box shown inside another is seen
    CCountingServices services;
    CWnd host;
    std::unique_ptr<CAudioPlayRec> engine = std::make_unique<CAudioPlayRec>();
    int closes = 0;
    DWORD recordedAtStop = 0;
    ULONGLONG wantedAtStop = 0;
};

// Catches: a failure told twice or never, once per buffer, or a box shown inside another; a
// status stuck after a failed close, or a device whose close failed left open (Record and Play
// dead until restart); a block lost or written twice at the end, also one the device marks done
// after its reset; buffers freed under a device whose close failed; sizes that lie after a
// failed write or seek.
TEST_P(EngineFailure, IsToldOnceKeepsEveryBlockAndReturnsToIdle)
{
    const FailureRow& row = GetParam();
    services.lateDone = !row.message;
    if (!row.play && row.message)
        services.Fail(row.call, row.result, row.nth, row.times);
    Record(60, services.lateDone);
    ASSERT_TRUE(WaitForIdle()) << "status stuck at " << engine->GetStatus();
    if (row.play) {
        closes = 0;
        services.Fail(row.call, row.result, row.nth, row.times);
        if (engine->Play(file.c_str()))
            PumpUntil([&] { return services.Count("waveOutWrite") > 16 || engine->GetStatus() != STATUS_PLAYING; });
        engine->Stop();
        ASSERT_TRUE(WaitForIdle()) << "status stuck at " << engine->GetStatus();
    }
    PumpUntil([&] { return !boxes.Texts().empty() && closes > 0; }, 3000);
    PumpUntil([] { return false; }, 300);
    if (!strstr(row.call, "Open")) {
        EXPECT_GT(closes, 0) << "the owner was never told the device closed";
    }
    ASSERT_EQ(row.message ? 1u : 0u, boxes.Texts().size()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0] + " | " + boxes.Texts().back());
    if (row.message) {
        EXPECT_EQ(1, boxes.maxDepth);
        const std::string& text = boxes.Texts()[0];
        EXPECT_EQ(row.message, text.substr(text.size() - std::min(text.size(), strlen(row.message))));
    }

    const std::string bytes = ReadFileBytes(file);
    if (bytes.size() > 46) {
        DWORD sizes[2]; // RIFF, data
        memcpy(&sizes[0], &bytes[4], 4), memcpy(&sizes[1], &bytes[42], 4);
        EXPECT_EQ(bytes.size() - 8, sizes[0]);
        EXPECT_EQ(bytes.size() - 46, sizes[1]);
        // Stopped, the file ends where Stop was: after what the device had handed back then.
        if (!strstr(row.call, "File")) {
            EXPECT_LE(recordedAtStop, sizes[1]) << "bytes the device had handed back at Stop against the file's";
            EXPECT_GE(services.recorded, sizes[1]) << "bytes the device handed back against the file's";
        }
        if (services.lateDone) {
            EXPECT_NEAR(std::min<ULONGLONG>(services.recorded, wantedAtStop), sizes[1], 16)
                << "bytes the device handed back up to Stop against the file's";
        }
    }
    // The device whose close failed is closed before the next one opens.
    if (strstr(row.call, "Close")) {
        const int closed = services.Count(row.call);
        Record(10);
        ASSERT_TRUE(WaitForIdle()) << "status stuck at " << engine->GetStatus();
        // The retry, and for an input the new recording's own close.
        EXPECT_EQ(closed + (row.play ? 1 : 2), services.Count(row.call)) << "the failed close was not tried again";
        EXPECT_EQ(1u, boxes.Texts().size());
    }
    engine.reset();
    EXPECT_EQ(0, services.freedWhileHeld) << "buffers freed while a device held them";
}

INSTANTIATE_TEST_SUITE_P(Rows, EngineFailure, ::testing::ValuesIn(FAILURES),
                         [](const auto& info) {
                             const FailureRow& row = info.param;
                             return row.call + std::string(row.message ? "" : "Late") +
                                    (strstr(row.call, "Pointer") ? std::to_string(row.nth) : "");
                         });

} // namespace
