#include "AudioPlayRec.h"
#include "AudioServices.h"
#include "InputLineVolume.h"
#include <cstring>

namespace {

const UINT SHOW_MESSAGE = WM_APP + 1;

CString WaveName(const char* pszName, size_t cbName)
{
    return CString(pszName, static_cast<int>(strnlen(pszName, cbName)));
}

} // namespace

BEGIN_MESSAGE_MAP(CAudioPlayRec, CWnd)
    ON_WM_ERASEBKGND()
    ON_WM_SETCURSOR()
    ON_WM_TIMER()
    ON_MESSAGE(SHOW_MESSAGE, OnShowMessage)
    ON_MESSAGE_RANGE(MM_WOM_OPEN, MM_MOM_DONE, OnDeviceEvent)
END_MESSAGE_MAP()

CAudioPlayRec::CAudioPlayRec() : m_boxes(SHOW_MESSAGE) {}

CAudioPlayRec::~CAudioPlayRec()
{
    Close();
}

// ---------------------------------------------------------------------------------------
// Set-up and device selection

// Any input will do: playback finds an output of its own (Play).
BOOL CAudioPlayRec::Initialize(UINT nDevice, DWORD dwBufferSize, HWND hParent, const RECT* pRect,
                               AUDIOCALLBACK pfn, void* pUser)
{
    SetDevice(nDevice);
    if (nDevice != WAVE_MAPPER && nDevice >= GetInDeviceCount()) {
        m_boxes.Show("Error audio device");
        return FALSE;
    }
    m_dwBufferSize = dwBufferSize;
    m_pfnCallback = pfn;
    m_pUser = pUser;
    if (!m_hWnd && !CreateView(hParent, pRect))
        return FALSE;
    m_bInitialized = TRUE;
    return TRUE;
}

BOOL CAudioPlayRec::CreateView(HWND hParent, const RECT* pRect)
{
    LPCSTR pszClass = AfxRegisterWndClass(0, ::LoadCursorA(nullptr, IDC_ARROW));
    CRect rc = pRect ? CRect(*pRect) : CRect();
    if (!pszClass || !CreateEx(0, pszClass, "", WS_CHILD | WS_TABSTOP, rc, CWnd::FromHandle(hParent), 0)) {
        m_boxes.Show("Create window failed");
        return FALSE;
    }
    ShowWindow(pRect ? SW_SHOW : SW_HIDE);
    m_view.Create(m_hWnd, hParent && pRect);
    m_boxes.SetWindow(m_hWnd);
    return TRUE;
}

void CAudioPlayRec::SetDevice(UINT nDevice)
{
    Close();
    m_nDevice = nDevice;
    m_view.SetDeviceName(GetInDeviceName(nDevice));
    CInputLineVolume::EnumSourceLines(nDevice, OnSourceLine, reinterpret_cast<DWORD_PTR>(this));
    if (m_hWnd) {
        CRect rcName = m_view.GetDeviceNameRect();
        InvalidateRect(&rcName, TRUE);
    }
}

UINT CAudioPlayRec::GetInDeviceCount()
{
    return AudioServices().waveInGetNumDevs();
}

CString CAudioPlayRec::GetInDeviceName(UINT nDevice) const
{
    WAVEINCAPSA caps{};
    if (AudioServices().waveInGetDevCapsA(nDevice, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return CString();
    return WaveName(caps.szPname, sizeof caps.szPname);
}

UINT CAudioPlayRec::GetOutDeviceCount()
{
    return AudioServices().waveOutGetNumDevs();
}

CString CAudioPlayRec::GetOutDeviceName(UINT nDevice) const
{
    WAVEOUTCAPSA caps{};
    if (AudioServices().waveOutGetDevCapsA(nDevice, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return CString();
    return WaveName(caps.szPname, sizeof caps.szPname);
}

void CAudioPlayRec::SetBkColor(COLORREF cr)
{
    m_view.SetBkColor(cr);
    if (m_hWnd)
        Invalidate();
}

// ---------------------------------------------------------------------------------------
// Recording and playback

int CAudioPlayRec::GetStatus() const
{
    if (!m_bInitialized)
        return STATUS_UNINIT;
    if (m_pRecording)
        return m_pRecording->GetState() == CDeviceRun::RUNNING ? STATUS_RECORDING : STATUS_STOPPING;
    if (m_pPlayback)
        return m_pPlayback->GetState() == CDeviceRun::RUNNING ? STATUS_PLAYING : STATUS_STOPPING;
    return STATUS_IDLE;
}

CEngineWindow CAudioPlayRec::Window()
{
    return {m_hWnd, &m_boxes, &m_view};
}

BOOL CAudioPlayRec::StartRecord(int nChannelMode, DWORD nSamplesPerSec, WORD wBitsPerSample)
{
    if (GetStatus() == STATUS_RECORDING) {
        TRACE("录音设备正在录音 ...\n");
        return TRUE;
    }
    ASSERT(wBitsPerSample % 8 == 0);
    wBitsPerSample = std::min<WORD>(wBitsPerSample, 16);
    if (GetStatus() != STATUS_IDLE) {
        m_boxes.Show("Class status error");
        return FALSE;
    }
    CMessageBoxQueue::CDefer defer(m_boxes);
    RetryKeptDevices();
    m_pRecording = std::make_unique<CRecording>(Window(), ++m_nLastTimer, nChannelMode, nSamplesPerSec,
                                                wBitsPerSample, m_dwBufferSize);
    BOOL bStarted = FALSE;
    try {
        bStarted = m_pRecording->Start(m_nDevice);
    } catch (const CMemoryException&) {
        m_pRecording.reset();
        throw;
    }
    DropFinishedRuns();
    return bStarted;
}

// On the user's output, whichever input is chosen: the system lists inputs and outputs apart,
// and an output that shares an input's number is no kin of it.
BOOL CAudioPlayRec::Play(LPCSTR pszWaveFile)
{
    if (GetStatus() != STATUS_IDLE) {
        m_boxes.Show("Class status error");
        return FALSE;
    }
    CMessageBoxQueue::CDefer defer(m_boxes);
    RetryKeptDevices();
    m_pPlayback = std::make_unique<CPlayback>(Window(), ++m_nLastTimer, m_dwBufferSize);
    BOOL bStarted = FALSE;
    try {
        bStarted = m_pPlayback->Start(pszWaveFile, WAVE_MAPPER);
    } catch (const CMemoryException&) {
        m_pPlayback.reset();
        throw;
    }
    DropFinishedRuns();
    return bStarted;
}

BOOL CAudioPlayRec::OpenOutputFile(int nChannel, LPCSTR pszFileName)
{
    if (nChannel < 0 || nChannel > 1 || !pszFileName || !*pszFileName || GetStatus() != STATUS_RECORDING)
        return FALSE;
    CMessageBoxQueue::CDefer defer(m_boxes);
    CString strName(pszFileName);
    strName.MakeLower();
    return m_pRecording->OpenOutput(nChannel, strName);
}

void CAudioPlayRec::CloseOutputFile(int nChannel, CString strKind)
{
    strKind.MakeLower();
    if (nChannel < 0 || nChannel > 1 || !m_pRecording || !(strKind == "wav" || strKind == "mp3"))
        return;
    CMessageBoxQueue::CDefer defer(m_boxes);
    m_pRecording->CloseOutput(nChannel, strKind == "mp3");
}

void CAudioPlayRec::Stop()
{
    if (!m_pRecording && !m_pPlayback)
        return;
    CMessageBoxQueue::CDefer defer(m_boxes);
    if (m_pRecording)
        m_pRecording->Stop();
    if (m_pPlayback)
        m_pPlayback->End();
    DropFinishedRuns();
    Invalidate();
}

void CAudioPlayRec::Close()
{
    CMessageBoxQueue::CDefer defer(m_boxes);
    if (m_pRecording)
        m_pRecording->StopNow();
    if (m_pPlayback)
        m_pPlayback->End();
    DropFinishedRuns();
    // Whatever close message is still to come finds nothing to finish.
    m_pRecording.reset();
    m_pPlayback.reset();
}

BOOL CAudioPlayRec::DropFinishedRuns()
{
    BOOL bDropped = FALSE;
    if (m_pRecording && m_pRecording->GetState() == CDeviceRun::DONE) {
        if (auto pKept = m_pRecording->TakeKeptDevice())
            m_keptIn.push_back({std::move(pKept), FALSE});
        m_pRecording.reset();
        bDropped = TRUE;
    }
    if (m_pPlayback && m_pPlayback->GetState() == CDeviceRun::DONE) {
        if (auto pKept = m_pPlayback->TakeKeptDevice())
            m_keptOut.push_back({std::move(pKept), FALSE});
        m_pPlayback.reset();
        bDropped = TRUE;
    }
    return bDropped;
}

// A device whose close failed may hold the driver's only stream: it is closed before another
// opens. The user hears of a retry that fails once.
void CAudioPlayRec::RetryKeptDevices()
{
    RetryKept(m_keptIn, TRUE);
    RetryKept(m_keptOut, FALSE);
}

template <class Device>
void CAudioPlayRec::RetryKept(std::vector<CKept<Device>>& kept, BOOL bInput)
{
    for (auto it = kept.begin(); it != kept.end();) {
        const MMRESULT mmr = it->pDevice->Close();
        if (mmr == MMSYSERR_NOERROR) {
            it = kept.erase(it);
            continue;
        }
        if (!it->bSaid)
            m_boxes.Show(CDeviceRun::ErrorText(bInput, mmr, Device::CLOSE_STEP));
        it->bSaid = TRUE;
        ++it;
    }
}

// Device events are handled in the window's own procedure rather than before dispatch, so that
// those arriving during a message box or a window drag are not lost. Boxes raised meanwhile
// wait until the event is handled.
LRESULT CAudioPlayRec::OnDeviceEvent(UINT msg, WPARAM wParam, LPARAM)
{
    {
        CMessageBoxQueue::CDefer defer(m_boxes);
        OnDeviceMessage(msg, reinterpret_cast<HANDLE>(wParam));
        DropFinishedRuns();
    }
    if (m_pfnCallback)
        m_pfnCallback(msg, m_pUser);
    return 0;
}

// A message names its device; one of a device already let go of changes nothing.
void CAudioPlayRec::OnDeviceMessage(UINT msg, HANDLE hDevice)
{
    switch (msg) {
    case MM_WIM_DATA:
        if (m_pRecording && m_pRecording->Owns(hDevice))
            m_pRecording->OnData();
        break;
    case MM_WOM_DONE:
        if (m_pPlayback && m_pPlayback->Owns(hDevice))
            m_pPlayback->OnDone();
        break;
    case MM_WIM_CLOSE:
        if (m_pRecording)
            m_pRecording->OnCloseMessage(hDevice);
        break;
    case MM_WOM_CLOSE:
        if (m_pPlayback)
            m_pPlayback->OnCloseMessage(hDevice);
        break;
    default:
        break;
    }
}

// A timer is the run's that armed it; a run whose close message never came is over all the same.
void CAudioPlayRec::OnTimer(UINT_PTR nIDEvent)
{
    UINT nClosed = 0;
    {
        CMessageBoxQueue::CDefer defer(m_boxes);
        if (m_pRecording && m_pRecording->OnTimer(nIDEvent))
            nClosed = MM_WIM_CLOSE;
        else if (m_pPlayback && m_pPlayback->OnTimer(nIDEvent))
            nClosed = MM_WOM_CLOSE;
        else
            KillTimer(nIDEvent);
        if (!DropFinishedRuns())
            nClosed = 0;
    }
    if (nClosed && m_pfnCallback)
        m_pfnCallback(nClosed, m_pUser);
}

LRESULT CAudioPlayRec::OnShowMessage(WPARAM, LPARAM)
{
    m_boxes.OnShowMessage();
    return 0;
}

// ---------------------------------------------------------------------------------------
// The view's window

BOOL CAudioPlayRec::OnEraseBkgnd(CDC* pDC)
{
    m_view.DrawBackground(pDC);
    return static_cast<BOOL>(Default());
}

BOOL CAudioPlayRec::OnSetCursor(CWnd*, UINT, UINT)
{
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    return static_cast<BOOL>(Default());
}

// ---------------------------------------------------------------------------------------
// Input line

BOOL CAudioPlayRec::OnSourceLine(UINT, MIXERLINEA* pLine, DWORD_PTR dwUser)
{
    CAudioPlayRec* pThis = reinterpret_cast<CAudioPlayRec*>(dwUser);
    CString csShortName = WaveName(pLine->szShortName, sizeof pLine->szShortName);
    csShortName.MakeLower();
    if (csShortName.Find("microphone") >= 0 || pLine->dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE)
        pThis->m_dwMicSource = pLine->dwSource;
    else if (csShortName.Find("line in") >= 0 || pLine->dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_LINE)
        pThis->m_dwLineInSource = pLine->dwSource;
    TRACE("csShortName = %s, dwComponentType = %d\n", static_cast<LPCSTR>(csShortName),
          static_cast<int>(pLine->dwComponentType));
    return TRUE;
}

void CAudioPlayRec::SetInputLine(BOOL bLineIn, DWORD dwVolume)
{
    CInputLineVolume line(bLineIn ? m_dwLineInSource : m_dwMicSource, m_nDevice);
    line.SetVolume(dwVolume == static_cast<DWORD>(-1) ? line.GetVolumeMax() : dwVolume);
    line.SelectLine();
}

void CAudioPlayRec::SelectInputLine(BOOL bLineIn)
{
    CInputLineVolume(bLineIn ? m_dwLineInSource : m_dwMicSource, m_nDevice).SelectLine();
}

DWORD CAudioPlayRec::GetInputLineVolume(BOOL bLineIn, DWORD* pdwMax, DWORD* pdwMin)
{
    CInputLineVolume line(bLineIn ? m_dwLineInSource : m_dwMicSource, m_nDevice);
    if (pdwMax)
        *pdwMax = line.GetVolumeMax();
    if (pdwMin)
        *pdwMin = line.GetVolumeMin();
    return line.GetVolume();
}

int CAudioPlayRec::FindMixerDevice()
{
    for (UINT i = 0; i < GetInDeviceCount(); i++) {
        if (CInputLineVolume(0, i).HasVolumeControl())
            return static_cast<int>(i);
    }
    return -1;
}
