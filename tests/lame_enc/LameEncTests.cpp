// lame_enc.dll on its own, loaded by its bare name as the program loads it: what the program
// never asks of it (a file shorter than a frame, the tag by beWriteVBRHeader as older callers
// write it) fed chunk by chunk, finished as the engine does it and decoded on the host by mpg123.
#include "lame_enc/LameEncInterface.h"
#include "support/HostTools.h"
#include <cmath>
#include <gtest/gtest.h>

namespace {

const DWORD RATE = 22050;

#define ENTRY(type, name) const auto name = reinterpret_cast<type>(reinterpret_cast<void (*)()>(GetProcAddress(dll, #name)))

// Catches files a player cannot decode or gets with the wrong length, channels or tones (the
// tag gives the exact length back).
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
    const struct { const char* file; LONG mode; std::vector<int> tones; DWORD frames; bool byInfoTag; } rows[] = {
        {"stereo.mp3", BE_MP3_MODE_JSTEREO, {440, 1000}, RATE * 2 + 333, false},
        {"short.mp3", BE_MP3_MODE_MONO, {1000}, 300, true},
    };
    CHostDir dir;
    for (const auto& row : rows) {
        DWORD chunk = 0, size = 0, produced = 0;
        HBE_STREAM stream = 0;
        // What the engine asks for: 128 kbit/s CBR, an Info tag, no bit reservoir.
        BE_CONFIG config{BE_CONFIG_LAME, {{1, sizeof(BE_CONFIG), RATE, 0, row.mode, 128, 0, LQP_R3MIX, MPEG1, 0, 0,
                                           FALSE, FALSE, FALSE, TRUE, TRUE, FALSE, 0, 0, 0, TRUE, FALSE, 0, {}}}};
        ASSERT_EQ(BE_ERR_SUCCESSFUL, beInitStream(&config, &chunk, &size, &stream));
        std::vector<BYTE> buffer(size);
        std::string mp3, tones;
        const DWORD chunkFrames = chunk / static_cast<DWORD>(row.tones.size());
        for (DWORD start = 0; start < row.frames; start += chunkFrames) {
            std::vector<SHORT> pcm;
            for (DWORD i = start; i < std::min(start + chunkFrames, row.frames); ++i)
                for (int tone : row.tones)
                    pcm.push_back(static_cast<SHORT>(12000 * std::sin(2 * 3.14159265358979 * tone * i / RATE)));
            ASSERT_EQ(BE_ERR_SUCCESSFUL,
                      beEncodeChunk(stream, static_cast<DWORD>(pcm.size()), pcm.data(), buffer.data(), &produced));
            mp3.append(reinterpret_cast<char*>(buffer.data()), produced);
        }
        ASSERT_EQ(BE_ERR_SUCCESSFUL, beDeinitStream(stream, buffer.data(), &produced));
        mp3.append(reinterpret_cast<char*>(buffer.data()), produced);
        beCloseStream(stream);
        const std::string path = dir.Write(row.file, mp3);
        EXPECT_EQ(BE_ERR_SUCCESSFUL, row.byInfoTag ? beWriteInfoTag(stream, path.c_str()) : beWriteVBRHeader(path.c_str()));
        for (int tone : row.tones)
            tones += (tones.empty() ? "" : ",") + std::to_string(tone);
        std::string report;
        EXPECT_EQ(0, RunHost(dir, std::string("python3 ") + CHECK_AUDIO + " " + row.file + " " +
                                      std::to_string(row.tones.size()) + " " + tones + " --frames " +
                                      std::to_string(row.frames), &report)) << report;
    }
    FreeLibrary(dll);
}

} // namespace
