// WAV files: the exact bytes the engine writes, read back by sox, and the reader's handling
// of the files it is given to play.
#include "EngineFixture.h"

namespace {

std::string Header(WORD channels, DWORD dataBytes)
{
    const DWORD pad = dataBytes % 2;
    return "RIFF" + Le32Bytes(38 + dataBytes + pad) + "WAVE" + "fmt " + Le32Bytes(18) + Le16Bytes(WAVE_FORMAT_PCM) +
           Le16Bytes(channels) + Le32Bytes(22050) + Le32Bytes(22050u * channels * 2) + Le16Bytes(channels * 2) +
           Le16Bytes(16) + Le16Bytes(0) + "data" + Le32Bytes(dataBytes);
}

std::string Bytes(const std::vector<BYTE>& bytes, size_t first, size_t count, size_t stride = 1, size_t width = 0)
{
    std::string out;
    if (stride == 1) {
        out.assign(reinterpret_cast<const char*>(bytes.data()) + first, count);
        return out;
    }
    for (size_t at = first; out.size() < count; at += stride)
        out.append(reinterpret_cast<const char*>(bytes.data()) + at, width);
    return out;
}

} // namespace

struct LayoutCase {
    const char* label;
    int nMode;
    int nChannel;
    const char* file;
    std::vector<DWORD> blocks; // bytes per captured block
    WORD channels;             // in the file's header
    size_t dataBytes;
    size_t firstByte; // of the captured stream that the file's data starts with
};

class WaveLayout : public EngineTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(WaveLayout, IsTheRiffLayoutByteForByteAndSoxReadsIt)
{
    const LayoutCase& c = GetParam();
    Init();
    Record(c.nMode);
    ASSERT_TRUE(engine.OpenOutputFile(c.nChannel, c.file));
    for (DWORD block : c.blocks)
        ReturnAndDrain(block);
    engine.Stop();
    FireTimer(1);

    const std::vector<BYTE>& in = fake.returnedInput;
    std::string data = c.nMode == CHANNEL_ALONE ? Bytes(in, c.firstByte, c.dataBytes, 4, 2)
                                                : Bytes(in, c.firstByte, c.dataBytes);
    std::string expected = Header(c.channels, static_cast<DWORD>(c.dataBytes)) + data +
                           (c.dataBytes % 2 ? std::string(1, '\0') : "");
    EXPECT_EQ(FileBytes(c.file), expected);

    std::string out;
    ASSERT_EQ(RunHost(dir, std::string("f=") + c.file +
                               "; sox --i -c $f; sox --i -r $f; sox --i -b $f; sox --i -e $f; sox --i -s $f; "
                               "sox -V1 $f -t raw raw.bin",
                      &out),
              0)
        << out;
    const size_t samples = c.dataBytes / (2 * c.channels);
    EXPECT_EQ(out, std::to_string(c.channels) + "\n22050\n16\nSigned Integer PCM\n" + std::to_string(samples) + "\n");
    EXPECT_EQ(FileBytes("raw.bin"), data.substr(0, samples * 2 * c.channels));
}

INSTANTIATE_TEST_SUITE_P(
    Files, WaveLayout,
    ::testing::Values(LayoutCase{"MonoOdd", CHANNEL_MONO, 0, "test.wav", {4096, 1001}, 1, 5097, 0},
                      LayoutCase{"Stereo", CHANNEL_STEREO, 0, "test.wav", {4096, 100, 4096}, 2, 8292, 0},
                      LayoutCase{"AloneLeft", CHANNEL_ALONE, 0, "test_left.wav", {4096, 1002}, 1, 2548, 0},
                      LayoutCase{"AloneRight", CHANNEL_ALONE, 1, "test_right.wav", {4096, 4096}, 1, 4096, 2},
                      LayoutCase{"Empty", CHANNEL_STEREO, 0, "test.wav", {}, 2, 0, 0}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.label); });

TEST_F(EngineTest, OpeningANameThatExistsReplacesTheFile)
{
    ASSERT_TRUE(WriteFileBytes(dir.File("test.wav"), std::string(100000, 'x')));
    Init();
    Record(CHANNEL_MONO);
    ASSERT_TRUE(engine.OpenOutputFile(0, "Test.Wav"));
    ReturnAndDrain(10);
    engine.Stop();
    FireTimer(1);
    EXPECT_EQ(FileBytes("test.wav").size(), 56u);
}

TEST_F(EngineTest, AnAloneRecordingWithOnlyLeftWritesOnlyTheLeftFile)
{
    Init();
    Record(CHANNEL_ALONE);
    ASSERT_TRUE(engine.OpenOutputFile(0, "test_left.wav"));
    ReturnAndDrain(4096);
    engine.Stop();
    FireTimer(1);
    EXPECT_EQ(FileBytes("test_left.wav").size(), 46u + 2048u);
    EXPECT_EQ(GetFileAttributesA(dir.File("test_right.wav").c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---------------------------------------------------------------------------------------
// Reading

struct BadFile {
    const char* label;
    std::string bytes;
    const char* message;
};

class RefusedWave : public EngineTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(RefusedWave, IsRefusedWithItsMessageAndClosedAgain)
{
    const BadFile& c = GetParam();
    Init();
    ASSERT_TRUE(WriteFileBytes(dir.File("in.wav"), c.bytes));
    EXPECT_FALSE(engine.Play("in.wav"));
    EXPECT_EQ(Texts(), Strings({c.message}));
    EXPECT_EQ(fake.Count("waveOutOpen"), 0);
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
    EXPECT_EQ(fake.Count("mmioOpenA"), fake.Count("mmioClose"));
    EXPECT_TRUE(DeleteFileA(dir.File("in.wav").c_str()));

    ASSERT_TRUE(WriteFileBytes(dir.File("good.wav"), MakeWave(FmtBody(WAVE_FORMAT_PCM, 1, 22050, 16), "\1\2\3\4")));
    EXPECT_TRUE(engine.Play("good.wav"));
}

const std::string kData(64, '\x11');

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedWave,
    ::testing::Values(
        BadFile{"Empty", "", "Error descending into file"},
        BadFile{"NotRiff", "JUNK" + Le32Bytes(4) + "WAVE", "Error descending into file"},
        BadFile{"NotWave", "RIFF" + Le32Bytes(4) + "AVI ", "Error descending into file"},
        BadFile{"NoFmt", Riff(Chunk("data", kData)), "Error descending in wave file"},
        BadFile{"NoData", Riff(Chunk("fmt ", FmtBody(1, 1, 22050, 16))), "error reading data chunk"},
        BadFile{"DataBeforeFmtOnly", Riff(Chunk("data", kData) + Chunk("fmt ", FmtBody(1, 1, 22050, 16))),
                "error reading data chunk"},
        BadFile{"FmtTooShort", Riff(Chunk("fmt ", FmtBody(1, 1, 22050, 16).substr(0, 12)) + Chunk("data", kData)),
                "Error reading PCM wave format record"},
        BadFile{"FmtCutShort", Riff("fmt " + Le32Bytes(16) + FmtBody(1, 1, 22050, 16).substr(0, 10)),
                "Error reading PCM wave format record"},
        BadFile{"Float", MakeWave(FmtBody(3, 1, 22050, 32), kData), "Error reading PCM wave format record"},
        BadFile{"Extensible", MakeWave(FmtBody(0xFFFE, 2, 22050, 16, 40), kData),
                "Error reading PCM wave format record"},
        BadFile{"NoChannels", MakeWave(FmtBody(1, 0, 22050, 16), kData), "Error reading PCM wave format record"},
        BadFile{"ThreeChannels", MakeWave(FmtBody(1, 3, 22050, 16), kData), "Error reading PCM wave format record"},
        BadFile{"Bits24", MakeWave(FmtBody(1, 2, 22050, 24), kData), "Error reading PCM wave format record"},
        BadFile{"Bits12", MakeWave(FmtBody(1, 1, 22050, 12), kData), "Error reading PCM wave format record"},
        BadFile{"RateZero", MakeWave(FmtBody(1, 1, 0, 16), kData), "Error reading PCM wave format record"},
        BadFile{"RateAbsurd", MakeWave(FmtBody(1, 1, 0xFFFFFFFF, 16), kData), "Error reading PCM wave format record"},
        BadFile{"BlockAlignWrong", MakeWave(FmtBody(1, 2, 22050, 16, 16, 2), kData),
                "Error reading PCM wave format record"}),
    [](const ::testing::TestParamInfo<BadFile>& info) { return std::string(info.param.label); });

TEST_F(EngineTest, AMissingFileCannotBeOpened)
{
    Init();
    EXPECT_FALSE(engine.Play("missing.wav"));
    EXPECT_EQ(Texts(), Strings({"Open wave file failed"}));
}

struct GoodFile {
    const char* label;
    DWORD fmtSize;
    WORD channels;
    DWORD rate;
    WORD bits;
    std::string trailer; // chunks after "data"
};

class AcceptedWave : public EngineTest, public ::testing::WithParamInterface<GoodFile> {};

TEST_P(AcceptedWave, PlaysExactlyItsSampleData)
{
    const GoodFile& c = GetParam();
    Init();
    std::string data;
    for (int i = 0; i < 10001; ++i)
        data += static_cast<char>(CFakeAudioServices::PatternByte(i));
    data.resize(data.size() / (c.channels * c.bits / 8) * (c.channels * c.bits / 8));
    std::string file =
        Riff(Chunk("fmt ", FmtBody(WAVE_FORMAT_PCM, c.channels, c.rate, c.bits, c.fmtSize)) + Chunk("data", data) +
             c.trailer);
    ASSERT_TRUE(WriteFileBytes(dir.File("in.wav"), file));
    ASSERT_TRUE(engine.Play("in.wav"));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(fake.outFormat.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(fake.outFormat.nChannels, c.channels);
    EXPECT_EQ(fake.outFormat.nSamplesPerSec, c.rate);
    EXPECT_EQ(fake.outFormat.wBitsPerSample, c.bits);
    EXPECT_EQ(fake.outFormat.nBlockAlign, c.channels * c.bits / 8);
    EXPECT_EQ(fake.outFormat.nAvgBytesPerSec, c.rate * c.channels * c.bits / 8);
    EXPECT_EQ(fake.outFormat.cbSize, 0);
    while (fake.CompleteOutput())
        Drain();
    EXPECT_EQ(std::string(fake.heard.begin(), fake.heard.end()), data);
    EXPECT_EQ(engine.GetStatus(), STATUS_IDLE);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AcceptedWave,
    ::testing::Values(GoodFile{"Fmt16Mono", 16, 1, 22050, 16, ""}, GoodFile{"Fmt18Stereo", 18, 2, 22050, 16, ""},
                      GoodFile{"Fmt40Stereo", 40, 2, 44100, 16, ""}, GoodFile{"EightBit", 16, 1, 8000, 8, ""},
                      GoodFile{"ChunksAfterData", 16, 2, 22050, 16, Chunk("LIST", std::string(30, 'L'))}),
    [](const ::testing::TestParamInfo<GoodFile>& info) { return std::string(info.param.label); });
