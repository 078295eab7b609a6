// The capture path at full speed on a stand-in device: minutes of 4096-byte stereo blocks,
// each handed to the engine's window as the device would, written to a WAV file with and
// without the view drawing them, beside a plain memcpy + fwrite of the same bytes. Prints
// capture_wav_vs_copy_ratio, capture_draw_xrealtime and capture_allocs_per_block. Each ratio
// compares CPU seconds per run, each side run until it took two seconds (Measure.h); the
// drawing is timed on the wall clock, each block waiting until the X server has drawn it.
#include "AudioPlayRec.h"
#include "CpuTime.h"
#include "FastCapture.h"
#include "Measure.h"
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
const double SCALE = QuickBench() ? 0.05 : 1;
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

// Waits until the X server has shown what this process drew. GdiFlush ends GDI's batch, but
// Wine hands a window's pixels to the X server only when the thread looks at its queue (a
// peek for a message that never comes, so nothing is taken); reading a pixel of the screen
// is then a request the X server answers only after all those before it.
COLORREF WaitForScreen(POINT at = {0, 0})
{
    GdiFlush();
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_APP + 0x3FFF, WM_APP + 0x3FFF, PM_NOREMOVE);
    HDC screen = GetDC(nullptr);
    COLORREF shown = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return shown;
}

// Whether the screen shows each new colour of the window as soon as WaitForScreen returns:
// else the drawing would be timed without the X server's share.
bool ScreenFollowsDrawing(HWND window)
{
    RECT rc;
    GetWindowRect(window, &rc);
    for (COLORREF colour : {RGB(200, 0, 0), RGB(0, 0, 200), RGB(0, 200, 0)}) {
        HDC dc = GetDC(window);
        HBRUSH brush = CreateSolidBrush(colour);
        RECT all = {0, 0, rc.right - rc.left, rc.bottom - rc.top};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        ReleaseDC(window, dc);
        if (WaitForScreen({rc.right - 5, rc.bottom - 5}) != colour)
            return false;
    }
    return true;
}

// Seconds of `clock` for the whole recording; the allocations made while blocks flowed. A
// drawn block counts until the X server has shown it.
double Capture(HWND host, bool draw, const std::string& path, int nBlocks, long* allocations,
               double (*clock)() = CpuSeconds)
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
    double start = clock();
    g_allocations = 0;
    g_countAllocations = true;
    for (int i = 0; i < nBlocks; ++i) {
        device.Feed(reinterpret_cast<const BYTE*>(tone.data()), BLOCK_BYTES);
        if (draw)
            WaitForScreen();
    }
    g_countAllocations = false;
    *allocations = g_allocations;
    engine.Stop();
    engine.Close();
    double seconds = clock() - start;
    DeleteFileA(path.c_str());
    return seconds;
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
    if (!ScreenFollowsDrawing(host)) {
        fprintf(stderr, "capture bench: the screen does not show the drawing after the round trip\n");
        return 1;
    }
    const std::string path = TempFile("korvalin-bench.wav"), raw = TempFile("korvalin-bench.raw");
    const int nDrawn = Blocks(DRAWN_SECONDS), nWritten = Blocks(WRITTEN_SECONDS);
    // Warm the file cache and the code paths first.
    long allocations;
    Capture(host, true, path, 100, &allocations);
    CopyReference(raw, nWritten);

    // Each repeat measures every side anew, the reference first, so that a slower stretch of
    // the machine falls on both sides of its ratios.
    long allocated = 0, fed = 0;
    auto capture = [&](bool draw, int nBlocks, double (*clock)()) {
        double seconds = Capture(host, draw, path, nBlocks, &allocations, clock);
        allocated += allocations;
        fed += nBlocks;
        return seconds;
    };
    std::vector<double> wav, drawn;
    for (int i = 0; i < Repeats(); ++i) {
        // CPU time comes in ticks of 10 to 16 ms: a quick run may see no tick at all.
        const double copy = std::max(SecondsPerRun([&] { return CopyReference(raw, nWritten); }), 0.016);
        wav.push_back(SecondsPerRun([&] { return capture(false, nWritten, CpuSeconds); }) / copy);
        drawn.push_back(DRAWN_SECONDS / SecondsPerRun([&] { return capture(true, nDrawn, WallSeconds); }));
        fprintf(stderr, "capture bench: CPU s per %.0f s of stereo: copy %.3f, wav %.3f; wall s per %.0f s drawn: %.3f\n",
                WRITTEN_SECONDS, copy, wav.back() * copy, DRAWN_SECONDS, DRAWN_SECONDS / drawn.back());
    }
    PrintFigure("capture_wav_vs_copy_ratio", wav, "ratio");
    PrintFigure("capture_draw_xrealtime", drawn, "x", 1);
    printf("capture_allocs_per_block %.3f allocations (counted over %ld blocks%s)\n",
           static_cast<double>(allocated) / fed, fed, QuickBench() ? "; quick: not a measurement" : "");
    return 0;
}
