// CAudioPlayRec: the recording engine. One object is the recorder, the player and the child
// window that draws the signal; every device event arrives as a message to that window.
#pragma once
#include "framework/Afx.h"
#include "Mp3Output.h"
#include "WaveInDevice.h"
#include "WaveOutDevice.h"
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
    // Read from the devices: recording or playing while one is open, stopping until the one
    // closed last has said so.
    int GetStatus() const;
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
    static constexpr UINT FALLBACK_MS = 1000;

    // While alive the engine is mid-change: boxes raised meanwhile wait until it is over.
    class CChange {
    public:
        explicit CChange(CAudioPlayRec& engine) : m_engine(engine) { ++m_engine.m_nChanging; }
        ~CChange() { m_engine.EndChange(); }
        CChange(const CChange&) = delete;
        CChange& operator=(const CChange&) = delete;

    private:
        CAudioPlayRec& m_engine;
    };

    // Capture.
    void SetWaveFormat(int nChannelMode, DWORD nSamplesPerSec, WORD wBitsPerSample);
    WORD BufferCount() const;
    void AllocChannelBuffers();
    BOOL OpenInput();
    void QueueInputBuffer(int i, LPCSTR pszPrepareStep);
    DWORD SplitChannels(WORD wBitsPerSample, const BYTE* pData, DWORD dwLength);
    void OnDeviceMessage(UINT msg, WPARAM wParam);
    void OnWimData(HWAVEIN hDevice);
    BOOL TakeInputBlocks(BOOL bRequeue);
    void RequeueInputBuffer(int i);
    // Sends a block to every open output; FALSE when one failed and none is left open.
    BOOL RouteBlock(const BYTE* pData, DWORD cbData);
    void EndRecording();
    void EndPlayback();
    void AwaitCloseMessage(HANDLE hClosed, UINT nCloseMessage);
    void ArmFallback(UINT nMilliseconds);
    BOOL HasOutput(int nChannel) const;
    BOOL HasOpenOutput() const;
    void ReportError(MMRESULT mmr, LPCSTR pszText);
    // Shows a box at once, or, while the engine is mid-change or another box is up, after them:
    // boxes never nest and keep the order they were raised in.
    void ShowMessage(const CString& strText);
    void EndChange();
    void ShowPendingMessages();
    LRESULT OnShowMessage(WPARAM, LPARAM);

    // Outputs.
    COutput& Output(int nOutput);
    BOOL OpenWaveOutput(int nChannel, LPCSTR pszFileName);
    void FinishOutput(COutput& output);
    BOOL OpenMp3Output(int nChannel, LPCSTR pszFileName);
    BOOL LoadEncoder();
    BOOL ResolveEncoder();
    void ResetMp3State();

    // Playback (AudioPlayRecPlay.cpp).
    BOOL StartPlayback();
    BOOL QueueFirstBlocks();
    BOOL QueueOutBuffer(int nIndex, DWORD cbData);
    BOOL FillOutBuffer(int nIndex);
    void OnWomDone(HWAVEOUT hDevice);
    BOOL OpenWaveForRead(LPCSTR pszFileName);
    BOOL ReadWaveFormat();
    DWORD FileBytesLeft();
    void CloseWaveForRead();
    // FALSE only on a read error; *pcb is 0 at the end of the sample data.
    BOOL ReadBlock(BYTE* pBuffer, DWORD* pcb);

    // The view (AudioPlayRecView.cpp).
    BOOL CreateView(HWND hParent, const RECT* pRect);
    void DrawBackground(CDC* pDC);
    void DrawChannelBand(CDC* pDC, BOOL bLeft);
    CRect GetChannelRect(BOOL bLeft) const;
    BOOL HasView() const;
    void DrawWave(DWORD cbPerChannel);
    void DrawBandSamples(CDC* pDC, const CRect& rcBand, const BYTE* pSamples, DWORD nSamples);

    DWORD m_dwMicSource = 0;
    DWORD m_dwLineInSource = 0;
    CString m_strDevice;
    AUDIOCALLBACK m_pfnCallback = nullptr;
    void* m_pUser = nullptr;
    CBrush m_brushBk;
    COLORREF m_crBk = 0;
    CRect m_rcClient;
    CPen m_penWave;
    CPen m_penCenter;
    CFont m_fontLabel, m_fontText;
    BOOL m_bInitialized = FALSE;
    BOOL m_bInput = FALSE;
    UINT m_nDevice = WAVE_MAPPER;
    WAVEFORMATEX m_wfx{};
    int m_nChannelMode = CHANNEL_MONO;
    // The devices in use: the status is read from them.
    std::unique_ptr<CWaveInDevice> m_pWaveIn;
    std::unique_ptr<CWaveOutDevice> m_pWaveOut;
    // Devices whose close failed: they keep their buffers, which are never freed under them.
    std::vector<std::unique_ptr<CWaveInDevice>> m_failedIn;
    std::vector<std::unique_ptr<CWaveOutDevice>> m_failedOut;
    // A device closed by the engine whose close message has not come yet.
    HANDLE m_hClosing = nullptr;
    // Set while playback lets its last queued blocks play out.
    BOOL m_bDraining = FALSE;
    std::unique_ptr<BYTE[]> m_pLeft, m_pRight;
    DWORD m_dwBufferSize = 1024;
    WORD m_nBuffers = 0;
    // The fallback timer armed last; an older one that still fires is ignored.
    UINT_PTR m_nTimer = 0;
    UINT_PTR m_nLastTimer = 0;
    // Depth of changes under way, the boxes waiting, and whether one is up.
    int m_nChanging = 0;
    std::deque<CString> m_pendingMessages;
    BOOL m_bShowingMessage = FALSE;

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
