// The engine's MP3 path with the fake capture device and stand-in encoder libraries: each is
// a real "lame_enc.dll", copied into the test's current folder where the engine loads it.
// The stand-ins pass the PCM through as their "MP3" bytes, end a flushed stream with "END!"
// and log every call to calls.log, so the files show exactly what was fed.
#include "AudioPlayRec/EngineFixture.h"
#include <algorithm>

namespace {

const DWORD kBufferSize = 4096;
const char kVersionTrace[] = "lame_enc.dll version 9.08 (5/4/2003)\nlame_enc Engine 7.06\n"
                             "lame_enc homepage at http://fake.example\n\n";

std::string Times(int n, const std::string& line)
{
    std::string all;
    while (n-- > 0)
        all += line;
    return all;
}

class Mp3EngineTest : public EngineTest {
protected:
    // Puts the stand-in `variant` ("real": our lame_enc.dll; "none": nothing) into the current
    // folder and starts a recording afresh, so table rows can share the fixture.
    void Start(const std::string& variant, int nMode, DWORD dwRate = 22050, WORD wBits = 16)
    {
        const std::string source =
            ExeFolder() + (variant == "real" ? "\\lame_enc" : "\\fake_lame\\" + variant) + "\\lame_enc.dll";
        for (const char* name : {"lame_enc.dll", "calls.log", "test.mp3"})
            DeleteFileA(dir.File(name).c_str());
        if (variant != "none") {
            ASSERT_TRUE(CopyFileA(source.c_str(), dir.File("lame_enc.dll").c_str(), FALSE)) << source;
        }
        if (!m_bInitialized)
            Init();
        m_bInitialized = true;
        trace.lines.clear();
        boxes.shown.clear();
        fake.returnedInput.clear();
        ASSERT_TRUE(engine.StartRecord(nMode, dwRate, wBits));
    }

    // Stops as the dialog does; the device's buffers come back empty and end the recording.
    void StopRecording()
    {
        engine.Stop();
        while (fake.ReturnInput(0))
            Drain();
        ASSERT_EQ(STATUS_IDLE, engine.GetStatus());
        EXPECT_EQ(nullptr, GetModuleHandleA("lame_enc.dll")) << "unloaded at the end of the recording";
    }

    long VersionReports() const
    {
        return std::count_if(trace.lines.begin(), trace.lines.end(),
                             [](const std::string& line) { return line.find("lame_enc.dll version") == 0; });
    }

    std::string Captured(size_t nBytes = std::string::npos) const
    {
        return std::string(fake.returnedInput.begin(), fake.returnedInput.end()).substr(0, nBytes);
    }

private:
    bool m_bInitialized = false;
};

// A recording with WAV and MP3 outputs on channel 0. `calls` is the library's log, '|' marking
// where the recording stops: whole chunks are fed as they fill, the rest only at the end.
TEST_F(Mp3EngineTest, RecordingFeedsTheLibraryChunkByChunk)
{
    const std::string kStereoInit = "beInitStream 1 mode=1\n", kMonoInit = "beInitStream 1 mode=3\n";
    const std::string kFinish = "beDeinitStream 1\nbeCloseStream 1\n", kTag = "beWriteInfoTag 1 test.mp3\n";
    const std::string kMonoChunks = Times(3, "beEncodeChunk 1 576\n") + "|beEncodeChunk 1 320\n";
    const size_t kAll = std::string::npos;
    const struct {
        const char* variant;
        int nMode;
        DWORD dwBytes;  // captured, in blocks of at most kBufferSize
        std::string calls;
        const char* message;
        size_t nKept;  // bytes of the capture in the MP3 file, which ends "END!" when flushed
    } cases[] = {
        {"full", CHANNEL_STEREO, 5 * kBufferSize,
         kStereoInit + Times(8, "beEncodeChunk 1 1152\n") + "|beEncodeChunk 1 1024\n" + kFinish + kTag, nullptr, kAll},
        {"full", CHANNEL_MONO, 1000, kMonoInit + "|beEncodeChunk 1 500\n" + kFinish + kTag, nullptr, kAll},
        {"without_infotag", CHANNEL_MONO, kBufferSize,
         kMonoInit + kMonoChunks + kFinish + "beWriteVBRHeader 0 test.mp3\n", nullptr, kAll},
        // No tag for a stream that was not finished.
        {"deinit_fails", CHANNEL_MONO, kBufferSize, kMonoInit + kMonoChunks + kFinish, "beExitStream failed (5)", kAll},
        // Nothing more is fed to a failed stream, and it is not finished again.
        {"encode_fails", CHANNEL_STEREO, 4 * kBufferSize,
         kStereoInit + Times(2, "beEncodeChunk 1 1152\n") + "beCloseStream 1\n|",
         "m_ForMp3_Proc_hEncodeChunk() failed (2)", 2304},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variant + std::string(" ") + c.calls);
        Start(c.variant, c.nMode);
        ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
        ASSERT_TRUE(engine.OpenOutputFile(0, "Test.MP3"));
        EXPECT_EQ(kVersionTrace, trace.All());
        for (DWORD dwDone = 0; dwDone < c.dwBytes; dwDone += kBufferSize)
            ReturnAndDrain(std::min(kBufferSize, c.dwBytes - dwDone));
        const size_t stop = c.calls.find('|');
        EXPECT_EQ(c.calls.substr(0, stop), FileBytes("calls.log"));
        StopRecording();
        EXPECT_EQ(c.calls.substr(0, stop) + c.calls.substr(stop + 1), FileBytes("calls.log"));
        EXPECT_EQ(c.message ? Strings{c.message} : Strings{}, Texts());
        EXPECT_EQ(Captured(c.nKept) + (c.message ? "" : "END!"), FileBytes("test.mp3"));
        const std::string wave = FileBytes("test.wav");
        EXPECT_EQ(Captured(), wave.substr(wave.size() - std::min(wave.size(), Captured().size())))
            << "the WAV output goes on";
    }
}

// Each row fails to open an MP3 output, twice: a failed load must not leave a later one to
// report success.
TEST_F(Mp3EngineTest, OutputThatCannotOpenIsReportedAndReleased)
{
    const struct {
        const char* variant;
        DWORD dwRate;
        WORD wBits;
        const char* file;
        const char* message;
        const char* calls;
        bool bUnloaded;
    } cases[] = {
        {"none", 22050, 16, "test.mp3", "Error loading lame_enc.DLL", "", true},
        {"full", 22050, 8, "test.mp3", "Cannot record 8 bits mp3", "", true},
        {"without_deinit", 22050, 16, "test.mp3", "Unable to get LAME interfaces", "", true},
        {"real", 11000, 16, "test.mp3", "Error opening encoding stream (2)", "", false},
        {"full", 22050, 16, "no_such_folder\\test.mp3", "Error creating file no_such_folder\\test.mp3",
         "beInitStream 1 mode=3\nbeCloseStream 1\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Start(c.variant, CHANNEL_MONO, c.dwRate, c.wBits);
        EXPECT_FALSE(engine.OpenOutputFile(0, c.file));
        EXPECT_EQ(Strings{c.message}, Texts());
        EXPECT_EQ(c.calls, FileBytes("calls.log"));
        EXPECT_TRUE(!c.bUnloaded || !GetModuleHandleA("lame_enc.dll")) << "unloaded at once";
        EXPECT_FALSE(engine.OpenOutputFile(0, c.file));
        ReturnAndDrain(kBufferSize);
        StopRecording();
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("test.mp3").c_str()));
    }
}

TEST_F(Mp3EngineTest, AloneRecordingGivesEachChannelItsStreamAndLoadsTheLibraryOnce)
{
    Start("full", CHANNEL_ALONE);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test_left.mp3"));
    ASSERT_TRUE(engine.OpenOutputFile(1, "test_right.mp3"));
    EXPECT_EQ(1, VersionReports()) << trace.All();
    for (int i = 0; i < 3; ++i)
        ReturnAndDrain(kBufferSize);
    StopRecording();
    const std::string captured = Captured();
    std::string left, right;
    for (size_t i = 0; i + 3 < captured.size(); i += 4) {
        left += captured.substr(i, 2);
        right += captured.substr(i + 2, 2);
    }
    EXPECT_EQ(left + "END!", FileBytes("test_left.mp3"));
    EXPECT_EQ(right + "END!", FileBytes("test_right.mp3"));
    EXPECT_EQ(0u, FileBytes("calls.log").find("beInitStream 1 mode=3\nbeInitStream 2 mode=3\n"));
    EXPECT_TRUE(Texts().empty());
}

TEST_F(Mp3EngineTest, ReopeningAChannelStartsItsFileAnew)
{
    Start("full", CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    EXPECT_TRUE(engine.OpenOutputFile(0, "test.mp3")) << "already open counts as success";
    ReturnAndDrain(kBufferSize);
    engine.CloseOutputFile(0, "MP3");
    EXPECT_EQ(Captured() + "END!", FileBytes("test.mp3"));
    fake.returnedInput.clear();
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    ReturnAndDrain(600);
    StopRecording();
    EXPECT_EQ(Captured() + "END!", FileBytes("test.mp3"));
    EXPECT_EQ(1, VersionReports()) << "the library stays loaded for the whole recording";
}

} // namespace
