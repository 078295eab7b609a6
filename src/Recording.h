// CRecording: one recording, from Record to its device's close message. It owns the input
// device and its buffers, the outputs every captured block is routed to (a WAV file and an MP3
// stream per output channel), the encoder library while an MP3 output needs it, and its own
// end: at Stop it takes the sound the device still owes, then resets and closes the device and
// finishes the outputs; a failure that leaves no output open ends it too.
#pragma once
#include "DeviceRun.h"
#include "Mp3Output.h"
#include "WaveInDevice.h"
#include "WaveFile.h"
#include <memory>

enum { CHANNEL_MONO = 0, CHANNEL_STEREO = 1, CHANNEL_ALONE = 2 };

class CRecording : public CDeviceRun {
public:
    // 8 or 16 bits per sample; one channel in mono, two otherwise.
    CRecording(const CEngineWindow& window, UINT_PTR nTimer, int nChannelMode, DWORD nSamplesPerSec,
               WORD wBitsPerSample, DWORD cbBuffer);
    ~CRecording() override;

    // Opens the device with every buffer queued and starts it; FALSE, said, when it cannot.
    BOOL Start(UINT nDevice);
    BOOL Owns(HANDLE hDevice) const { return m_pDevice && m_pDevice->GetHandle() == hDevice; }
    // An output already open counts as success; pszFileName is in lower case.
    BOOL OpenOutput(int nChannel, LPCSTR pszFileName);
    void CloseOutput(int nChannel, BOOL bMp3);
    // Stops capturing once the device has handed over the sound up to now: Stop as its messages
    // come, StopNow before it returns (when nothing will take them any more).
    void Stop();
    void StopNow();
    // Ends at once with what the device has handed over.
    void End();
    void OnData();
    // A device whose close failed, for the engine to try again later.
    std::unique_ptr<CWaveInDevice> TakeKeptDevice();

protected:
    void OnFallback() override { End(); }

private:
    WAVEFORMATEX OutputFormat() const;
    BOOL HasOutput(int nChannel) const;
    // Routes each block the device has handed back; bRequeue gives each buffer back after it.
    void TakeBlocks(BOOL bRequeue);
    void RouteBlock(const BYTE* pData, DWORD cbData);
    void FinishOutput(COutput& output);
    // The bytes of sound the device delivers for the time since it started.
    ULONGLONG BytesSinceStart() const;

    const int m_nChannelMode;
    WAVEFORMATEX m_wfx{};
    const DWORD m_cbBlock;
    std::unique_ptr<CWaveInDevice> m_pDevice;
    std::unique_ptr<CChannelSplitter> m_pSplit;
    CWaveWriter m_waveOutput[2];
    CMp3Output m_mp3Output[2];
    std::shared_ptr<const CMp3Encoder> m_pEncoder;
    LARGE_INTEGER m_started{};
    // Bytes the device has handed over, and how many of them the recording is to hold: all of
    // them until it is stopped.
    ULONGLONG m_cbTaken = 0;
    ULONGLONG m_cbWanted = ~0ULL;
    // FALSE once a failure left no output open: nothing more is written or queued.
    BOOL m_bRouting = TRUE;
};
