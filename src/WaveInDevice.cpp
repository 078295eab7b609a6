#include "WaveInDevice.h"

MMRESULT CWaveInDevice::Open(UINT nDevice, const WAVEFORMATEX& wfx, HWND hNotify, int nBuffers, DWORD cbBuffer)
{
    return OpenWith(nBuffers, cbBuffer, [&](HWAVEIN* phDevice) {
        return AudioServices().waveInOpen(phDevice, nDevice, &wfx, reinterpret_cast<DWORD_PTR>(hNotify), 0,
                                          CALLBACK_WINDOW);
    });
}

MMRESULT CWaveInDevice::Start()
{
    return AudioServices().waveInStart(GetHandle());
}

MMRESULT CWaveInDevice::PrepareHeader(HWAVEIN hDevice, WAVEHDR* pHeader)
{
    return AudioServices().waveInPrepareHeader(hDevice, pHeader, sizeof(WAVEHDR));
}

MMRESULT CWaveInDevice::UnprepareHeader(HWAVEIN hDevice, WAVEHDR* pHeader)
{
    return AudioServices().waveInUnprepareHeader(hDevice, pHeader, sizeof(WAVEHDR));
}

MMRESULT CWaveInDevice::QueueHeader(HWAVEIN hDevice, WAVEHDR* pHeader)
{
    return AudioServices().waveInAddBuffer(hDevice, pHeader, sizeof(WAVEHDR));
}

MMRESULT CWaveInDevice::ResetHandle(HWAVEIN hDevice)
{
    return AudioServices().waveInReset(hDevice);
}

MMRESULT CWaveInDevice::CloseHandle(HWAVEIN hDevice)
{
    return AudioServices().waveInClose(hDevice);
}
