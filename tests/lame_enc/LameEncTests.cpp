// lame_enc.dll on its own, loaded as the program loads it. The MP3 files written here are
// decoded afterwards on the host by lame_enc_decode (mpg123).
#include "lame_enc/LameEncInterface.h"
#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const DWORD kRate = 22050;
const double kPi = 3.14159265358979323846;

struct Library {
    HMODULE hDll = LoadLibraryA("lame_enc.dll");
    BEINITSTREAM init = Resolve<BEINITSTREAM>("beInitStream");
    BEENCODECHUNK encode = Resolve<BEENCODECHUNK>("beEncodeChunk");
    BEDEINITSTREAM deinit = Resolve<BEDEINITSTREAM>("beDeinitStream");
    BECLOSESTREAM close = Resolve<BECLOSESTREAM>("beCloseStream");
    BEVERSION version = Resolve<BEVERSION>("beVersion");
    BEWRITEVBRHEADER writeVbrHeader = Resolve<BEWRITEVBRHEADER>("beWriteVBRHeader");
    BEWRITEINFOTAG writeInfoTag = Resolve<BEWRITEINFOTAG>("beWriteInfoTag");

    template <class Proc>
    Proc Resolve(const char* name)
    {
        return hDll ? reinterpret_cast<Proc>(GetProcAddress(hDll, name)) : nullptr;
    }
    ~Library()
    {
        if (hDll)
            FreeLibrary(hDll);
    }
};

BE_CONFIG Config(LONG nMode, DWORD dwRate = kRate, DWORD dwBitrate = 128)
{
    BE_CONFIG config;
    std::memset(&config, 0, sizeof(config));
    config.dwConfig = BE_CONFIG_LAME;
    BE_LAME_CONFIG& lame = config.format.LHV1;
    lame.dwStructVersion = 1;
    lame.dwStructSize = sizeof(BE_CONFIG);
    lame.dwSampleRate = dwRate;
    lame.nMode = nMode;
    lame.dwBitrate = dwBitrate;
    lame.nPreset = LQP_R3MIX;
    lame.dwMpegVersion = MPEG1;
    lame.bOriginal = TRUE;
    lame.bWriteVBRHeader = TRUE;
    lame.bNoRes = TRUE;
    return config;
}

// `frames` sample frames of a sine per channel (0 Hz: silence), interleaved.
std::vector<SHORT> Tone(DWORD frames, std::vector<double> freqs)
{
    std::vector<SHORT> samples;
    for (DWORD i = 0; i < frames; ++i)
        for (double f : freqs)
            samples.push_back(static_cast<SHORT>(12000 * std::sin(2 * kPi * f * i / kRate)));
    return samples;
}

struct FrameHeader {
    int version;  // 3 MPEG1, 2 MPEG2, 0 MPEG2.5
    int layer;    // 1 = Layer III
    int bitrateIndex;
    int rateIndex;
    int channelMode;
    int padding;
};

FrameHeader ParseHeader(const BYTE* p)
{
    return {(p[1] >> 3) & 3, (p[1] >> 1) & 3, p[2] >> 4, (p[2] >> 2) & 3, p[3] >> 6, (p[2] >> 1) & 1};
}

// Walks the stream frame by frame; every frame must be MPEG2 Layer III, 128 kbit/s, 22050 Hz
// with the given channel mode. Returns the number of frames.
size_t CheckFrames(const std::vector<BYTE>& mp3, int channelMode)
{
    size_t pos = 0, count = 0;
    while (pos + 4 <= mp3.size()) {
        const BYTE* p = &mp3[pos];
        EXPECT_TRUE(p[0] == 0xFF && (p[1] & 0xE0) == 0xE0) << "no frame sync at byte " << pos;
        if (p[0] != 0xFF)
            return count;
        const FrameHeader h = ParseHeader(p);
        EXPECT_EQ(2, h.version) << "frame " << count;
        EXPECT_EQ(1, h.layer) << "frame " << count;
        EXPECT_EQ(12, h.bitrateIndex) << "frame " << count << ": not 128 kbit/s";
        EXPECT_EQ(0, h.rateIndex) << "frame " << count << ": not 22050 Hz";
        EXPECT_EQ(channelMode, h.channelMode) << "frame " << count;
        pos += 72 * 128000 / kRate + h.padding;
        ++count;
    }
    EXPECT_EQ(mp3.size(), pos) << "the stream ends inside a frame";
    return count;
}

class LameEncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, lib.hDll) << "lame_enc.dll not found beside the test";
        ASSERT_TRUE(lib.init && lib.encode && lib.deinit && lib.close && lib.version && lib.writeVbrHeader &&
                    lib.writeInfoTag);
    }

    HBE_STREAM Open(LONG nMode)
    {
        BE_CONFIG config = Config(nMode);
        HBE_STREAM hStream = 0;
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.init(&config, &dwSamples, &dwBufferSize, &hStream));
        return hStream;
    }

    // Encodes the samples in chunks of at most dwSamples, flushes and closes; the MP3 bytes.
    std::vector<BYTE> EncodeAll(HBE_STREAM hStream, const std::vector<SHORT>& samples)
    {
        std::vector<BYTE> mp3, out(dwBufferSize);
        DWORD dwOut = 0;
        for (size_t pos = 0; pos < samples.size(); pos += dwSamples) {
            const DWORD n = static_cast<DWORD>(std::min<size_t>(dwSamples, samples.size() - pos));
            EXPECT_EQ(BE_ERR_SUCCESSFUL,
                      lib.encode(hStream, n, const_cast<SHORT*>(&samples[pos]), out.data(), &dwOut));
            EXPECT_LE(dwOut, dwBufferSize);
            mp3.insert(mp3.end(), out.begin(), out.begin() + dwOut);
        }
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.deinit(hStream, out.data(), &dwOut));
        mp3.insert(mp3.end(), out.begin(), out.begin() + dwOut);
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.close(hStream));
        return mp3;
    }

    static void WriteFile(const char* name, const std::vector<BYTE>& bytes)
    {
        FILE* f = std::fopen(name, "wb");
        ASSERT_NE(nullptr, f) << name;
        ASSERT_EQ(bytes.size(), std::fwrite(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    }

    static std::vector<BYTE> ReadFile(const char* name)
    {
        std::vector<BYTE> bytes;
        if (FILE* f = std::fopen(name, "rb")) {
            int c;
            while ((c = std::fgetc(f)) != EOF)
                bytes.push_back(static_cast<BYTE>(c));
            std::fclose(f);
        }
        return bytes;
    }

    Library lib;
    DWORD dwSamples = 0;
    DWORD dwBufferSize = 0;
};

TEST_F(LameEncTest, ChunkAndBufferSizesFollowTheChannelsAt22050Hz)
{
    const struct {
        LONG nMode;
        DWORD dwSamples;
    } cases[] = {{BE_MP3_MODE_MONO, 576}, {BE_MP3_MODE_JSTEREO, 1152}, {BE_MP3_MODE_STEREO, 1152}};
    for (const auto& c : cases) {
        HBE_STREAM hStream = Open(c.nMode);
        EXPECT_NE(0u, hStream);
        EXPECT_EQ(c.dwSamples, dwSamples) << "mode " << c.nMode;
        EXPECT_EQ(576u * 5 / 4 + 7200, dwBufferSize) << "mode " << c.nMode;
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.close(hStream));
    }
}

TEST_F(LameEncTest, SilenceAndToneGiveValidFramesInMonoAndJointStereo)
{
    const struct {
        LONG nMode;
        std::vector<double> freqs;
        int channelMode;
    } cases[] = {{BE_MP3_MODE_MONO, {0}, 3}, {BE_MP3_MODE_MONO, {1000}, 3},
                 {BE_MP3_MODE_JSTEREO, {0, 0}, 1}, {BE_MP3_MODE_JSTEREO, {440, 1000}, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.nMode << ", " << c.freqs.back() << " Hz");
        HBE_STREAM hStream = Open(c.nMode);
        const std::vector<BYTE> mp3 = EncodeAll(hStream, Tone(kRate / 2, c.freqs));
        // Half a second is 19.1 frames of 576 samples, plus the encoder's delay and the tag frame.
        EXPECT_GE(CheckFrames(mp3, c.channelMode), 21u);
    }
}

TEST_F(LameEncTest, BadConfigurationsAreRefusedWithTheirCodes)
{
    const struct {
        const char* what;
        void (*spoil)(BE_CONFIG&);
        BE_ERR expected;
    } cases[] = {
        {"old MP3 format", [](BE_CONFIG& c) { c.dwConfig = 0; }, BE_ERR_INVALID_FORMAT},
        {"unknown format", [](BE_CONFIG& c) { c.dwConfig = 7; }, BE_ERR_INVALID_FORMAT},
        {"struct size", [](BE_CONFIG& c) { c.format.LHV1.dwStructSize = 330; }, BE_ERR_INVALID_FORMAT},
        {"struct version", [](BE_CONFIG& c) { c.format.LHV1.dwStructVersion = 0; }, BE_ERR_INVALID_FORMAT},
        {"rate", [](BE_CONFIG& c) { c.format.LHV1.dwSampleRate = 22000; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"zero rate", [](BE_CONFIG& c) { c.format.LHV1.dwSampleRate = 0; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"resample rate", [](BE_CONFIG& c) { c.format.LHV1.dwReSampleRate = 1; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"dual channel", [](BE_CONFIG& c) { c.format.LHV1.nMode = BE_MP3_MODE_DUALCHANNEL; },
         BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"mode", [](BE_CONFIG& c) { c.format.LHV1.nMode = 9; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"negative mode", [](BE_CONFIG& c) { c.format.LHV1.nMode = -1; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"bit rate", [](BE_CONFIG& c) { c.format.LHV1.dwBitrate = 129; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"MPEG1 bit rate at 22050", [](BE_CONFIG& c) { c.format.LHV1.dwBitrate = 320; },
         BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"VBR", [](BE_CONFIG& c) { c.format.LHV1.bEnableVBR = TRUE; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
        {"emphasis", [](BE_CONFIG& c) { c.format.LHV1.dwEmphasis = 4; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
    };
    for (const auto& c : cases) {
        BE_CONFIG config = Config(BE_MP3_MODE_JSTEREO);
        c.spoil(config);
        HBE_STREAM hStream = 0;
        EXPECT_EQ(c.expected, lib.init(&config, &dwSamples, &dwBufferSize, &hStream)) << c.what;
        EXPECT_EQ(0u, hStream) << c.what;
    }
    BE_CONFIG config = Config(BE_MP3_MODE_MONO);
    HBE_STREAM hStream = 0;
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.init(nullptr, &dwSamples, &dwBufferSize, &hStream));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.init(&config, nullptr, &dwBufferSize, &hStream));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.init(&config, &dwSamples, nullptr, &hStream));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.init(&config, &dwSamples, &dwBufferSize, nullptr));
}

TEST_F(LameEncTest, BadHandlesAndCallsAreRefused)
{
    HBE_STREAM hStream = Open(BE_MP3_MODE_JSTEREO);
    std::vector<BYTE> out(dwBufferSize);
    std::vector<SHORT> samples = Tone(dwSamples, {440, 440});
    DWORD dwOut = 0;
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.encode(0, dwSamples, samples.data(), out.data(), &dwOut));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.encode(hStream + 1, dwSamples, samples.data(), out.data(), &dwOut));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.encode(hStream ^ 0x100, dwSamples, samples.data(), out.data(), &dwOut));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.encode(hStream, dwSamples, nullptr, out.data(), &dwOut));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.encode(hStream, dwSamples, samples.data(), nullptr, &dwOut));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.encode(hStream, dwSamples, samples.data(), out.data(), nullptr));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.encode(hStream, 3, samples.data(), out.data(), &dwOut))
        << "half a stereo frame";
    EXPECT_EQ(BE_ERR_BUFFER_TOO_SMALL, lib.encode(hStream, dwSamples + 2, samples.data(), out.data(), &dwOut))
        << "more than one chunk";
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.encode(hStream, 0, nullptr, out.data(), &dwOut));
    EXPECT_EQ(0u, dwOut);
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.deinit(hStream, nullptr, &dwOut));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.deinit(hStream, out.data(), &dwOut));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.encode(hStream, dwSamples, samples.data(), out.data(), &dwOut))
        << "encoding after the flush";
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.deinit(hStream, out.data(), &dwOut)) << "second flush";
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.close(hStream));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.close(hStream)) << "second close";
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.encode(hStream, dwSamples, samples.data(), out.data(), &dwOut));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.writeInfoTag(hStream, nullptr));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.writeVbrHeader(nullptr));
    lib.version(nullptr);
}

TEST_F(LameEncTest, ManyStreamsAtOnceUntilTheHandlesRunOut)
{
    std::vector<HBE_STREAM> streams;
    for (;;) {
        BE_CONFIG config = Config(BE_MP3_MODE_MONO);
        HBE_STREAM hStream = 0;
        const BE_ERR err = lib.init(&config, &dwSamples, &dwBufferSize, &hStream);
        if (err != BE_ERR_SUCCESSFUL) {
            EXPECT_EQ(BE_ERR_NO_MORE_HANDLES, err);
            break;
        }
        streams.push_back(hStream);
        ASSERT_LT(streams.size(), 1000u);
    }
    EXPECT_GE(streams.size(), 2u) << "both channels of an alone recording need a stream";
    for (HBE_STREAM hStream : streams)
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.close(hStream));
}

TEST_F(LameEncTest, VersionNamesOurLibraryAndTheLameEngine)
{
    BE_VERSION version;
    std::memset(&version, 0xCC, sizeof(version));
    lib.version(&version);
    EXPECT_EQ(1, version.byDLLMajorVersion);
    EXPECT_EQ(0, version.byDLLMinorVersion);
    EXPECT_EQ(3, version.byMajorVersion);
    EXPECT_EQ(100, version.byMinorVersion);
    EXPECT_TRUE(version.byDay >= 1 && version.byDay <= 31 && version.byMonth >= 1 && version.byMonth <= 12);
    EXPECT_GE(version.wYear, 2026);
    EXPECT_EQ(0, std::strncmp(version.zHomepage, "http", 4)) << version.zHomepage;
    EXPECT_LT(std::strlen(version.zHomepage), sizeof(version.zHomepage));
}

// Writes the files lame_enc_decode checks with mpg123: the tag makes the decoded length exact.
TEST_F(LameEncTest, TagWrittenIntoTheFinishedFile)
{
    const struct {
        const char* file;
        LONG nMode;
        std::vector<double> freqs;
        DWORD frames;
        bool byInfoTag;
    } cases[] = {{"dll_mono.mp3", BE_MP3_MODE_MONO, {1000}, kRate * 2, true},
                 {"dll_stereo.mp3", BE_MP3_MODE_JSTEREO, {440, 1000}, kRate * 2 + 333, false},
                 {"dll_short.mp3", BE_MP3_MODE_MONO, {1000}, 300, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        HBE_STREAM hStream = Open(c.nMode);
        const std::vector<BYTE> mp3 = EncodeAll(hStream, Tone(c.frames, c.freqs));
        WriteFile(c.file, mp3);
        EXPECT_EQ(BE_ERR_SUCCESSFUL, c.byInfoTag ? lib.writeInfoTag(hStream, c.file) : lib.writeVbrHeader(c.file));
        const std::vector<BYTE> tagged = ReadFile(c.file);
        ASSERT_EQ(mp3.size(), tagged.size());
        // Side info of an MPEG2 frame: 9 bytes in mono, 17 in stereo, after the 4-byte header.
        const size_t tagPos = 4 + (c.nMode == BE_MP3_MODE_MONO ? 9 : 17);
        EXPECT_EQ(0, std::memcmp(&tagged[tagPos], "Info", 4)) << "CBR files carry an Info tag";
        const DWORD dwFrames = tagged[tagPos + 8] << 24 | tagged[tagPos + 9] << 16 | tagged[tagPos + 10] << 8 |
                               tagged[tagPos + 11];
        EXPECT_EQ(CheckFrames(tagged, c.nMode == BE_MP3_MODE_MONO ? 3 : 1) - 1, dwFrames);
        EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.writeInfoTag(hStream, c.file)) << "the tag is written once";
    }
}

TEST_F(LameEncTest, TagGoesOnlyIntoAFileThatStartsWithTheStream)
{
    HBE_STREAM hStream = Open(BE_MP3_MODE_MONO);
    const std::vector<BYTE> mp3 = EncodeAll(hStream, Tone(kRate / 4, {1000}));
    const std::vector<BYTE> other(mp3.size(), 0x55);
    WriteFile("not_ours.mp3", other);
    EXPECT_EQ(BE_ERR_INVALID_FORMAT, lib.writeInfoTag(hStream, "not_ours.mp3"));
    EXPECT_EQ(other, ReadFile("not_ours.mp3"));
    EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.writeInfoTag(hStream, "no_such_dir\\x.mp3"));
    std::remove("not_ours.mp3");
    WriteFile("ours.mp3", mp3);
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.writeVbrHeader("ours.mp3")) << "the stream finished last";
    EXPECT_NE(mp3, ReadFile("ours.mp3"));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.writeVbrHeader("ours.mp3")) << "no stream waits for its tag";
    std::remove("ours.mp3");
}

} // namespace
