// lame_enc.dll on its own, loaded by its bare name as the program loads it: streams fed chunk
// by chunk and finished as the engine does it, each file then decoded on the host by mpg123.
#include "lame_enc/LameEncInterface.h"
#include "support/HostTools.h"
#include <cmath>
#include <gtest/gtest.h>

namespace {

const DWORD RATE = 22050;

struct Output {
    const char* file;
    LONG mode;
    std::vector<int> tones; // one per channel
    HBE_STREAM stream = 0;
    std::string mp3 = "";
};

#define ENTRY(type, name) const auto name = reinterpret_cast<type>(reinterpret_cast<void (*)()>(GetProcAddress(dll, #name)))

// Catches files a player cannot decode or gets with the wrong length, channels or tones (the
// tag gives the exact length back), also from two streams fed in turn as in Alone mode.
TEST(LameEnc, FilesDecodeWithTheirLengthChannelsAndTones)
{
    HMODULE dll = LoadLibraryA("lame_enc.dll");
    ASSERT_NE(nullptr, dll) << "lame_enc.dll not found beside the test";
    ENTRY(BEINITSTREAM, beInitStream);
    ENTRY(BEENCODECHUNK, beEncodeChunk);
    ENTRY(BEDEINITSTREAM, beDeinitStream);
    ENTRY(BECLOSESTREAM, beCloseStream);
    ENTRY(BEWRITEINFOTAG, beWriteInfoTag);
    ENTRY(BEWRITEVBRHEADER, beWriteVBRHeader);
    ASSERT_TRUE(beInitStream && beEncodeChunk && beDeinitStream && beCloseStream && beWriteInfoTag && beWriteVBRHeader);
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
        DWORD chunk = 0, size = 0, produced = 0;
        for (Output& out : row.outputs) {
            // What the engine asks for: 128 kbit/s CBR, an Info tag, no bit reservoir.
            BE_CONFIG config{BE_CONFIG_LAME, {{1, sizeof(BE_CONFIG), RATE, 0, out.mode, 128, 0, LQP_R3MIX, MPEG1, 0, 0,
                                               FALSE, FALSE, FALSE, TRUE, TRUE, FALSE, 0, 0, 0, TRUE, FALSE, 0, {}}}};
            ASSERT_EQ(BE_ERR_SUCCESSFUL, beInitStream(&config, &chunk, &size, &out.stream));
        }
        std::vector<BYTE> buffer(size);
        const DWORD chunkFrames = chunk / static_cast<DWORD>(row.outputs[0].tones.size());
        for (DWORD start = 0; start < row.frames; start += chunkFrames) {
            for (Output& out : row.outputs) {
                std::vector<SHORT> pcm;
                for (DWORD i = start; i < std::min(start + chunkFrames, row.frames); ++i)
                    for (int tone : out.tones)
                        pcm.push_back(static_cast<SHORT>(12000 * std::sin(2 * 3.14159265358979 * tone * i / RATE)));
                ASSERT_EQ(BE_ERR_SUCCESSFUL, beEncodeChunk(out.stream, static_cast<DWORD>(pcm.size()), pcm.data(),
                                                           buffer.data(), &produced));
                out.mp3.append(reinterpret_cast<char*>(buffer.data()), produced);
            }
        }
        for (Output& out : row.outputs) {
            ASSERT_EQ(BE_ERR_SUCCESSFUL, beDeinitStream(out.stream, buffer.data(), &produced));
            out.mp3.append(reinterpret_cast<char*>(buffer.data()), produced);
            beCloseStream(out.stream);
            const std::string path = dir.Write(out.file, out.mp3);
            EXPECT_EQ(BE_ERR_SUCCESSFUL, row.byInfoTag ? beWriteInfoTag(out.stream, path.c_str()) : beWriteVBRHeader(path.c_str()));
            std::string tones, report;
            for (int tone : out.tones)
                tones += (tones.empty() ? "" : ",") + std::to_string(tone);
            EXPECT_EQ(0, RunHost(dir, std::string("python3 ") + CHECK_AUDIO + " " + out.file + " " +
                                          std::to_string(out.tones.size()) + " " + tones + " --frames " +
                                          std::to_string(row.frames),
                                 &report))
                << report;
        }
    }
    FreeLibrary(dll);
}

} // namespace
