// CPlayback: one playback, from Play to its device's close message. It owns the WAV file being
// read, the output device and its buffers, and its own end: at the end of the file what is
// queued plays out; Stop, a failed step or the timer end it at once.
#pragma once
#include "DeviceRun.h"
#include "WaveFile.h"
#include "WaveOutDevice.h"
#include <memory>

class CPlayback : public CDeviceRun {
public:
    CPlayback(const CEngineWindow& window, UINT_PTR nTimer, DWORD cbBuffer);
    ~CPlayback() override;

    // Opens the file and the device and queues the first blocks; FALSE, said, when it cannot.
    BOOL Start(LPCSTR pszWaveFile, UINT nDevice);
    BOOL Owns(HANDLE hDevice) const { return m_pDevice && m_pDevice->GetHandle() == hDevice; }
    void OnDone();
    // Ends at once: every queued block comes back, the device and the file are closed.
    void End();
    // A device whose close failed, for the engine to try again later.
    std::unique_ptr<CWaveOutDevice> TakeKeptDevice();

protected:
    void OnFallback() override { End(); }

private:
    BOOL StartDevice(UINT nDevice);
    BOOL QueueFirstBlocks();
    BOOL QueueBlock(int nIndex, DWORD cbData);
    BOOL FillBuffer(int nIndex);

    const DWORD m_cbBuffer;
    CWaveReader m_reader;
    std::unique_ptr<CWaveOutDevice> m_pDevice;
    std::unique_ptr<CChannelSplitter> m_pSplit;
};
