// The capture path at full speed on a stand-in device: minutes of 4096-byte stereo blocks,
// each handed to the engine's window as the device would, written to a WAV file with and
// without the view drawing them, beside a plain memcpy + fwrite of the same bytes; and the two
// ways of seeing a short write at once, an unbuffered mmio file against a checked flush per
// block. Prints capture_wav_vs_copy_ratio, capture_draw_xrealtime, capture_allocs_per_block,
// capture_mmio_unbuffered_vs_copy_ratio and capture_mmio_flush_vs_copy_ratio.
#include "AudioPlayRec.h"
#include "CpuTime.h"
#include "FastCapture.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

const DWORD BLOCK_BYTES = 4096;
const DWORD BYTES_PER_SECOND = 22050 * 4;
// Drawing is slow enough to time over three minutes; the file path needs twenty. Quick
// mode (CI) runs the same paths over a twentieth of that.
const double SCALE = std::getenv("KORVALIN_BENCH_QUICK") ? 0.05 : 1;
const double DRAWN_SECONDS = 180 * SCALE;
const double WRITTEN_SECONDS = 1200 * SCALE;

int Blocks(double seconds)
{
    return static_cast<int>(seconds * BYTES_PER_SECOND / BLOCK_BYTES);
}

bool g_countAllocations = false;
long g_allocations = 0;

std::string TempFile(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

double CopyReference(const std::string& path, int nBlocks)
{
    std::vector<char> source(BLOCK_BYTES, 1), copy(BLOCK_BYTES);
    double start = CpuSeconds();
    FILE* file = fopen(path.c_str(), "wb");
    for (int i = 0; i < nBlocks; ++i) {
        memcpy(copy.data(), source.data(), BLOCK_BYTES);
        fwrite(copy.data(), 1, BLOCK_BYTES, file);
    }
    fclose(file);
    double cpu = CpuSeconds() - start;
    DeleteFileA(path.c_str());
    return cpu;
}

// CPU seconds to write nBlocks through mmio, unbuffered or buffered with a checked flush after
// each block: the two ways a full disk is seen by the write that meets it.
double MmioWrite(const std::string& path, int nBlocks, bool bFlushEach)
{
    std::vector<char> block(BLOCK_BYTES, 1);
    std::string name = path;
    double start = CpuSeconds();
    HMMIO hmmio = mmioOpenA(name.data(), nullptr,
                            MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | (bFlushEach ? MMIO_ALLOCBUF : 0));
    for (int i = 0; i < nBlocks; ++i) {
        if (mmioWrite(hmmio, block.data(), BLOCK_BYTES) != static_cast<LONG>(BLOCK_BYTES) ||
            (bFlushEach && mmioFlush(hmmio, 0) != MMSYSERR_NOERROR)) {
            fprintf(stderr, "capture bench: mmio write failed\n");
            exit(1);
        }
    }
    mmioClose(hmmio, 0);
    double cpu = CpuSeconds() - start;
    DeleteFileA(path.c_str());
    return cpu;
}

// CPU seconds for the whole recording; the allocations made while blocks flowed.
double Capture(HWND host, bool draw, const std::string& path, int nBlocks, long* allocations)
{
    CFastCapture device;
    CAudioPlayRec engine;
    CRect rc(0, 0, 400, 200);
    if (!engine.Initialize(0, BLOCK_BYTES, host, draw ? &rc : nullptr, nullptr, nullptr) ||
        !engine.StartRecord(CHANNEL_STEREO, 22050, 16) || !engine.OpenOutputFile(0, path.c_str())) {
        fprintf(stderr, "capture bench: the engine did not start\n");
        exit(1);
    }
    // A 441 Hz tone at half scale, so the view draws a real trace.
    std::vector<SHORT> tone(BLOCK_BYTES / 2);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<SHORT>(16000 * sin(2 * 3.14159265 * 441 * static_cast<double>(i / 2) / 22050));
    double start = CpuSeconds();
    g_allocations = 0;
    g_countAllocations = true;
    for (int i = 0; i < nBlocks; ++i)
        device.Feed(reinterpret_cast<const BYTE*>(tone.data()), BLOCK_BYTES);
    g_countAllocations = false;
    *allocations = g_allocations;
    engine.Stop();
    engine.Close();
    double cpu = CpuSeconds() - start;
    DeleteFileA(path.c_str());
    return cpu;
}

} // namespace

void* operator new(size_t size)
{
    if (g_countAllocations)
        ++g_allocations;
    if (void* p = malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    free(p);
}

void operator delete(void* p, size_t) noexcept
{
    free(p);
}

int main()
{
    CWnd host;
    host.CreateEx(0, AfxRegisterWndClass(0), "bench", WS_POPUP | WS_VISIBLE, CRect(0, 0, 440, 240), nullptr, 0);
    const std::string path = TempFile("korvalin-bench.wav");
    const int nDrawn = Blocks(DRAWN_SECONDS), nWritten = Blocks(WRITTEN_SECONDS);
    // Warm the file cache and the code paths first.
    long allocations;
    Capture(host, true, path, 100, &allocations);
    CopyReference(TempFile("korvalin-bench.raw"), nWritten);

    // Process CPU time comes in ticks of about 16 ms: a quick run may measure no tick at all.
    // Each run is a fraction of a second of CPU: alternated and the best of three kept, so
    // that another program taking the machine for a moment does not count.
    double reference = 1e9, wav = 1e9;
    long wavAllocations, drawAllocations;
    for (int i = 0; i < 3; ++i) {
        reference = std::min(reference, std::max(CopyReference(TempFile("korvalin-bench.raw"), nWritten), 0.016));
        wav = std::min(wav, Capture(host, false, path, nWritten, &wavAllocations));
    }
    double drawn = Capture(host, true, path, nDrawn, &drawAllocations);

    // Alternated and the best of three kept: each run is a tenth of a second of CPU.
    double unbuffered = 1e9, flushed = 1e9;
    for (int i = 0; i < 3; ++i) {
        unbuffered = std::min(unbuffered, MmioWrite(path, nWritten, false));
        flushed = std::min(flushed, MmioWrite(path, nWritten, true));
    }

    printf("capture_mmio_unbuffered_vs_copy_ratio %.2f ratio\n", unbuffered / reference);
    printf("capture_mmio_flush_vs_copy_ratio %.2f ratio\n", flushed / reference);
    printf("capture_wav_vs_copy_ratio %.2f ratio\n", wav / reference);
    printf("capture_draw_xrealtime %.1f x\n", DRAWN_SECONDS / drawn);
    printf("capture_allocs_per_block %.3f allocations\n",
           static_cast<double>(wavAllocations + drawAllocations) / (nWritten + nDrawn));
    fprintf(stderr,
            "capture bench: CPU s for %.0f s of stereo: copy %.3f, wav %.3f, mmio unbuffered %.3f, mmio flushed %.3f; "
            "for %.0f s: wav+view %.3f\n",
            WRITTEN_SECONDS, reference, wav, unbuffered, flushed, DRAWN_SECONDS, drawn);
    return 0;
}
