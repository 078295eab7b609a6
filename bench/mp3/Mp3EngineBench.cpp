// Records a WAV file's samples through the engine's MP3 path with the real lame_enc.dll, as
// fast as the engine takes them, and prints the CPU time: mp3_engine_bench <input.wav>
// [<output.mp3>]. Without an output file the recording writes nothing: the engine's own cost
// per block, which any recording has.
#include "AudioPlayRec.h"
#include "../CpuTime.h"
#include "../FastCapture.h"
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const DWORD BUFFER_SIZE = 4096;

// The sample bytes of a PCM WAV file's data chunk; empty when there is none.
std::vector<BYTE> ReadWaveData(const char* pszFile)
{
    std::vector<BYTE> data;
    FILE* file = std::fopen(pszFile, "rb");
    if (!file)
        return data;
    char id[4];
    DWORD size = 0;
    std::fseek(file, 12, SEEK_SET);
    while (std::fread(id, 1, 4, file) == 4 && std::fread(&size, 4, 1, file) == 1) {
        if (std::memcmp(id, "data", 4) == 0) {
            data.resize(size);
            data.resize(std::fread(data.data(), 1, size, file));
            break;
        }
        std::fseek(file, (size + 1) & ~1u, SEEK_CUR);
    }
    std::fclose(file);
    return data;
}

void DispatchPending()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: mp3_engine_bench <input.wav> [<output.mp3>]\n");
        return 2;
    }
    const std::vector<BYTE> samples = ReadWaveData(argv[1]);
    if (samples.empty()) {
        std::fprintf(stderr, "no sample data in %s\n", argv[1]);
        return 1;
    }
    CFastCapture device;
    HWND hParent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    CAudioPlayRec engine;
    // A hidden view: the waveform drawing is not part of the MP3 path.
    if (!engine.Initialize(0, BUFFER_SIZE, hParent, nullptr, nullptr, nullptr))
        return 1;

    const double dStart = CpuSeconds();
    if (!engine.StartRecord(CHANNEL_STEREO, 22050, 16) || (argc == 3 && !engine.OpenOutputFile(0, argv[2])))
        return 1;
    for (size_t pos = 0; pos < samples.size();) {
        const DWORD cb = static_cast<DWORD>(std::min<size_t>(BUFFER_SIZE, samples.size() - pos));
        if (device.Feed(&samples[pos], cb))
            pos += cb;
        else
            DispatchPending();
    }
    DispatchPending();
    engine.Stop();
    while (engine.GetStatus() != STATUS_IDLE) {
        if (!device.Feed(nullptr, 0))
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        DispatchPending();
    }
    const double dCpu = CpuSeconds() - dStart;
    std::printf("cpu_seconds %.3f\n", dCpu);
    DestroyWindow(hParent);
    return 0;
}
