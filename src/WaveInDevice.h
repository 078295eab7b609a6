// CWaveInDevice: one open wave-in device, opened with notification to a window, and the
// buffers it fills.
#pragma once
#include "WaveDevice.h"

class CWaveInDevice : public CWaveDevice<CWaveInDevice, HWAVEIN> {
public:
    // nBuffers buffers of cbBuffer bytes; none are kept when the open fails.
    MMRESULT Open(UINT nDevice, const WAVEFORMATEX& wfx, HWND hNotify, int nBuffers, DWORD cbBuffer);
    MMRESULT Start();

    static constexpr const char* KIND = "waveIn";
    static constexpr const char* RESET_STEP = "waveInReset() failed";
    static constexpr const char* CLOSE_STEP = "waveInClose() failed";
    static MMRESULT PrepareHeader(HWAVEIN hDevice, WAVEHDR* pHeader);
    static MMRESULT UnprepareHeader(HWAVEIN hDevice, WAVEHDR* pHeader);
    static MMRESULT QueueHeader(HWAVEIN hDevice, WAVEHDR* pHeader);
    static MMRESULT ResetHandle(HWAVEIN hDevice);
    static MMRESULT CloseHandle(HWAVEIN hDevice);
};
