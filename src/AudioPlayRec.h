// CAudioPlayRec: the recording engine. One object is the recorder, the player and the child
// window that draws the signal; every device event arrives as a message to that window.
#pragma once
#include "framework/Afx.h"
#include "Mp3Output.h"
#include "WaveOutput.h"
#include <mmsystem.h>
#include <deque>
#include <memory>
#include <vector>

enum { CHANNEL_MONO = 0, CHANNEL_STEREO = 1, CHANNEL_ALONE = 2 };
enum { STATUS_UNINIT = 0, STATUS_IDLE = 1, STATUS_PLAYING = 2, STATUS_RECORDING = 3, STATUS_STOPPING = 4 };

// Called after the engine has handled each device message (MM_WOM_OPEN ... MM_MOM_DONE).
typedef void (*AUDIOCALLBACK)(UINT message, void* user);

class CAudioPlayRec : public CWnd {
public:
    CAudioPlayRec();
    ~CAudioPlayRec() override;
    CAudioPlayRec(const CAudioPlayRec&) = delete;
    CAudioPlayRec& operator=(const CAudioPlayRec&) = delete;

    BOOL Initialize(UINT nDevice, DWORD dwBufferSize, HWND hParent, const RECT* pRect, AUDIOCALLBACK pfn,
                    void* pUser);
    void SetDevice(UINT nDevice);
    BOOL StartRecord(int nChannelMode, DWORD nSamplesPerSec, WORD wBitsPerSample);
    // Allowed before and during a recording; an output already open counts as success.
    BOOL OpenOutputFile(int nChannel, LPCSTR pszFileName);
    // strKind is "wav" or "mp3" in any letter case.
    void CloseOutputFile(int nChannel, CString strKind);
    // Ends a recording or playback asynchronously: the device's buffers come back first.
    void Stop();
    BOOL Play(LPCSTR pszWaveFile);
    int GetStatus() const { return m_nStatus; }
    // Ends any recording and playback at once and frees the sample buffers.
    void Close();

    static UINT GetInDeviceCount();
    CString GetInDeviceName(UINT nDevice) const;
    static UINT GetOutDeviceCount();
    CString GetOutDeviceName(UINT nDevice) const;

    // The current device's microphone or line input (bLineIn) and its volume, in the mixer
    // control's own units; -1 asks for the maximum and is what reads back without a control.
    void SetInputLine(BOOL bLineIn, DWORD dwVolume);
    // Makes the line the recording source and leaves its volume as it is.
    void SelectInputLine(BOOL bLineIn);
    DWORD GetInputLineVolume(BOOL bLineIn, DWORD* pdwMax, DWORD* pdwMin);
    // The first device whose first recording source has a usable volume control, or -1.
    int FindMixerDevice();
    // Notes whether a source line of the device being selected is the microphone or line in.
    static BOOL OnSourceLine(UINT nIndex, MIXERLINEA* pLine, DWORD_PTR dwUser);

    void SetBkColor(COLORREF cr);

protected:
    BOOL OnEraseBkgnd(CDC* pDC);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnTimer(UINT_PTR nIDEvent);
    LRESULT OnDeviceEvent(UINT msg, WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    static constexpr UINT_PTR RECORD_TIMER = 1;
    static constexpr UINT_PTR PLAY_TIMER = 2;
    static constexpr UINT FALLBACK_MS = 1000;

    // Capture and the buffer queue.
    void SetWaveFormat(int nChannelMode, DWORD nSamplesPerSec, WORD wBitsPerSample);
    void AllocBuffers();
    void FreeBuffers();
    void AddInputBufferToQueue(int i);
    DWORD SplitChannels(WORD wBitsPerSample, const BYTE* pData, DWORD dwLength);
    void OnDeviceMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnWimData(HWAVEIN hDevice, WAVEHDR* pHeader);
    int FindBuffer(const WAVEHDR* pHeader) const;
    void RetireInputBuffer();
    static DWORD RecordedBytes(const WAVEHDR* pHeader);
    BOOL WriteBlock(const WAVEHDR* pHeader);
    void WriteReturnedBlocks();
    void RequeueInputBuffer(WAVEHDR* pHeader);
    void ResetInput();
    void FinishRecord();
    void ReleaseInputDevice(HWAVEIN hWaveIn);
    BOOL HasOutput(int nChannel) const;
    void ReportError(MMRESULT mmr, LPCSTR pszText);
    // Shows a box at once, or, while a device message or timer is handled, from a message of
    // its own once the engine is consistent again: no device handler runs inside another.
    void ShowMessage(const CString& strText);
    LRESULT OnShowMessage(WPARAM, LPARAM);

    // Outputs.
    BOOL OpenWaveOutput(int nChannel, LPCSTR pszFileName);
    void FinishWaveOutput(int nChannel);
    BOOL OpenMp3Output(int nChannel, LPCSTR pszFileName);
    void FinishMp3Output(int nChannel);
    BOOL LoadEncoder();
    BOOL ResolveEncoder();
    void ResetMp3State();

    // Playback (AudioPlayRecPlay.cpp).
    BOOL QueueOutBuffer(int nIndex, DWORD cbData);
    void OnWomDone(HWAVEOUT hDevice, WAVEHDR* pHeader);
    void FinishPlay();
    void AbandonPlay();
    MMRESULT ReleaseOutputDevice(HWAVEOUT hWaveOut);
    void ArmPlayFallback();
    BOOL OpenWaveForRead(LPCSTR pszFileName);
    BOOL ReadWaveFormat();
    void CloseWaveForRead();
    // FALSE only on a read error; *pcb is 0 at the end of the sample data.
    BOOL ReadBlock(BYTE* pBuffer, DWORD* pcb);

    // The view (AudioPlayRecView.cpp).
    BOOL CreateView(HWND hParent, const RECT* pRect);
    void DrawBackground(CDC* pDC);
    void DrawChannelBand(CDC* pDC, BOOL bLeft);
    CRect GetChannelRect(BOOL bLeft) const;
    void DrawWave(DWORD cbPerChannel);
    void DrawBandSamples(CDC* pDC, const CRect& rcBand, const BYTE* pSamples, DWORD nSamples);

    DWORD m_dwMicSource = 0;
    DWORD m_dwLineInSource = 0;
    CString m_strDevice;
    int m_nQueued = 0;
    AUDIOCALLBACK m_pfnCallback = nullptr;
    void* m_pUser = nullptr;
    CBrush m_brushBk;
    COLORREF m_crBk = 0;
    CRect m_rcClient;
    CPen m_penWave;
    CPen m_penCenter;
    CFont m_fontLabel, m_fontText;
    int m_nStatus = STATUS_UNINIT;
    BOOL m_bInput = FALSE;
    UINT m_nDevice = WAVE_MAPPER;
    WAVEFORMATEX m_wfx{};
    int m_nChannelMode = CHANNEL_MONO;
    HWAVEIN m_hWaveIn = nullptr;
    HWAVEOUT m_hWaveOut = nullptr;
    std::vector<std::unique_ptr<BYTE[]>> m_ppBuffers;
    std::unique_ptr<BYTE[]> m_pLeft, m_pRight;
    std::vector<std::unique_ptr<WAVEHDR>> m_ppHeaders;
    DWORD m_dwBufferSize = 1024;
    WORD m_nBuffers = 0;
    // The input buffer handled last: the device hands them back in queue order after it.
    int m_nLastBuffer = 0;
    // Depth of device messages and timers being handled, and the boxes they raised.
    int m_nHandling = 0;
    std::deque<CString> m_pendingMessages;

    CWaveOutput m_waveOutput[2];
    CMp3Output m_mp3Output[2];
    struct CLibraryFreer {
        void operator()(HMODULE hModule) const { FreeLibrary(hModule); }
    };
    std::unique_ptr<HINSTANCE__, CLibraryFreer> m_ForMp3_hDll;
    CMp3Procs m_ForMp3_procs;

    // The file being played and the sample bytes left in its data chunk.
    HMMIO m_hmmio = nullptr;
    MMCKINFO m_ckRiff{};
    MMCKINFO m_ckSub{};
    DWORD m_dwWaveData = 0;
};
