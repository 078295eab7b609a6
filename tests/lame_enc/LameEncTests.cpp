// lame_enc.dll on its own, loaded by its bare name as the program loads it: streams fed chunk
// by chunk as a recording feeds them and finished as the engine finishes them; each file is
// then decoded on the host by mpg123 (tests/tools/check_mp3.py).
#include "lame_enc/LameEncInterface.h"
#include "support/HostTools.h"
#include <cmath>
#include <gtest/gtest.h>

namespace {

const DWORD RATE = 22050;

struct Output {
    const char* file;
    LONG mode;
    std::vector<double> tones;
    HBE_STREAM stream = 0;
    std::string mp3 = "";
};

// What the engine asks for: 128 kbit/s CBR, an Info tag, the bit reservoir off.
BE_CONFIG Config(LONG mode)
{
    return {BE_CONFIG_LAME, {{1, sizeof(BE_CONFIG), RATE, 0, mode, 128, 0, LQP_R3MIX, MPEG1, 0, 0, FALSE, FALSE, FALSE,
                              TRUE, TRUE, FALSE, 0, 0, 0, TRUE, FALSE, 0, {}}}};
}

// `count` sample frames from frame `start` of one sine per channel, interleaved.
std::vector<SHORT> Tones(DWORD start, DWORD count, const std::vector<double>& tones)
{
    std::vector<SHORT> samples;
    for (DWORD i = start; i < start + count; ++i)
        for (double tone : tones)
            samples.push_back(static_cast<SHORT>(12000 * std::sin(2 * 3.14159265358979 * tone * i / RATE)));
    return samples;
}

// Catches files a player cannot decode or gets with the wrong length, channels or tones (the
// tag gives the exact length back), also from two streams fed in turn as in Alone mode.
TEST(LameEnc, FilesDecodeWithTheirLengthChannelsAndTones)
{
    HMODULE dll = LoadLibraryA("lame_enc.dll");
    ASSERT_NE(nullptr, dll) << "lame_enc.dll not found beside the test";
    auto init = reinterpret_cast<BEINITSTREAM>(GetProcAddress(dll, "beInitStream"));
    auto encode = reinterpret_cast<BEENCODECHUNK>(GetProcAddress(dll, "beEncodeChunk"));
    auto deinit = reinterpret_cast<BEDEINITSTREAM>(GetProcAddress(dll, "beDeinitStream"));
    auto close = reinterpret_cast<BECLOSESTREAM>(GetProcAddress(dll, "beCloseStream"));
    auto infoTag = reinterpret_cast<BEWRITEINFOTAG>(GetProcAddress(dll, "beWriteInfoTag"));
    auto vbrHeader = reinterpret_cast<BEWRITEVBRHEADER>(GetProcAddress(dll, "beWriteVBRHeader"));
    ASSERT_TRUE(init && encode && deinit && close && infoTag && vbrHeader);
    const struct {
        std::vector<Output> outputs;
        DWORD frames;
        bool byInfoTag;
    } rows[] = {
        {{{"mono.mp3", BE_MP3_MODE_MONO, {1000}}}, RATE * 2, true},
        {{{"stereo.mp3", BE_MP3_MODE_JSTEREO, {440, 1000}}}, RATE * 2 + 333, false},
        {{{"left.mp3", BE_MP3_MODE_MONO, {440}}, {"right.mp3", BE_MP3_MODE_MONO, {1000}}}, RATE, true},
        {{{"short.mp3", BE_MP3_MODE_MONO, {1000}}}, 300, true},
    };
    CHostDir dir;
    for (auto row : rows) {
        DWORD chunk = 0, bufferSize = 0, produced = 0;
        for (Output& out : row.outputs) {
            BE_CONFIG config = Config(out.mode);
            ASSERT_EQ(BE_ERR_SUCCESSFUL, init(&config, &chunk, &bufferSize, &out.stream)) << out.file;
        }
        std::vector<BYTE> buffer(bufferSize);
        const DWORD chunkFrames = chunk / static_cast<DWORD>(row.outputs[0].tones.size());
        for (DWORD start = 0; start < row.frames; start += chunkFrames) {
            for (Output& out : row.outputs) {
                std::vector<SHORT> pcm = Tones(start, std::min(chunkFrames, row.frames - start), out.tones);
                ASSERT_EQ(BE_ERR_SUCCESSFUL, encode(out.stream, static_cast<DWORD>(pcm.size()), pcm.data(), buffer.data(), &produced));
                out.mp3.append(reinterpret_cast<char*>(buffer.data()), produced);
            }
        }
        for (Output& out : row.outputs) {
            ASSERT_EQ(BE_ERR_SUCCESSFUL, deinit(out.stream, buffer.data(), &produced));
            out.mp3.append(reinterpret_cast<char*>(buffer.data()), produced);
            close(out.stream);
            ASSERT_TRUE(WriteFileBytes(dir.File(out.file), out.mp3));
            EXPECT_EQ(BE_ERR_SUCCESSFUL, row.byInfoTag ? infoTag(out.stream, dir.File(out.file).c_str())
                                                        : vbrHeader(dir.File(out.file).c_str()));
            std::string tones, report;
            for (double tone : out.tones)
                tones += (tones.empty() ? "" : ",") + std::to_string(static_cast<int>(tone));
            EXPECT_EQ(0, RunHost(dir, std::string("python3 ") + CHECK_MP3 + " " + out.file + " " +
                                           std::to_string(out.tones.size()) + " " + std::to_string(row.frames) + " " +
                                           tones, &report))
                << report;
        }
    }
    FreeLibrary(dll);
}

} // namespace
