// capture_probe: where captured sound waits before a program gets it. Opens the default wave-in
// device as the recorder does (22050 Hz, 16-bit stereo, notification to a window) with the given
// number and size of buffers, and prints one line per block handed back: the wall-clock time it
// arrived (ms since the Unix epoch), the ms of sound handed back so far, and the first ms of this
// block whose sample passes half scale (-1 if none), so that a burst played at a known time
// can be found. Usage: capture_probe BUFFERS BYTES SECONDS
#include <windows.h>
#include <mmsystem.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const DWORD RATE = 22050;
const DWORD FRAME = 4;

double EpochMs()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const ULONGLONG t = static_cast<ULONGLONG>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
    return (t - 116444736000000000ULL) / 10000.0;
}

int LoudAt(const WAVEHDR& header)
{
    const SHORT* samples = reinterpret_cast<const SHORT*>(header.lpData);
    for (DWORD i = 0; i < header.dwBytesRecorded / 2; ++i) {
        if (samples[i] > 16384 || samples[i] < -16384)
            return static_cast<int>(i / 2 * 1000 / RATE);
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: capture_probe BUFFERS BYTES SECONDS\n");
        return 2;
    }
    const int nBuffers = atoi(argv[1]);
    const DWORD cbBuffer = static_cast<DWORD>(atoi(argv[2]));
    const double msRun = atof(argv[3]) * 1000;
    HWND hWnd = CreateWindowA("STATIC", "probe", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 2, RATE, RATE * FRAME, FRAME, 16, 0};
    HWAVEIN hIn = nullptr;
    if (waveInOpen(&hIn, WAVE_MAPPER, &wfx, reinterpret_cast<DWORD_PTR>(hWnd), 0, CALLBACK_WINDOW)) {
        fprintf(stderr, "capture_probe: no input device\n");
        return 1;
    }
    std::vector<std::vector<char>> buffers(nBuffers, std::vector<char>(cbBuffer));
    std::vector<WAVEHDR> headers(nBuffers);
    for (int i = 0; i < nBuffers; ++i) {
        headers[i].lpData = buffers[i].data();
        headers[i].dwBufferLength = cbBuffer;
        waveInPrepareHeader(hIn, &headers[i], sizeof(WAVEHDR));
        waveInAddBuffer(hIn, &headers[i], sizeof(WAVEHDR));
    }
    const double start = EpochMs();
    waveInStart(hIn);
    printf("start %.1f buffers %d bytes %lu\n", start, nBuffers, static_cast<unsigned long>(cbBuffer));
    ULONGLONG frames = 0;
    // A device that stops (its server gone) sends nothing more: the timer ends the wait.
    SetTimer(nullptr, 0, 100, nullptr);
    MSG msg;
    while (EpochMs() - start < msRun && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != MM_WIM_DATA)
            continue;
        WAVEHDR* header = reinterpret_cast<WAVEHDR*>(msg.lParam);
        frames += header->dwBytesRecorded / FRAME;
        printf("%.1f %.1f %d\n", EpochMs(), frames * 1000.0 / RATE, LoudAt(*header));
        fflush(stdout);
        waveInAddBuffer(hIn, header, sizeof(WAVEHDR));
    }
    waveInReset(hIn);
    for (WAVEHDR& header : headers)
        waveInUnprepareHeader(hIn, &header, sizeof(WAVEHDR));
    waveInClose(hIn);
    return 0;
}
