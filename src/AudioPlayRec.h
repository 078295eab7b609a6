// CAudioPlayRec: the recording engine as its owner sees it: one object that records, plays and
// is the child window that draws the signal. Inside, a recording (CRecording) or a playback
// (CPlayback) exists while one runs; every device event arrives as a message to this window and
// goes to it. The status is read from which of them exists and what it reports.
#pragma once
#include "Playback.h"
#include "Recording.h"
#include "framework/Afx.h"
#include <memory>
#include <vector>

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
    // Ends a recording or playback asynchronously: the device's sound comes back first.
    void Stop();
    BOOL Play(LPCSTR pszWaveFile);
    int GetStatus() const;
    // Ends any recording and playback now; a recording first takes the sound its device owes.
    void Close();
    // A box for the user, shown in turn with the engine's own.
    void ShowMessage(const CString& strText) { m_boxes.Show(strText); }

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
    LRESULT OnShowMessage(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    // A device whose close failed, tried again before the next one opens.
    template <class Device>
    struct CKept {
        std::unique_ptr<Device> pDevice;
        BOOL bSaid;
    };

    BOOL CreateView(HWND hParent, const RECT* pRect);
    CEngineWindow Window();
    void OnDeviceMessage(UINT msg, HANDLE hDevice);
    // Lets go of a recording or playback that is over; TRUE when one was.
    BOOL DropFinishedRuns();
    void RetryKeptDevices();
    template <class Device>
    void RetryKept(std::vector<CKept<Device>>& kept, BOOL bInput);

    DWORD m_dwMicSource = 0;
    DWORD m_dwLineInSource = 0;
    AUDIOCALLBACK m_pfnCallback = nullptr;
    void* m_pUser = nullptr;
    CWaveView m_view;
    CMessageBoxQueue m_boxes;
    BOOL m_bInitialized = FALSE;
    UINT m_nDevice = WAVE_MAPPER;
    DWORD m_dwBufferSize = 1024;
    UINT_PTR m_nLastTimer = 0;
    std::unique_ptr<CRecording> m_pRecording;
    std::unique_ptr<CPlayback> m_pPlayback;
    std::vector<CKept<CWaveInDevice>> m_keptIn;
    std::vector<CKept<CWaveOutDevice>> m_keptOut;
};
