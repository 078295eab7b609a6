// CDeviceRun: what a recording and a playback have in common: the engine's window, which gets
// their device's messages and their timer, the boxes they raise (each fault said once per run)
// and the way every run ends: its device reset and closed, then the device's close message
// awaited, with a timer in case it never comes. CEngineWindow: what a run uses of the engine.
#pragma once
#include "ChannelSplitter.h"
#include "MessageBoxQueue.h"
#include "WaveView.h"
#include "framework/Afx.h"
#include <mmsystem.h>
#include <vector>

struct CEngineWindow {
    HWND hWnd;
    CMessageBoxQueue* pBoxes;
    CWaveView* pView;
};

class CDeviceRun {
public:
    // RUNNING: sound flows; DRAINING: it is ending, the device still hands over what it owes;
    // CLOSING: the device is closed and its close message awaited; DONE: nothing is left.
    enum State { RUNNING, DRAINING, CLOSING, DONE };

    CDeviceRun(const CEngineWindow& window, BOOL bInput, UINT_PTR nTimer);
    virtual ~CDeviceRun();
    CDeviceRun(const CDeviceRun&) = delete;
    CDeviceRun& operator=(const CDeviceRun&) = delete;

    State GetState() const { return m_state; }
    // The close message of the device this run closed, or the one it posted for a device that
    // did not close (no handle).
    void OnCloseMessage(HANDLE hDevice);
    // FALSE when the timer is not this run's.
    BOOL OnTimer(UINT_PTR nTimer);

    // Sample buffers for at least half a second of sound: a loaded machine can keep the program
    // from its queue that long, and a device drops what finds no buffer. Bounded whatever a
    // played file's format claims.
    static int BufferCount(const WAVEFORMATEX& wfx, DWORD cbBuffer);
    // "WAVEIN:code:text step", with the input's or the output's text for the code.
    static CString ErrorText(BOOL bInput, MMRESULT mmr, LPCSTR pszStep);

protected:
    // What a run does when its timer fires before it is closing.
    virtual void OnFallback() = 0;
    // The user is told of a failed step once per run, however many buffers it failed for.
    void ReportError(MMRESULT mmr, LPCSTR pszStep);
    void Say(const CString& strText) { m_window.pBoxes->Show(strText); }
    void ArmTimer(UINT nMilliseconds);
    // Closes a device that was reset (with mmrReset) and whose buffers are back, says the first
    // step that failed, and waits for the close message; a device whose close failed keeps its
    // buffers and handle for a later try, and the run posts the message itself.
    template <class Device>
    void CloseDevice(Device& device, MMRESULT mmrReset, UINT nCloseMessage)
    {
        const HANDLE hDevice = device.GetHandle();
        const MMRESULT mmrClose = device.Close();
        if (mmrReset != MMSYSERR_NOERROR)
            ReportError(mmrReset, Device::RESET_STEP);
        else if (mmrClose != MMSYSERR_NOERROR)
            ReportError(mmrClose, Device::CLOSE_STEP);
        AwaitCloseMessage(device.IsOpen() ? nullptr : hDevice, nCloseMessage);
    }
    void Draw(const CChannelSplitter& split, const WAVEFORMATEX& wfx, DWORD cbPerChannel, BOOL bDrawLeft,
              BOOL bDrawRight);

    CEngineWindow m_window;
    State m_state = RUNNING;

private:
    void AwaitCloseMessage(HANDLE hClosed, UINT nCloseMessage);

    const BOOL m_bInput;
    const UINT_PTR m_nTimer;
    HANDLE m_hClosing = nullptr;
    std::vector<LPCSTR> m_said;
};
