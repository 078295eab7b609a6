// lame_enc.dll on its own, loaded as the program loads it. The MP3 files written here are
// decoded afterwards on the host by lame_enc_decode (mpg123).
#include "lame_enc/LameEncInterface.h"
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

const DWORD kRate = 22050;
using Bytes = std::vector<BYTE>;

struct Library {
    template <class Proc>
    Proc Resolve(const char* name) { return hDll ? reinterpret_cast<Proc>(GetProcAddress(hDll, name)) : nullptr; }
    ~Library() { if (hDll) FreeLibrary(hDll); }

    HMODULE hDll = LoadLibraryA("lame_enc.dll");
    BEINITSTREAM init = Resolve<BEINITSTREAM>("beInitStream");
    BEENCODECHUNK encode = Resolve<BEENCODECHUNK>("beEncodeChunk");
    BEDEINITSTREAM deinit = Resolve<BEDEINITSTREAM>("beDeinitStream");
    BECLOSESTREAM close = Resolve<BECLOSESTREAM>("beCloseStream");
    BEVERSION version = Resolve<BEVERSION>("beVersion");
    BEWRITEVBRHEADER writeVbrHeader = Resolve<BEWRITEVBRHEADER>("beWriteVBRHeader");
    BEWRITEINFOTAG writeInfoTag = Resolve<BEWRITEINFOTAG>("beWriteInfoTag");
};

// In field order: version 1, size, rate, no resampling, mode, 128 kbit/s, R3MIX preset, MPEG1,
// original, Xing/Info tag, no bit reservoir; all else zero.
BE_CONFIG Config(LONG nMode)
{
    return {BE_CONFIG_LAME, {{1, sizeof(BE_CONFIG), kRate, 0, nMode, 128, 0, LQP_R3MIX, MPEG1, 0, 0, FALSE, FALSE,
                              FALSE, TRUE, TRUE, FALSE, 0, 0, 0, TRUE, FALSE, 0, {}}}};
}

// `frames` sample frames of a sine per channel (0 Hz: silence), interleaved.
std::vector<SHORT> Tone(DWORD frames, std::vector<double> freqs)
{
    std::vector<SHORT> samples;
    for (DWORD i = 0; i < frames; ++i)
        for (double f : freqs)
            samples.push_back(static_cast<SHORT>(12000 * std::sin(2 * 3.14159265358979 * f * i / kRate)));
    return samples;
}

// Walks the stream frame by frame; every frame must be MPEG2 Layer III, 128 kbit/s, 22050 Hz
// with the given channel mode (3 mono, 1 joint stereo, 0 stereo). Returns the number of frames.
size_t CheckFrames(const Bytes& mp3, int channelMode)
{
    size_t pos = 0, count = 0;
    for (; pos + 4 <= mp3.size(); ++count) {
        const BYTE* p = &mp3[pos];
        if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) {
            ADD_FAILURE() << "no frame sync at byte " << pos;
            return count;
        }
        EXPECT_EQ(0xF2, p[1] & 0xFE) << "frame " << count << ": not MPEG2 Layer III";
        EXPECT_EQ(0xC0, p[2] & 0xFC) << "frame " << count << ": not 128 kbit/s at 22050 Hz";
        EXPECT_EQ(channelMode, p[3] >> 6) << "frame " << count;
        pos += 72 * 128000 / kRate + ((p[2] >> 1) & 1);
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
        EXPECT_NE(0u, hStream);
        return hStream;
    }

    // Encodes the samples in chunks of at most dwSamples, flushes and closes; the MP3 bytes.
    Bytes EncodeAll(HBE_STREAM hStream, const std::vector<SHORT>& samples)
    {
        Bytes mp3, out(dwBufferSize);
        DWORD dwOut = 0;
        for (size_t pos = 0; pos < samples.size(); pos += dwSamples) {
            const DWORD n = static_cast<DWORD>(std::min<size_t>(dwSamples, samples.size() - pos));
            EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.encode(hStream, n, const_cast<SHORT*>(&samples[pos]), out.data(), &dwOut));
            EXPECT_LE(dwOut, dwBufferSize);
            mp3.insert(mp3.end(), out.begin(), out.begin() + dwOut);
        }
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.deinit(hStream, out.data(), &dwOut));
        mp3.insert(mp3.end(), out.begin(), out.begin() + dwOut);
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.close(hStream));
        return mp3;
    }

    static Bytes ReadFile(const char* name)
    {
        std::ifstream in(name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    Library lib;
    DWORD dwSamples = 0;
    DWORD dwBufferSize = 0;
};

TEST_F(LameEncTest, SilenceAndToneGiveValidFramesInChunksThatFollowTheChannels)
{
    const struct {
        LONG nMode;
        std::vector<double> freqs;
        int channelMode;
    } cases[] = {{BE_MP3_MODE_MONO, {0}, 3}, {BE_MP3_MODE_MONO, {1000}, 3}, {BE_MP3_MODE_JSTEREO, {0, 0}, 1},
                 {BE_MP3_MODE_JSTEREO, {440, 1000}, 1}, {BE_MP3_MODE_STEREO, {440, 1000}, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.nMode << ", " << c.freqs.back() << " Hz");
        HBE_STREAM hStream = Open(c.nMode);
        EXPECT_EQ(c.nMode == BE_MP3_MODE_MONO ? 576u : 1152u, dwSamples);
        EXPECT_EQ(576u * 5 / 4 + 7200, dwBufferSize);
        // Half a second is 19.1 frames of 576 samples, plus the encoder's delay and the tag frame.
        EXPECT_GE(CheckFrames(EncodeAll(hStream, Tone(kRate / 2, c.freqs)), c.channelMode), 21u);
    }
}

TEST_F(LameEncTest, BadConfigurationsAreRefusedWithTheirCodes)
{
    const BE_ERR kFormat = BE_ERR_INVALID_FORMAT, kParameters = BE_ERR_INVALID_FORMAT_PARAMETERS;
    const struct {
        const char* what;
        void (*spoil)(BE_CONFIG&);
        BE_ERR expected;
    } cases[] = {
        {"old MP3 format", [](BE_CONFIG& c) { c.dwConfig = 0; }, kFormat},
        {"struct size", [](BE_CONFIG& c) { c.format.LHV1.dwStructSize = 330; }, kFormat},
        {"struct version", [](BE_CONFIG& c) { c.format.LHV1.dwStructVersion = 0; }, kFormat},
        {"rate", [](BE_CONFIG& c) { c.format.LHV1.dwSampleRate = 22000; }, kParameters},
        {"resample rate", [](BE_CONFIG& c) { c.format.LHV1.dwReSampleRate = 1; }, kParameters},
        {"dual channel", [](BE_CONFIG& c) { c.format.LHV1.nMode = BE_MP3_MODE_DUALCHANNEL; }, kParameters},
        {"negative mode", [](BE_CONFIG& c) { c.format.LHV1.nMode = -1; }, kParameters},
        {"bit rate", [](BE_CONFIG& c) { c.format.LHV1.dwBitrate = 129; }, kParameters},
        {"MPEG1 bit rate at 22050", [](BE_CONFIG& c) { c.format.LHV1.dwBitrate = 320; }, kParameters},
        {"VBR", [](BE_CONFIG& c) { c.format.LHV1.bEnableVBR = TRUE; }, kParameters},
        {"emphasis", [](BE_CONFIG& c) { c.format.LHV1.dwEmphasis = 4; }, kParameters},
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
    EXPECT_EQ(kParameters, lib.init(nullptr, &dwSamples, &dwBufferSize, &hStream));
    EXPECT_EQ(kParameters, lib.init(&config, nullptr, &dwBufferSize, &hStream));
    EXPECT_EQ(kParameters, lib.init(&config, &dwSamples, nullptr, &hStream));
    EXPECT_EQ(kParameters, lib.init(&config, &dwSamples, &dwBufferSize, nullptr));
}

TEST_F(LameEncTest, BadHandlesAndCallsAreRefusedAndHandlesRunOut)
{
    HBE_STREAM hStream = Open(BE_MP3_MODE_JSTEREO);
    Bytes out(dwBufferSize);
    std::vector<SHORT> samples = Tone(dwSamples, {440, 440});
    SHORT* pcm = samples.data();
    DWORD dwOut = 0;
    const BE_ERR kHandle = BE_ERR_INVALID_HANDLE, kParameters = BE_ERR_INVALID_FORMAT_PARAMETERS;
    EXPECT_EQ(kHandle, lib.encode(0, dwSamples, pcm, out.data(), &dwOut));
    EXPECT_EQ(kHandle, lib.encode(hStream + 1, dwSamples, pcm, out.data(), &dwOut));
    EXPECT_EQ(kHandle, lib.encode(hStream ^ 0x100, dwSamples, pcm, out.data(), &dwOut));
    EXPECT_EQ(kParameters, lib.encode(hStream, dwSamples, nullptr, out.data(), &dwOut));
    EXPECT_EQ(kParameters, lib.encode(hStream, dwSamples, pcm, nullptr, &dwOut));
    EXPECT_EQ(kParameters, lib.encode(hStream, dwSamples, pcm, out.data(), nullptr));
    EXPECT_EQ(kParameters, lib.encode(hStream, 3, pcm, out.data(), &dwOut)) << "half a stereo frame";
    EXPECT_EQ(BE_ERR_BUFFER_TOO_SMALL, lib.encode(hStream, dwSamples + 2, pcm, out.data(), &dwOut));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.encode(hStream, 0, nullptr, out.data(), &dwOut));
    EXPECT_EQ(0u, dwOut);
    EXPECT_EQ(kParameters, lib.deinit(hStream, nullptr, &dwOut));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.deinit(hStream, out.data(), &dwOut));
    EXPECT_EQ(kHandle, lib.encode(hStream, dwSamples, pcm, out.data(), &dwOut)) << "encoding after the flush";
    EXPECT_EQ(kHandle, lib.deinit(hStream, out.data(), &dwOut)) << "second flush";
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.close(hStream));
    EXPECT_EQ(kHandle, lib.close(hStream)) << "second close";
    EXPECT_EQ(kHandle, lib.encode(hStream, dwSamples, pcm, out.data(), &dwOut));
    EXPECT_EQ(kParameters, lib.writeInfoTag(hStream, nullptr));
    EXPECT_EQ(kParameters, lib.writeVbrHeader(nullptr));
    lib.version(nullptr);
    std::vector<HBE_STREAM> streams;
    BE_CONFIG config = Config(BE_MP3_MODE_MONO);
    HBE_STREAM hNext = 0;
    BE_ERR err;
    while ((err = lib.init(&config, &dwSamples, &dwBufferSize, &hNext)) == BE_ERR_SUCCESSFUL && streams.size() < 1000)
        streams.push_back(hNext);
    EXPECT_EQ(BE_ERR_NO_MORE_HANDLES, err);
    EXPECT_GE(streams.size(), 2u) << "both channels of an alone recording need a stream";
    for (HBE_STREAM h : streams)
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lib.close(h));
}

TEST_F(LameEncTest, VersionNamesOurLibraryAndTheLameEngine)
{
    BE_VERSION v;
    std::memset(&v, 0xCC, sizeof(v));
    lib.version(&v);
    EXPECT_EQ("1.0 3.100", std::to_string(v.byDLLMajorVersion) + "." + std::to_string(v.byDLLMinorVersion) + " " +
                               std::to_string(v.byMajorVersion) + "." + std::to_string(v.byMinorVersion));
    EXPECT_TRUE(v.byDay >= 1 && v.byDay <= 31 && v.byMonth >= 1 && v.byMonth <= 12 && v.wYear >= 2026);
    EXPECT_TRUE(std::strncmp(v.zHomepage, "http", 4) == 0 && std::strlen(v.zHomepage) < sizeof(v.zHomepage));
}

// Writes the files lame_enc_decode checks with mpg123: the tag makes the decoded length exact.
TEST_F(LameEncTest, TagWrittenOnceIntoTheFinishedFileOnly)
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
        const Bytes mp3 = EncodeAll(hStream, Tone(c.frames, c.freqs));
        const Bytes other(mp3.size(), 0x55);
        std::ofstream(c.file, std::ios::binary).write(reinterpret_cast<const char*>(other.data()), other.size());
        EXPECT_EQ(BE_ERR_INVALID_FORMAT, lib.writeInfoTag(hStream, c.file)) << "not our stream";
        EXPECT_EQ(other, ReadFile(c.file));
        EXPECT_EQ(BE_ERR_INVALID_FORMAT_PARAMETERS, lib.writeInfoTag(hStream, "no_such_dir\\x.mp3"));
        std::ofstream(c.file, std::ios::binary).write(reinterpret_cast<const char*>(mp3.data()), mp3.size());
        EXPECT_EQ(BE_ERR_SUCCESSFUL, c.byInfoTag ? lib.writeInfoTag(hStream, c.file) : lib.writeVbrHeader(c.file));
        const Bytes tagged = ReadFile(c.file);
        ASSERT_EQ(mp3.size(), tagged.size());
        // Side info of an MPEG2 frame: 9 bytes in mono, 17 in stereo, after the 4-byte header.
        const size_t tag = 4 + (c.nMode == BE_MP3_MODE_MONO ? 9 : 17);
        EXPECT_EQ(0, std::memcmp(&tagged[tag], "Info", 4)) << "CBR files carry an Info tag";
        const DWORD dwFrames = tagged[tag + 8] << 24 | tagged[tag + 9] << 16 | tagged[tag + 10] << 8 | tagged[tag + 11];
        EXPECT_EQ(CheckFrames(tagged, c.nMode == BE_MP3_MODE_MONO ? 3 : 1) - 1, dwFrames);
        EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.writeInfoTag(hStream, c.file)) << "the tag is written once";
        EXPECT_EQ(BE_ERR_INVALID_HANDLE, lib.writeVbrHeader(c.file)) << "no stream waits for its tag";
    }
}

} // namespace
