// The least a WinMM recorder does under this Wine: the program's capture layout (22050 Hz
// 16-bit stereo, 22 buffers of 2048 bytes, CALLBACK_WINDOW to a window of its own) and nothing
// but giving each returned buffer back. The cost harness drives it as it drives the program,
// one command a line on stdin, one answer a line on stdout:
//   r   "r"                 recording (device opened, buffers queued, started)
//   s   "s <blocks> <peak>" stopped and closed: blocks that came back with sound, loudest sample
//   q   "q"                 ends
// Starts with "ready <device name>" once its window exists. Device 0 is the default source, the
// one the program picks here.
#include <windows.h>
#include <mmsystem.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD RATE = 22050;
const DWORD BLOCK_BYTES = 2048;
const int BUFFERS = 22;
const UINT COMMAND = WM_APP + 1;

HWAVEIN g_hDevice = nullptr;
WAVEHDR g_headers[BUFFERS];
char g_data[BUFFERS][BLOCK_BYTES];
long g_blocks = 0;
int g_peak = 0;
bool g_stopping = false;

void Answer(const char* text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}

bool Fail(const char* step, MMRESULT mmr)
{
    std::printf("error %s failed (%u)\n", step, mmr);
    std::fflush(stdout);
    return false;
}

bool Record(HWND hWnd)
{
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = RATE;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 4;
    wfx.nAvgBytesPerSec = RATE * 4;
    MMRESULT mmr = waveInOpen(&g_hDevice, 0, &wfx, reinterpret_cast<DWORD_PTR>(hWnd), 0, CALLBACK_WINDOW);
    if (mmr != MMSYSERR_NOERROR)
        return Fail("waveInOpen", mmr);
    for (int i = 0; i < BUFFERS; ++i) {
        g_headers[i] = WAVEHDR{};
        g_headers[i].lpData = g_data[i];
        g_headers[i].dwBufferLength = BLOCK_BYTES;
        if ((mmr = waveInPrepareHeader(g_hDevice, &g_headers[i], sizeof(WAVEHDR))) != MMSYSERR_NOERROR)
            return Fail("waveInPrepareHeader", mmr);
        if ((mmr = waveInAddBuffer(g_hDevice, &g_headers[i], sizeof(WAVEHDR))) != MMSYSERR_NOERROR)
            return Fail("waveInAddBuffer", mmr);
    }
    if ((mmr = waveInStart(g_hDevice)) != MMSYSERR_NOERROR)
        return Fail("waveInStart", mmr);
    return true;
}

void Stop()
{
    g_stopping = true;
    waveInReset(g_hDevice);
    for (WAVEHDR& header : g_headers)
        waveInUnprepareHeader(g_hDevice, &header, sizeof(WAVEHDR));
    waveInClose(g_hDevice);
    g_hDevice = nullptr;
    char text[64];
    std::snprintf(text, sizeof text, "s %ld %d", g_blocks, g_peak);
    Answer(text);
}

// Only the sound's presence is judged, from the last frame of a block: it costs nothing.
void OnData(WAVEHDR* pHeader)
{
    if (pHeader->dwBytesRecorded >= 4) {
        SHORT s;
        std::memcpy(&s, pHeader->lpData + pHeader->dwBytesRecorded - 4, sizeof s);
        g_peak = std::max(g_peak, std::abs(static_cast<int>(s)));
        ++g_blocks;
    }
    if (!g_stopping)
        waveInAddBuffer(g_hDevice, pHeader, sizeof(WAVEHDR));
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case MM_WIM_DATA:
        OnData(reinterpret_cast<WAVEHDR*>(lParam));
        return 0;
    case COMMAND:
        if (wParam == 'r' && Record(hWnd))
            Answer("r");
        else if (wParam == 's' && g_hDevice)
            Stop();
        else if (wParam == 'q')
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

// The harness's commands, turned into messages: the window's thread never waits on stdin.
DWORD WINAPI ReadCommands(void* hWnd)
{
    char line[32];
    while (std::fgets(line, sizeof line, stdin))
        PostMessageA(static_cast<HWND>(hWnd), COMMAND, static_cast<WPARAM>(line[0]), 0);
    PostMessageA(static_cast<HWND>(hWnd), COMMAND, 'q', 0);
    return 0;
}

} // namespace

int main()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KorvalinBareCapture";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    WAVEINCAPSA caps{};
    waveInGetDevCapsA(0, &caps, sizeof caps);
    std::printf("ready %s\n", caps.szPname);
    std::fflush(stdout);
    CloseHandle(CreateThread(nullptr, 0, ReadCommands, hWnd, 0, nullptr));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    if (g_hDevice)
        Stop();
    Answer("q");
    return 0;
}
