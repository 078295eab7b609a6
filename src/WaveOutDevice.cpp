#include "WaveOutDevice.h"

MMRESULT CWaveOutDevice::Open(UINT nDevice, const WAVEFORMATEX& wfx, HWND hNotify, int nBuffers, DWORD cbBuffer)
{
    return OpenWith(nBuffers, cbBuffer, [&](HWAVEOUT* phDevice) {
        return AudioServices().waveOutOpen(phDevice, nDevice, &wfx, reinterpret_cast<DWORD_PTR>(hNotify), 0,
                                           CALLBACK_WINDOW);
    });
}

MMRESULT CWaveOutDevice::PrepareHeader(HWAVEOUT hDevice, WAVEHDR* pHeader)
{
    return AudioServices().waveOutPrepareHeader(hDevice, pHeader, sizeof(WAVEHDR));
}

MMRESULT CWaveOutDevice::UnprepareHeader(HWAVEOUT hDevice, WAVEHDR* pHeader)
{
    return AudioServices().waveOutUnprepareHeader(hDevice, pHeader, sizeof(WAVEHDR));
}

MMRESULT CWaveOutDevice::QueueHeader(HWAVEOUT hDevice, WAVEHDR* pHeader)
{
    return AudioServices().waveOutWrite(hDevice, pHeader, sizeof(WAVEHDR));
}

MMRESULT CWaveOutDevice::ResetHandle(HWAVEOUT hDevice)
{
    return AudioServices().waveOutReset(hDevice);
}

MMRESULT CWaveOutDevice::CloseHandle(HWAVEOUT hDevice)
{
    return AudioServices().waveOutClose(hDevice);
}

MMRESULT CWaveOutDevice::Pause()
{
    return AudioServices().waveOutPause(GetHandle());
}

MMRESULT CWaveOutDevice::Restart()
{
    return AudioServices().waveOutRestart(GetHandle());
}
