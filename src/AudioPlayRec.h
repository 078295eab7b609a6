// CAudioPlayRec: the recording engine. One object is the recorder, the player and the child
// window that draws the signal; every device event arrives as a message to that window.
#pragma once
#include "framework/Afx.h"
#include "lame_enc/LameEncInterface.h"
#include <mmsystem.h>
#include <cstdio>
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
    DWORD GetInputLineVolume(BOOL bLineIn, DWORD* pdwMax, DWORD* pdwMin);
    // The first device whose first recording source has a usable volume control, or -1.
    int FindMixerDevice();
    // Notes whether a source line of the device being selected is the microphone or line in.
    static BOOL OnSourceLine(UINT nIndex, MIXERLINEA* pLine, DWORD_PTR dwUser);

    void SetBkColor(COLORREF cr);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnEraseBkgnd(CDC* pDC);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnTimer(UINT_PTR nIDEvent);
    DECLARE_MESSAGE_MAP()

private:
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
    BOOL WriteWaveOutputs(const WAVEHDR* pHeader, DWORD cbPerChannel);
    void RequeueInputBuffer(WAVEHDR* pHeader);
    void FinishRecord();
    MMRESULT ReleaseInputDevice(HWAVEIN hWaveIn);
    BOOL HasOutput(int nChannel) const;
    void ReportError(MMRESULT mmr, LPCSTR pszText);

    // Playback.
    BOOL QueueOutBuffer(int nIndex, DWORD cbData);
    void OnWomDone(HWAVEOUT hDevice, WAVEHDR* pHeader);
    void FinishPlay();
    void AbandonPlay();
    MMRESULT ReleaseOutputDevice(HWAVEOUT hWaveOut);
    void ArmPlayFallback();

    // WAV files.
    BOOL OpenWaveForWrite(LPCSTR pszFileName, int nChannel);
    BOOL AppendWave(int nChannel, const BYTE* pData, DWORD cbData);
    void CloseWaveForWrite(int nChannel);
    BOOL OpenWaveForRead(LPCSTR pszFileName);
    BOOL ReadWaveFormat();
    void CloseWaveForRead();
    // FALSE only on a read error; *pcb is 0 at the end of the sample data.
    BOOL ReadBlock(BYTE* pBuffer, DWORD* pcb);

    // The view.
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

    HMMIO m_hmmio[2] = {nullptr, nullptr};
    MMCKINFO m_ckRiff[2]{};
    MMCKINFO m_ckSub[2]{};
    // Sample bytes written to each output file, or left to read in the file being played.
    DWORD m_dwWaveData[2] = {0, 0};

    // MP3 output through the encoder library (AudioPlayRecMp3.cpp).
    BOOL OpenMp3Output(int nChannel, const CString& strName);
    BOOL LoadEncoder();
    BOOL ResolveEncoder();
    BOOL OpenMp3Stream(LPCSTR pszFileName, int nChannel);
    void FeedMp3Outputs(const WAVEHDR* pHeader, DWORD cbPerChannel);
    void FeedMp3(int nChannel, const BYTE* pData, DWORD cbData);
    BOOL EncodeChunk(BYTE* pSamples, DWORD nBytes, int nChannel);
    BOOL WriteMp3(int nChannel, DWORD cbOut);
    void CloseMp3Stream(int nChannel);
    void DropMp3Output(int nChannel);
    void UnloadEncoder();
    void ResetMp3State();
    BOOL IsMp3Open(int nChannel) const { return m_ForMp3_pFile[nChannel] != nullptr; }

    struct CFileCloser {
        void operator()(FILE* pFile) const { std::fclose(pFile); }
    };
    struct CLibraryFreer {
        void operator()(HMODULE hModule) const { FreeLibrary(hModule); }
    };

    std::unique_ptr<BYTE[]> m_ForMp3_pOutBuf[2];
    std::unique_ptr<BYTE[]> m_ForMp3_pStage[2];
    std::unique_ptr<FILE, CFileCloser> m_ForMp3_pFile[2];
    CString m_ForMp3_strFile[2];
    DWORD m_ForMp3_dwStageFill[2] = {0, 0};
    HBE_STREAM m_ForMp3_hbeStream[2] = {0, 0};
    // A short write is reported once per file, not once per chunk.
    BOOL m_ForMp3_bWriteFailed[2] = {FALSE, FALSE};
    std::unique_ptr<HINSTANCE__, CLibraryFreer> m_ForMp3_hDll;
    DWORD m_ForMp3_dwStageSize = 0;
    BEINITSTREAM m_ForMp3_Proc_hInitStream = nullptr;
    BEENCODECHUNK m_ForMp3_Proc_hEncodeChunk = nullptr;
    BEDEINITSTREAM m_ForMp3_Proc_hDeinitStream = nullptr;
    BECLOSESTREAM m_ForMp3_Proc_hCloseStream = nullptr;
    BEVERSION m_ForMp3_Proc_hVersion = nullptr;
    BEWRITEVBRHEADER m_ForMp3_Proc_hWriteVBRHeader = nullptr;
    BEWRITEINFOTAG m_ForMp3_Proc_hWriteInfoTag = nullptr;
    DWORD m_ForMp3_dwSamples = 0;
};
