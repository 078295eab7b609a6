#include "AudioPlayRec.h"
#include "AudioServices.h"
#include "InputLineVolume.h"
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

const DWORD FINISH_PAUSE_MS = 10;
const UINT SHOW_MESSAGE = WM_APP + 1;

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
    m_nStatus = STATUS_IDLE;
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

void CAudioPlayRec::Close()
{
    if (m_hWaveIn)
        FinishRecord();
    if (m_hWaveOut)
        FinishPlay();
    FreeBuffers();
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

void CAudioPlayRec::AllocBuffers()
{
    FreeBuffers();
    m_nBuffers = static_cast<WORD>(m_wfx.nChannels + m_wfx.wBitsPerSample / 8 + m_wfx.nSamplesPerSec / 11025);
    try {
        std::vector<std::unique_ptr<BYTE[]>> buffers;
        std::vector<std::unique_ptr<WAVEHDR>> headers;
        auto left = std::make_unique<BYTE[]>(m_dwBufferSize);
        auto right = std::make_unique<BYTE[]>(m_dwBufferSize);
        for (WORD i = 0; i < m_nBuffers; ++i) {
            buffers.push_back(std::make_unique<BYTE[]>(m_dwBufferSize));
            headers.push_back(std::make_unique<WAVEHDR>());
        }
        m_ppBuffers = std::move(buffers);
        m_ppHeaders = std::move(headers);
        m_pLeft = std::move(left);
        m_pRight = std::move(right);
    } catch (const std::bad_alloc&) {
        m_nBuffers = 0;
        AfxThrowMemoryException();
    }
}

void CAudioPlayRec::FreeBuffers()
{
    // An open device may still own the buffers.
    if (m_hWaveIn || m_hWaveOut)
        return;
    m_ppBuffers.clear();
    m_ppHeaders.clear();
    m_pLeft.reset();
    m_pRight.reset();
    m_nBuffers = 0;
}

int CAudioPlayRec::FindBuffer(const WAVEHDR* pHeader) const
{
    for (size_t i = 0; i < m_ppHeaders.size(); ++i) {
        if (m_ppHeaders[i].get() == pHeader)
            return static_cast<int>(i);
    }
    return -1;
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
    if (m_nStatus == STATUS_RECORDING) {
        TRACE("录音设备正在录音 ...\n");
        return TRUE;
    }
    m_bInput = TRUE;
    ASSERT(wBitsPerSample % 8 == 0);
    wBitsPerSample = std::min<WORD>(wBitsPerSample, 16);
    if (m_nStatus != STATUS_IDLE) {
        ShowMessage("Class status error");
        return FALSE;
    }
    // Only once the status allows it: while stopping, the MP3 outputs still await their end.
    ResetMp3State();
    SetWaveFormat(nChannelMode, nSamplesPerSec, wBitsPerSample);
    AllocBuffers();

    MMRESULT mmr = AudioServices().waveInOpen(&m_hWaveIn, m_nDevice, &m_wfx, reinterpret_cast<DWORD_PTR>(m_hWnd), 0,
                                              CALLBACK_WINDOW);
    if (mmr != MMSYSERR_NOERROR) {
        m_hWaveIn = nullptr;
        ReportError(mmr, "waveInOpen()");
        FreeBuffers();
        return FALSE;
    }
    m_nQueued = 0;
    m_nLastBuffer = m_nBuffers - 1;
    for (int i = 0; i < m_nBuffers; ++i)
        AddInputBufferToQueue(i);

    mmr = AudioServices().waveInStart(m_hWaveIn);
    if (mmr != MMSYSERR_NOERROR) {
        HWAVEIN hWaveIn = std::exchange(m_hWaveIn, nullptr);
        AudioServices().waveInReset(hWaveIn);
        ReleaseInputDevice(hWaveIn);
        m_nQueued = 0;
        ReportError(mmr, "waveInStart() failed");
        FreeBuffers();
        return FALSE;
    }
    m_nStatus = STATUS_RECORDING;
    return TRUE;
}

void CAudioPlayRec::AddInputBufferToQueue(int i)
{
    WAVEHDR* pHeader = m_ppHeaders[i].get();
    *pHeader = WAVEHDR{};
    pHeader->lpData = reinterpret_cast<LPSTR>(m_ppBuffers[i].get());
    pHeader->dwBufferLength = m_dwBufferSize;
    MMRESULT mmr = AudioServices().waveInPrepareHeader(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "AddInputBufferToQueue Failed");
        return;
    }
    mmr = AudioServices().waveInAddBuffer(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveInAddBuffer() failed");
        return;
    }
    ++m_nQueued;
}

// Device events are handled in the window's own procedure rather than before dispatch, so
// that those arriving during a message box or a window drag are not lost.
LRESULT CAudioPlayRec::OnDeviceEvent(UINT msg, WPARAM wParam, LPARAM lParam)
{
    ++m_nHandling;
    OnDeviceMessage(msg, wParam, lParam);
    --m_nHandling;
    if (m_pfnCallback)
        m_pfnCallback(msg, m_pUser);
    return Default();
}

void CAudioPlayRec::OnDeviceMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case MM_WIM_DATA:
        OnWimData(reinterpret_cast<HWAVEIN>(wParam), reinterpret_cast<WAVEHDR*>(lParam));
        break;
    case MM_WIM_CLOSE:
        // While a device is still held, a close message is a late one of an earlier device.
        if (!m_hWaveIn && !m_hWaveOut) {
            m_nStatus = STATUS_IDLE;
            m_nQueued = 0;
            m_bInput = FALSE;
        }
        break;
    case MM_WOM_DONE:
        OnWomDone(reinterpret_cast<HWAVEOUT>(wParam), reinterpret_cast<WAVEHDR*>(lParam));
        break;
    case MM_WOM_CLOSE:
        if (!m_hWaveIn && !m_hWaveOut) {
            m_nStatus = STATUS_IDLE;
            m_bInput = FALSE;
        }
        break;
    default:
        break;
    }
}

// While stopping, the buffers come back with what they held when the device was reset: that
// is written too, and the buffers leave the queue.
void CAudioPlayRec::OnWimData(HWAVEIN hDevice, WAVEHDR* pHeader)
{
    // After Close, SetDevice or a failed start the buffers may be gone: the header is only
    // looked at when it is one of ours and still prepared on the open device.
    const int nIndex = FindBuffer(pHeader);
    if (!m_hWaveIn || hDevice != m_hWaveIn || nIndex < 0 || !(pHeader->dwFlags & WHDR_PREPARED))
        return;
    MMRESULT mmr = AudioServices().waveInUnprepareHeader(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveInUnprepareHeader() failed");
        return;
    }
    m_nLastBuffer = nIndex;
    // Taken now: queueing the buffer again clears its count.
    const DWORD cbRecorded = RecordedBytes(pHeader);
    const BOOL bWritten = WriteBlock(pHeader);
    if (m_nStatus != STATUS_RECORDING || !bWritten) {
        // A failed WAV write ends the recording; the buffer leaves the queue.
        Stop();
        RetireInputBuffer();
        if (!bWritten)
            ShowMessage("Write file failed");
        return;
    }
    RequeueInputBuffer(pHeader);
    DrawWave(cbRecorded / m_wfx.nChannels);
}

void CAudioPlayRec::RetireInputBuffer()
{
    if (--m_nQueued == 0)
        FinishRecord();
}

// A device's count is trusted no further than the buffer it filled.
DWORD CAudioPlayRec::RecordedBytes(const WAVEHDR* pHeader)
{
    return std::min(pHeader->dwBytesRecorded, pHeader->dwBufferLength);
}

// Routes a returned block to every open output; FALSE when a WAV file took less than given
// (that file is then finished with what it holds).
BOOL CAudioPlayRec::WriteBlock(const WAVEHDR* pHeader)
{
    const DWORD cbRecorded = RecordedBytes(pHeader);
    if (cbRecorded == 0)
        return TRUE;
    const BYTE* pData = reinterpret_cast<const BYTE*>(pHeader->lpData);
    const DWORD cbPerChannel = SplitChannels(m_wfx.wBitsPerSample, pData, cbRecorded);
    const BOOL bAlone = m_nChannelMode == CHANNEL_ALONE;
    BOOL bWritten = TRUE;
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        const BYTE* pSource = !bAlone ? pData : nChannel == 0 ? m_pLeft.get() : m_pRight.get();
        const DWORD cbSource = bAlone ? cbPerChannel : cbRecorded;
        CWaveOutput& wave = m_waveOutput[nChannel];
        if (wave.IsOpen() && !wave.Append(pSource, cbSource)) {
            wave.Finish();
            bWritten = FALSE;
        }
        CString strError;
        if (m_mp3Output[nChannel].IsOpen() && !m_mp3Output[nChannel].Append(pSource, cbSource, strError) &&
            !strError.IsEmpty())
            ShowMessage(strError);
    }
    return bWritten;
}

// After a reset that came before their messages: the blocks still held by prepared headers,
// in the order the device hands them back.
void CAudioPlayRec::WriteReturnedBlocks()
{
    for (int i = 1; i <= m_nBuffers; ++i) {
        const WAVEHDR* pHeader = m_ppHeaders[(m_nLastBuffer + i) % m_nBuffers].get();
        if ((pHeader->dwFlags & (WHDR_PREPARED | WHDR_DONE)) == (WHDR_PREPARED | WHDR_DONE) && !WriteBlock(pHeader))
            ShowMessage("Write file failed");
    }
}

void CAudioPlayRec::RequeueInputBuffer(WAVEHDR* pHeader)
{
    MMRESULT mmr = AudioServices().waveInPrepareHeader(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveInPrepareHeader() failed");
        return;
    }
    mmr = AudioServices().waveInAddBuffer(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, "waveInAddBuffer() failed");
}

// Stopping a recording resets the device at once: every buffer comes back with what it holds
// and nothing captured later reaches a file. The timer ends it if the buffers do not return.
void CAudioPlayRec::Stop()
{
    const int nStatus = m_nStatus;
    if (nStatus != STATUS_PLAYING && nStatus != STATUS_RECORDING)
        return;
    m_nStatus = STATUS_STOPPING;
    SetTimer(nStatus == STATUS_PLAYING ? PLAY_TIMER : RECORD_TIMER, FALLBACK_MS);
    Invalidate();
    if (nStatus == STATUS_RECORDING) {
        ResetInput();
        return;
    }
    MMRESULT mmr = AudioServices().waveOutReset(m_hWaveOut);
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, "waveOutReset() failed");
}

void CAudioPlayRec::ResetInput()
{
    MMRESULT mmr = AudioServices().waveInReset(m_hWaveIn);
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, "waveInReset() failed");
}

void CAudioPlayRec::OnTimer(UINT_PTR nIDEvent)
{
    ++m_nHandling;
    if (nIDEvent == RECORD_TIMER) {
        KillTimer(RECORD_TIMER);
        FinishRecord();
    } else if (nIDEvent == PLAY_TIMER) {
        KillTimer(PLAY_TIMER);
        FinishPlay();
    }
    --m_nHandling;
    Default();
}

void CAudioPlayRec::FinishRecord()
{
    if (!m_hWaveIn || (m_nStatus != STATUS_RECORDING && m_nStatus != STATUS_STOPPING))
        return;
    // A fallback timer left over would end the next recording early.
    KillTimer(RECORD_TIMER);
    if (m_nStatus == STATUS_RECORDING)
        ResetInput();
    // Buffers still out: what the reset handed back, before their messages arrive.
    if (m_nQueued > 0) {
        AudioServices().Sleep(FINISH_PAUSE_MS);
        WriteReturnedBlocks();
    }
    // Taken now, so that the messages of those buffers find no device.
    HWAVEIN hWaveIn = std::exchange(m_hWaveIn, nullptr);
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        CloseOutputFile(nChannel, "mp3");
        CloseOutputFile(nChannel, "wav");
    }
    ReleaseInputDevice(hWaveIn);
    ResetMp3State();
}

// After a reset: unprepares what the device handed back and closes it. When the close fails
// no close message comes, so one is posted to bring the engine and its owner back to idle.
void CAudioPlayRec::ReleaseInputDevice(HWAVEIN hWaveIn)
{
    for (auto& pHeader : m_ppHeaders) {
        if (pHeader->dwFlags & WHDR_PREPARED)
            AudioServices().waveInUnprepareHeader(hWaveIn, pHeader.get(), sizeof(WAVEHDR));
    }
    MMRESULT mmr = AudioServices().waveInClose(hWaveIn);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveInClose() failed");
        if (m_hWnd)
            PostMessage(MM_WIM_CLOSE);
    }
}

// ---------------------------------------------------------------------------------------
// Outputs

BOOL CAudioPlayRec::OpenOutputFile(int nChannel, LPCSTR pszFileName)
{
    // The output device holds the sample buffers while playing.
    if (nChannel < 0 || nChannel > 1 || !pszFileName || !*pszFileName || m_hWaveOut)
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
        FinishWaveOutput(nChannel);
    else if (strKind == "mp3" && m_ForMp3_hDll)
        FinishMp3Output(nChannel);
}

BOOL CAudioPlayRec::HasOutput(int nChannel) const
{
    return m_waveOutput[nChannel].IsOpen() || m_mp3Output[nChannel].IsOpen();
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

void CAudioPlayRec::FinishWaveOutput(int nChannel)
{
    if (m_waveOutput[nChannel].IsOpen() && !m_waveOutput[nChannel].Finish())
        ShowMessage("Write file failed");
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

void CAudioPlayRec::ShowMessage(const CString& strText)
{
    if (m_nHandling == 0 || !m_hWnd) {
        AfxMessageBox(strText);
        return;
    }
    m_pendingMessages.push_back(strText);
    PostMessage(SHOW_MESSAGE);
}

LRESULT CAudioPlayRec::OnShowMessage(WPARAM, LPARAM)
{
    if (m_pendingMessages.empty())
        return 0;
    CString strText = m_pendingMessages.front();
    m_pendingMessages.pop_front();
    AfxMessageBox(strText);
    return 0;
}
