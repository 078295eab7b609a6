// The engine's MP3 path with the fake capture device and stand-in encoder libraries: each is
// a real "lame_enc.dll", copied into the test's current folder where the engine loads it.
// The stand-ins pass the PCM through as their "MP3" bytes and log every call to calls.log,
// so the files show exactly what was fed.
#include "AudioPlayRec/EngineFixture.h"
#include <sstream>

namespace {

const DWORD kBufferSize = 4096;
const std::string kEnd = "END!";

std::string ExeFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/"));
}

Strings Lines(const std::string& text)
{
    Strings lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Bytes(const std::vector<BYTE>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// One channel's bytes of interleaved 16-bit stereo data.
std::string ChannelOf(const std::vector<BYTE>& stereo, int nChannel)
{
    std::string channel;
    for (size_t i = nChannel * 2; i + 1 < stereo.size(); i += 4)
        channel.append(reinterpret_cast<const char*>(&stereo[i]), 2);
    return channel;
}

class Mp3EngineTest : public EngineTest {
protected:
    // Puts the stand-in `variant` (or "real": our lame_enc.dll; "none": nothing) into the
    // current folder.
    void UseLibrary(const std::string& variant)
    {
        if (variant == "none") {
            Init();
            return;
        }
        const std::string source = variant == "real" ? ExeFolder() + "\\lame_enc\\lame_enc.dll"
                                                     : ExeFolder() + "\\fake_lame\\" + variant + "\\lame_enc.dll";
        ASSERT_TRUE(CopyFileA(source.c_str(), dir.File("lame_enc.dll").c_str(), FALSE)) << source;
        Init();
    }

    // Stops as the dialog does; the device's buffers come back empty and end the recording.
    void StopRecording()
    {
        engine.Stop();
        while (fake.ReturnInput(0))
            Drain();
        ASSERT_EQ(STATUS_IDLE, engine.GetStatus());
    }

    Strings Calls() const { return Lines(FileBytes("calls.log")); }

    // How often the engine reported a loaded library's version.
    size_t VersionReports() const
    {
        const std::string all = trace.All();
        size_t count = 0;
        for (size_t pos = all.find("lame_enc.dll version"); pos != std::string::npos;
             pos = all.find("lame_enc.dll version", pos + 1))
            ++count;
        return count;
    }

    // True when the WAV file ends with exactly the bytes captured.
    bool WaveEndsWithReturnAndDrain(const char* file) const
    {
        const std::string wave = FileBytes(file), captured = Bytes(fake.returnedInput);
        return wave.size() > captured.size() &&
               wave.compare(wave.size() - captured.size(), std::string::npos, captured) == 0;
    }
};

TEST_F(Mp3EngineTest, StereoRecordingFeedsWholeChunksAndTheRestAtTheEnd)
{
    UseLibrary("full");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_STEREO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, "Test.MP3"));
    EXPECT_EQ("lame_enc.dll version 9.08 (5/4/2003)\nlame_enc Engine 7.06\nlame_enc homepage at "
              "http://fake.example\n\n",
              trace.All());
    for (int i = 0; i < 5; ++i)
        ReturnAndDrain(kBufferSize);
    // 20480 bytes in 2304-byte chunks: eight encoded, 2048 bytes wait for the end.
    Strings calls = Calls();
    ASSERT_EQ(9u, calls.size());
    EXPECT_EQ("beInitStream 1 mode=1", calls[0]);
    for (size_t i = 1; i < calls.size(); ++i)
        EXPECT_EQ("beEncodeChunk 1 1152", calls[i]) << i;
    StopRecording();
    calls = Calls();
    const Strings tail(calls.begin() + 9, calls.end());
    EXPECT_EQ((Strings{"beEncodeChunk 1 1024", "beDeinitStream 1", "beCloseStream 1",
                                        "beWriteInfoTag 1 test.mp3"}),
              tail);
    EXPECT_EQ(Bytes(fake.returnedInput) + kEnd, FileBytes("test.mp3"));
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(nullptr, GetModuleHandleA("lame_enc.dll")) << "unloaded at the end of the recording";
}

TEST_F(Mp3EngineTest, AloneRecordingGivesEachChannelItsStreamAndLoadsTheLibraryOnce)
{
    UseLibrary("full");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_ALONE, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test_left.mp3"));
    ASSERT_TRUE(engine.OpenOutputFile(1, "test_right.mp3"));
    EXPECT_EQ(1u, VersionReports()) << trace.All();
    for (int i = 0; i < 3; ++i)
        ReturnAndDrain(kBufferSize);
    StopRecording();
    EXPECT_EQ(ChannelOf(fake.returnedInput, 0) + kEnd, FileBytes("test_left.mp3"));
    EXPECT_EQ(ChannelOf(fake.returnedInput, 1) + kEnd, FileBytes("test_right.mp3"));
    const Strings calls = Calls();
    EXPECT_EQ("beInitStream 1 mode=3", calls.at(0));
    EXPECT_EQ("beInitStream 2 mode=3", calls.at(1));
    EXPECT_EQ("beWriteInfoTag 2 test_right.mp3", calls.back());
    EXPECT_TRUE(Texts().empty());
}

TEST_F(Mp3EngineTest, MonoRecordingShorterThanOneChunkKeepsItsSound)
{
    UseLibrary("full");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    ReturnAndDrain(1000);
    StopRecording();
    EXPECT_EQ("beInitStream 1 mode=3", Calls().at(0));
    EXPECT_EQ("beEncodeChunk 1 500", Calls().at(1));
    EXPECT_EQ(Bytes(fake.returnedInput) + kEnd, FileBytes("test.mp3"));
}

TEST_F(Mp3EngineTest, LibraryWithoutInfoTagFinishesWithTheVbrHeader)
{
    UseLibrary("without_infotag");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    ReturnAndDrain(kBufferSize);
    StopRecording();
    EXPECT_EQ("beWriteVBRHeader 0 test.mp3", Calls().back());
    EXPECT_EQ(Bytes(fake.returnedInput) + kEnd, FileBytes("test.mp3"));
    EXPECT_TRUE(Texts().empty());
}

TEST_F(Mp3EngineTest, LibraryMissingAnEntryPointIsRefusedAndUnloadedAtOnce)
{
    UseLibrary("without_deinit");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_ALONE, 22050, 16));
    EXPECT_FALSE(engine.OpenOutputFile(0, "test_left.mp3"));
    EXPECT_EQ(nullptr, GetModuleHandleA("lame_enc.dll"));
    EXPECT_FALSE(engine.OpenOutputFile(1, "test_right.mp3")) << "a second load must not report success";
    EXPECT_EQ((Strings{"Unable to get LAME interfaces", "Unable to get LAME interfaces"}),
              Texts());
    EXPECT_TRUE(Calls().empty()) << "no entry point was called";
    ReturnAndDrain(kBufferSize);
    StopRecording();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("test_left.mp3").c_str()));
}

TEST_F(Mp3EngineTest, NoLibraryIsReported)
{
    UseLibrary("none");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    EXPECT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    EXPECT_FALSE(engine.OpenOutputFile(0, "test.mp3"));
    EXPECT_EQ(Strings{"Error loading lame_enc.DLL"}, Texts());
    ReturnAndDrain(kBufferSize);
    StopRecording();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("test.mp3").c_str()));
    EXPECT_TRUE(WaveEndsWithReturnAndDrain("test.wav")) << "the WAV output goes on";
}

TEST_F(Mp3EngineTest, EightBitRecordingHasNoMp3Output)
{
    UseLibrary("full");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 8));
    EXPECT_FALSE(engine.OpenOutputFile(0, "test.mp3"));
    EXPECT_EQ(Strings{"Cannot record 8 bits mp3"}, Texts());
    EXPECT_EQ(nullptr, GetModuleHandleA("lame_enc.dll"));
    StopRecording();
}

TEST_F(Mp3EngineTest, EncodingErrorClosesThatChannelsOutputOnly)
{
    UseLibrary("encode_fails");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_STEREO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.wav"));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    for (int i = 0; i < 4; ++i)
        ReturnAndDrain(kBufferSize);
    EXPECT_EQ(Strings{"m_ForMp3_Proc_hEncodeChunk() failed (2)"}, Texts());
    StopRecording();
    EXPECT_EQ((Strings{"beInitStream 1 mode=1", "beEncodeChunk 1 1152", "beEncodeChunk 1 1152",
                                        "beCloseStream 1"}),
              Calls())
        << "nothing is fed to the closed stream, and it is not finished again";
    EXPECT_EQ(Bytes(fake.returnedInput).substr(0, 2304), FileBytes("test.mp3"));
    EXPECT_TRUE(WaveEndsWithReturnAndDrain("test.wav"));
    EXPECT_EQ(1u, Texts().size());
}

TEST_F(Mp3EngineTest, FailedFlushClosesTheFileWithWhatWasWritten)
{
    UseLibrary("deinit_fails");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    ReturnAndDrain(kBufferSize);
    StopRecording();
    EXPECT_EQ(Strings{"beExitStream failed (5)"}, Texts());
    EXPECT_EQ((Strings{"beInitStream 1 mode=3", "beEncodeChunk 1 576", "beEncodeChunk 1 576", "beEncodeChunk 1 576",
                       "beEncodeChunk 1 320", "beDeinitStream 1", "beCloseStream 1"}),
              Calls())
        << "no tag for a stream that was not finished";
    EXPECT_EQ(Bytes(fake.returnedInput), FileBytes("test.mp3"));
    EXPECT_EQ(nullptr, GetModuleHandleA("lame_enc.dll"));
}

TEST_F(Mp3EngineTest, FileThatCannotBeCreatedReleasesItsStream)
{
    UseLibrary("full");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    EXPECT_FALSE(engine.OpenOutputFile(0, "no_such_folder\\test.mp3"));
    EXPECT_EQ(Strings{"Error creating file no_such_folder\\test.mp3"}, Texts());
    EXPECT_EQ((Strings{"beInitStream 1 mode=3", "beCloseStream 1"}), Calls());
    StopRecording();
}

TEST_F(Mp3EngineTest, StreamTheLibraryRefusesIsReportedWithItsCode)
{
    UseLibrary("real");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 11000, 16));
    EXPECT_FALSE(engine.OpenOutputFile(0, "test.mp3"));
    EXPECT_EQ(Strings{"Error opening encoding stream (2)"}, Texts());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.File("test.mp3").c_str()));
    StopRecording();
}

TEST_F(Mp3EngineTest, ReopeningAChannelStartsItsFileAnew)
{
    UseLibrary("full");
    ASSERT_TRUE(engine.StartRecord(CHANNEL_MONO, 22050, 16));
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    EXPECT_TRUE(engine.OpenOutputFile(0, "test.mp3")) << "already open counts as success";
    ReturnAndDrain(kBufferSize);
    engine.CloseOutputFile(0, "MP3");
    EXPECT_EQ(Bytes(fake.returnedInput) + kEnd, FileBytes("test.mp3"));
    fake.returnedInput.clear();
    ASSERT_TRUE(engine.OpenOutputFile(0, "test.mp3"));
    ReturnAndDrain(600);
    StopRecording();
    EXPECT_EQ(Bytes(fake.returnedInput) + kEnd, FileBytes("test.mp3"));
    EXPECT_EQ(1u, VersionReports()) << "the library stays loaded for the whole recording";
}

} // namespace
