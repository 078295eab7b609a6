#include "AudioPlayRec.h"
#include "AudioServices.h"
#include "InputLineVolume.h"
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

const UINT SHOW_MESSAGE = WM_APP + 1;
// Wine hands a capture buffer of 4096 bytes back up to 0.75 s after its sound, one of 2048 at
// once (tools/capture-probe.sh): capture uses blocks of at most this size, as many more of them.
const DWORD MAX_CAPTURE_BLOCK = 2048;
const DWORD MAX_BUFFERS = 64;

const COLORREF WAVE_COLOR = RGB(0, 255, 0);
const COLORREF CENTER_COLOR = RGB(128, 64, 0);

BOOL EndsWith(const CString& str, const char* suffix)
{
    int n = static_cast<int>(strlen(suffix));
    return str.GetLength() >= n && str.Right(n) == suffix;
}

} // namespace

BEGIN_MESSAGE_MAP(CAudioPlayRec, CWnd)
    ON_WM_ERASEBKGND()
    ON_WM_SETCURSOR()
    ON_WM_TIMER()
    ON_MESSAGE(SHOW_MESSAGE, OnShowMessage)
    ON_MESSAGE_RANGE(MM_WOM_OPEN, MM_MOM_DONE, OnDeviceEvent)
END_MESSAGE_MAP()

CAudioPlayRec::CAudioPlayRec()
{
    SetBkColor(0);
}

CAudioPlayRec::~CAudioPlayRec()
{
    Close();
    for (int nChannel = 0; nChannel < 2; ++nChannel)
        CloseOutputFile(nChannel, "wav");
    ResetMp3State();
    // Devices whose close failed get a last try; those that fail again keep their buffers.
    m_failedIn.clear();
    m_failedOut.clear();
}

// ---------------------------------------------------------------------------------------
// Set-up and device selection

BOOL CAudioPlayRec::Initialize(UINT nDevice, DWORD dwBufferSize, HWND hParent, const RECT* pRect,
                               AUDIOCALLBACK pfn, void* pUser)
{
    SetDevice(nDevice);
    if (nDevice != WAVE_MAPPER && (nDevice >= GetInDeviceCount() || nDevice >= GetOutDeviceCount())) {
        ShowMessage("Error audio device");
        return FALSE;
    }
    m_dwBufferSize = dwBufferSize;
    m_pfnCallback = pfn;
    m_pUser = pUser;
    if (!m_hWnd && !CreateView(hParent, pRect))
        return FALSE;
    if (hParent && pRect) {
        m_penWave.CreatePen(PS_SOLID, 0, WAVE_COLOR);
        m_penCenter.CreatePen(PS_SOLID, 2, CENTER_COLOR);
    }
    m_bInitialized = TRUE;
    return TRUE;
}

void CAudioPlayRec::SetDevice(UINT nDevice)
{
    Close();
    m_nDevice = nDevice;
    m_strDevice = GetInDeviceName(nDevice);
    CInputLineVolume::EnumSourceLines(nDevice, OnSourceLine, reinterpret_cast<DWORD_PTR>(this));
    if (m_hWnd) {
        CRect rcName = GetChannelRect(FALSE);
        rcName.DeflateRect(4, 4);
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
    return CString(caps.szPname, static_cast<int>(strnlen(caps.szPname, sizeof caps.szPname)));
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
    return CString(caps.szPname, static_cast<int>(strnlen(caps.szPname, sizeof caps.szPname)));
}

int CAudioPlayRec::GetStatus() const
{
    if (!m_bInitialized)
        return STATUS_UNINIT;
    if (m_pWaveIn)
        return STATUS_RECORDING;
    if (m_pWaveOut)
        return m_bDraining ? STATUS_STOPPING : STATUS_PLAYING;
    return m_hClosing ? STATUS_STOPPING : STATUS_IDLE;
}

void CAudioPlayRec::Close()
{
    CChange change(*this);
    EndRecording();
    EndPlayback();
    m_pLeft.reset();
    m_pRight.reset();
}

// ---------------------------------------------------------------------------------------
// Input line

BOOL CAudioPlayRec::OnSourceLine(UINT, MIXERLINEA* pLine, DWORD_PTR dwUser)
{
    CAudioPlayRec* pThis = reinterpret_cast<CAudioPlayRec*>(dwUser);
    CString csShortName(pLine->szShortName, static_cast<int>(strnlen(pLine->szShortName, sizeof pLine->szShortName)));
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

// ---------------------------------------------------------------------------------------
// Buffers

void CAudioPlayRec::SetWaveFormat(int nChannelMode, DWORD nSamplesPerSec, WORD wBitsPerSample)
{
    m_nChannelMode = nChannelMode;
    m_wfx = WAVEFORMATEX{};
    m_wfx.wFormatTag = WAVE_FORMAT_PCM;
    m_wfx.nChannels = nChannelMode != CHANNEL_MONO ? 2 : 1;
    m_wfx.nSamplesPerSec = nSamplesPerSec;
    m_wfx.wBitsPerSample = wBitsPerSample;
    m_wfx.nBlockAlign = static_cast<WORD>(m_wfx.nChannels * (wBitsPerSample / 8));
    m_wfx.nAvgBytesPerSec = nSamplesPerSec * m_wfx.nBlockAlign;
    m_wfx.cbSize = 0;
}

// Never less than half a second of sound: a loaded machine can keep the program from its queue
// that long, and a device drops what finds no buffer (a skip in a recording, a hole in a playback).
// A played file's format is the file's word: the count stays bounded whatever it claims.
WORD CAudioPlayRec::BufferCount() const
{
    const DWORD nForFormat = m_wfx.nChannels + m_wfx.wBitsPerSample / 8 + m_wfx.nSamplesPerSec / 11025;
    const DWORD nHalfSecond = m_wfx.nAvgBytesPerSec / 2 / m_dwBufferSize + 1;
    return static_cast<WORD>(std::min<DWORD>(std::max(nForFormat, nHalfSecond), MAX_BUFFERS));
}

// The per-channel halves of a block; the device's own buffers belong to the device objects.
void CAudioPlayRec::AllocChannelBuffers()
{
    try {
        auto left = std::make_unique<BYTE[]>(m_dwBufferSize);
        auto right = std::make_unique<BYTE[]>(m_dwBufferSize);
        m_pLeft = std::move(left);
        m_pRight = std::move(right);
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

DWORD CAudioPlayRec::SplitChannels(WORD wBitsPerSample, const BYTE* pData, DWORD dwLength)
{
    dwLength = std::min(dwLength, m_dwBufferSize);
    if (m_wfx.nChannels == 1) {
        memcpy(m_pLeft.get(), pData, dwLength);
        memcpy(m_pRight.get(), pData, dwLength);
        return dwLength;
    }
    const DWORD cbSample = wBitsPerSample / 8;
    const DWORD nFrames = dwLength / (2 * cbSample);
    BYTE* pLeft = m_pLeft.get();
    BYTE* pRight = m_pRight.get();
    if (cbSample == 2) {
        for (DWORD i = 0; i < nFrames; ++i, pData += 4) {
            memcpy(pLeft + 2 * i, pData, 2);
            memcpy(pRight + 2 * i, pData + 2, 2);
        }
    } else {
        for (DWORD i = 0; i < nFrames; ++i, pData += 2) {
            pLeft[i] = pData[0];
            pRight[i] = pData[1];
        }
    }
    return nFrames * cbSample;
}

// ---------------------------------------------------------------------------------------
// Recording

BOOL CAudioPlayRec::StartRecord(int nChannelMode, DWORD nSamplesPerSec, WORD wBitsPerSample)
{
    if (GetStatus() == STATUS_RECORDING) {
        TRACE("录音设备正在录音 ...\n");
        return TRUE;
    }
    m_bInput = TRUE;
    ASSERT(wBitsPerSample % 8 == 0);
    wBitsPerSample = std::min<WORD>(wBitsPerSample, 16);
    if (GetStatus() != STATUS_IDLE) {
        ShowMessage("Class status error");
        return FALSE;
    }
    CChange change(*this);
    ResetMp3State();
    SetWaveFormat(nChannelMode, nSamplesPerSec, wBitsPerSample);
    try {
        return OpenInput();
    } catch (const CMemoryException&) {
        EndRecording();
        throw;
    }
}

// Opens the device with every buffer queued and starts it; a start that fails ends it again.
BOOL CAudioPlayRec::OpenInput()
{
    const DWORD cbBlock = std::min(m_dwBufferSize, MAX_CAPTURE_BLOCK);
    m_nBuffers = static_cast<WORD>(BufferCount() * (m_dwBufferSize / cbBlock));
    AllocChannelBuffers();
    auto pDevice = std::make_unique<CWaveInDevice>();
    MMRESULT mmr = pDevice->Open(m_nDevice, m_wfx, m_hWnd, m_nBuffers, cbBlock);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveInOpen()");
        return FALSE;
    }
    m_pWaveIn = std::move(pDevice);
    for (int i = 0; i < m_nBuffers; ++i)
        QueueInputBuffer(i, "AddInputBufferToQueue Failed");
    mmr = m_pWaveIn->Start();
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveInStart() failed");
        EndRecording();
        return FALSE;
    }
    if (m_pWaveIn->GetQueued() == 0) {
        EndRecording();
        return FALSE;
    }
    return TRUE;
}

void CAudioPlayRec::QueueInputBuffer(int i, LPCSTR pszPrepareStep)
{
    MMRESULT mmr = m_pWaveIn->Prepare(i, 0);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, pszPrepareStep);
        return;
    }
    mmr = m_pWaveIn->Queue(i);
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, "waveInAddBuffer() failed");
}

// Device events are handled in the window's own procedure rather than before dispatch, so
// that those arriving during a message box or a window drag are not lost. The default
// procedure has nothing to do with them: it is not called, on the path of every block.
LRESULT CAudioPlayRec::OnDeviceEvent(UINT msg, WPARAM wParam, LPARAM)
{
    {
        CChange change(*this);
        OnDeviceMessage(msg, wParam);
    }
    if (m_pfnCallback)
        m_pfnCallback(msg, m_pUser);
    return 0;
}

// A message names its device; one of a device already closed is late and changes nothing.
void CAudioPlayRec::OnDeviceMessage(UINT msg, WPARAM wParam)
{
    switch (msg) {
    case MM_WIM_DATA:
        OnWimData(reinterpret_cast<HWAVEIN>(wParam));
        break;
    case MM_WOM_DONE:
        OnWomDone(reinterpret_cast<HWAVEOUT>(wParam));
        break;
    case MM_WIM_CLOSE:
    case MM_WOM_CLOSE:
        if (wParam && reinterpret_cast<HANDLE>(wParam) == m_hClosing) {
            m_hClosing = nullptr;
            KillTimer(m_nTimer);
            m_nTimer = 0;
        }
        break;
    default:
        break;
    }
}

// Takes every block the device has handed back, in order, whatever header the message names.
void CAudioPlayRec::OnWimData(HWAVEIN hDevice)
{
    if (!m_pWaveIn || m_pWaveIn->GetHandle() != hDevice)
        return;
    if (!TakeInputBlocks(TRUE) || m_pWaveIn->GetQueued() == 0)
        EndRecording();
}

// Routes each block the device has handed back; FALSE once the outputs can take no more.
// bRequeue gives each buffer back to the device after its block is written.
BOOL CAudioPlayRec::TakeInputBlocks(BOOL bRequeue)
{
    BOOL bWritten = TRUE;
    for (int i; (i = m_pWaveIn->TakeReturned()) >= 0;) {
        // The block is ours once the device has handed it back, whatever unpreparing says.
        MMRESULT mmr = m_pWaveIn->Unprepare(i);
        if (mmr != MMSYSERR_NOERROR)
            ReportError(mmr, "waveInUnprepareHeader() failed");
        const DWORD cbRecorded = m_pWaveIn->GetBytes(i);
        if (bWritten && cbRecorded > 0)
            bWritten = RouteBlock(m_pWaveIn->GetData(i), cbRecorded);
        if (bRequeue && bWritten && mmr == MMSYSERR_NOERROR)
            RequeueInputBuffer(i);
    }
    return bWritten;
}

void CAudioPlayRec::RequeueInputBuffer(int i)
{
    QueueInputBuffer(i, "waveInPrepareHeader() failed");
}

BOOL CAudioPlayRec::RouteBlock(const BYTE* pData, DWORD cbData)
{
    const BOOL bAlone = m_nChannelMode == CHANNEL_ALONE;
    const BOOL bDrawn = HasView();
    const DWORD cbPerChannel = bAlone || bDrawn ? SplitChannels(m_wfx.wBitsPerSample, pData, cbData) : 0;
    BOOL bFailed = FALSE;
    for (int nOutput = 0; nOutput < 4; ++nOutput) {
        COutput& output = Output(nOutput);
        if (!output.IsOpen())
            continue;
        const int nChannel = nOutput % 2;
        const BYTE* pSource = !bAlone ? pData : nChannel == 0 ? m_pLeft.get() : m_pRight.get();
        CString strError;
        if (!output.Append(pSource, bAlone ? cbPerChannel : cbData, strError)) {
            if (!strError.IsEmpty())
                ShowMessage(strError);
            FinishOutput(output);
            bFailed = TRUE;
        }
    }
    if (bDrawn)
        DrawWave(cbPerChannel);
    return !bFailed || HasOpenOutput();
}

// The one end of a recording, whoever asks: the device is reset, the blocks it recorded up to
// then reach the outputs in order, the outputs are finished and the device closed. Nothing
// waits: the reset hands every queued buffer back at once.
void CAudioPlayRec::EndRecording()
{
    if (!m_pWaveIn)
        return;
    CChange change(*this);
    m_bInput = TRUE;
    MMRESULT mmr = m_pWaveIn->Reset();
    LPCSTR pszStep = "waveInReset() failed";
    TakeInputBlocks(FALSE);
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        CloseOutputFile(nChannel, "mp3");
        CloseOutputFile(nChannel, "wav");
    }
    ResetMp3State();
    HANDLE hClosed = nullptr;
    MMRESULT mmrClose = CloseOrKeep(m_pWaveIn, m_failedIn, &hClosed);
    if (mmr == MMSYSERR_NOERROR) {
        mmr = mmrClose;
        pszStep = "waveInClose() failed";
    }
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, pszStep);
    AwaitCloseMessage(hClosed, MM_WIM_CLOSE);
}

// A closed device says so with a message; until then the engine is stopping. A device that
// did not close sends none: the owner is told with one of the engine's own.
void CAudioPlayRec::AwaitCloseMessage(HANDLE hClosed, UINT nCloseMessage)
{
    if (!hClosed) {
        if (m_hWnd)
            PostMessage(nCloseMessage);
        return;
    }
    m_hClosing = hClosed;
    ArmFallback(FALLBACK_MS);
}

void CAudioPlayRec::ArmFallback(UINT nMilliseconds)
{
    if (!m_hWnd)
        return;
    if (m_nTimer)
        KillTimer(m_nTimer);
    m_nTimer = ++m_nLastTimer;
    SetTimer(m_nTimer, nMilliseconds);
}

// Ends the recording or playback as it is.
void CAudioPlayRec::Stop()
{
    if (!m_pWaveIn && !m_pWaveOut)
        return;
    CChange change(*this);
    EndRecording();
    EndPlayback();
    Invalidate();
}

// Only the timer armed last counts: one left from an earlier recording or playback does nothing.
void CAudioPlayRec::OnTimer(UINT_PTR nIDEvent)
{
    KillTimer(nIDEvent);
    if (nIDEvent != m_nTimer)
        return;
    m_nTimer = 0;
    CChange change(*this);
    if (m_pWaveOut) {
        EndPlayback();
    } else if (m_hClosing) {
        // The close message never came: the device is closed all the same.
        m_hClosing = nullptr;
        if (m_pfnCallback)
            m_pfnCallback(m_bInput ? MM_WIM_CLOSE : MM_WOM_CLOSE, m_pUser);
    }
}

// ---------------------------------------------------------------------------------------
// Outputs

COutput& CAudioPlayRec::Output(int nOutput)
{
    // The WAV files first, then the MP3 streams, each for channel 0 then 1.
    return nOutput < 2 ? static_cast<COutput&>(m_waveOutput[nOutput]) : m_mp3Output[nOutput - 2];
}

BOOL CAudioPlayRec::OpenOutputFile(int nChannel, LPCSTR pszFileName)
{
    // The output device holds the sample buffers while playing.
    if (nChannel < 0 || nChannel > 1 || !pszFileName || !*pszFileName || m_pWaveOut)
        return FALSE;
    CString strName(pszFileName);
    strName.MakeLower();
    if (EndsWith(strName, ".mp3"))
        return OpenMp3Output(nChannel, strName);
    return OpenWaveOutput(nChannel, strName);
}

void CAudioPlayRec::CloseOutputFile(int nChannel, CString strKind)
{
    if (nChannel < 0 || nChannel > 1)
        return;
    strKind.MakeLower();
    if (strKind == "wav")
        FinishOutput(m_waveOutput[nChannel]);
    else if (strKind == "mp3" && m_ForMp3_hDll)
        FinishOutput(m_mp3Output[nChannel]);
}

void CAudioPlayRec::FinishOutput(COutput& output)
{
    CString strError;
    if (output.IsOpen() && !output.Finish(strError) && !strError.IsEmpty())
        ShowMessage(strError);
}

BOOL CAudioPlayRec::HasOutput(int nChannel) const
{
    return m_waveOutput[nChannel].IsOpen() || m_mp3Output[nChannel].IsOpen();
}

BOOL CAudioPlayRec::HasOpenOutput() const
{
    return HasOutput(0) || HasOutput(1);
}

BOOL CAudioPlayRec::OpenWaveOutput(int nChannel, LPCSTR pszFileName)
{
    if (m_waveOutput[nChannel].IsOpen())
        return TRUE;
    WAVEFORMATEX wfx = m_wfx;
    if (m_nChannelMode == CHANNEL_ALONE) {
        wfx.nChannels = 1;
        wfx.nBlockAlign = wfx.wBitsPerSample / 8;
        wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    }
    if (m_waveOutput[nChannel].Open(pszFileName, wfx))
        return TRUE;
    ShowMessage("Open wave file failed");
    return FALSE;
}

void CAudioPlayRec::ReportError(MMRESULT mmr, LPCSTR pszText)
{
    char szError[100] = "";
    if (m_bInput)
        AudioServices().waveInGetErrorTextA(mmr, szError, sizeof szError);
    else
        AudioServices().waveOutGetErrorTextA(mmr, szError, sizeof szError);
    CString strMessage;
    strMessage.Format("WAVEIN:%x:%s %s", mmr, szError, pszText);
    ShowMessage(strMessage);
}

// ---------------------------------------------------------------------------------------
// Boxes

void CAudioPlayRec::ShowMessage(const CString& strText)
{
    m_pendingMessages.push_back(strText);
    if (m_nChanging > 0 || m_bShowingMessage)
        return;
    if (m_pendingMessages.size() == 1)
        OnShowMessage(0, 0);
    else
        ShowPendingMessages();
}

void CAudioPlayRec::EndChange()
{
    if (--m_nChanging == 0)
        ShowPendingMessages();
}

// From a message of its own, so that the change that raised a box is over when it shows; at
// once when there is no window to post to (no device can then send anything either).
void CAudioPlayRec::ShowPendingMessages()
{
    if (m_pendingMessages.empty() || m_bShowingMessage)
        return;
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        PostMessage(SHOW_MESSAGE);
        return;
    }
    while (!m_pendingMessages.empty())
        OnShowMessage(0, 0);
}

LRESULT CAudioPlayRec::OnShowMessage(WPARAM, LPARAM)
{
    if (m_pendingMessages.empty() || m_bShowingMessage || m_nChanging > 0)
        return 0;
    CString strText = m_pendingMessages.front();
    m_pendingMessages.pop_front();
    m_bShowingMessage = TRUE;
    AfxMessageBox(strText);
    m_bShowingMessage = FALSE;
    ShowPendingMessages();
    return 0;
}
