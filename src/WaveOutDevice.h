// CWaveOutDevice: one open wave-out device, opened with notification to a window, and the
// buffers it plays.
#pragma once
#include "WaveDevice.h"

class CWaveOutDevice : public CWaveDevice<CWaveOutDevice, HWAVEOUT> {
public:
    // nBuffers buffers of cbBuffer bytes; none are kept when the open fails.
    MMRESULT Open(UINT nDevice, const WAVEFORMATEX& wfx, HWND hNotify, int nBuffers, DWORD cbBuffer);

    static constexpr const char* KIND = "waveOut";
    static constexpr const char* RESET_STEP = "waveOutReset() failed";
    static constexpr const char* CLOSE_STEP = "waveOutClose() failed";
    static MMRESULT PrepareHeader(HWAVEOUT hDevice, WAVEHDR* pHeader);
    static MMRESULT UnprepareHeader(HWAVEOUT hDevice, WAVEHDR* pHeader);
    static MMRESULT QueueHeader(HWAVEOUT hDevice, WAVEHDR* pHeader);
    static MMRESULT ResetHandle(HWAVEOUT hDevice);
    static MMRESULT CloseHandle(HWAVEOUT hDevice);

    // Held while the first blocks are queued, then started with all of them.
    MMRESULT Pause();
    MMRESULT Restart();
};
