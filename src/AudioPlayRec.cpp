#include "AudioPlayRec.h"
#include "AudioServices.h"
#include "InputLineVolume.h"
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

static_assert(sizeof(WAVEFORMATEX) == 18, "the format chunk is the 18-byte record");

namespace {

const UINT_PTR kRecordTimer = 1;
const UINT_PTR kPlayTimer = 2;
const UINT kFallbackMs = 1000;
const DWORD kFinishPauseMs = 10;

// mmio keeps file offsets in a LONG: a WAV file stays below 2 GiB, which also keeps its RIFF
// sizes in range. 46 header bytes and room for the pad byte.
const DWORD kMaxWaveData = 0x7FFFFFFF - 46 - 1;
const DWORD kMaxSampleRate = 384000;

const COLORREF kWaveColor = RGB(0, 255, 0);
const COLORREF kCenterColor = RGB(128, 64, 0);
const COLORREF kLabelColor = RGB(255, 255, 0);
const COLORREF kDeviceNameColor = RGB(128, 255, 255);
const COLORREF kBorderColor = RGB(128, 64, 0);

BOOL EndsWith(const CString& str, const char* suffix)
{
    int n = static_cast<int>(strlen(suffix));
    return str.GetLength() >= n && str.Right(n) == suffix;
}

BOOL IsPlayableFormat(const WAVEFORMATEX& wfx)
{
    return wfx.wFormatTag == WAVE_FORMAT_PCM && (wfx.nChannels == 1 || wfx.nChannels == 2) &&
           (wfx.wBitsPerSample == 8 || wfx.wBitsPerSample == 16) && wfx.nSamplesPerSec > 0 &&
           wfx.nSamplesPerSec <= kMaxSampleRate && wfx.nBlockAlign == wfx.nChannels * wfx.wBitsPerSample / 8;
}

// A 16-bit sample, or an 8-bit one moved to the same scale.
int SampleAt(const BYTE* pSamples, DWORD i, WORD wBitsPerSample)
{
    if (wBitsPerSample == 8)
        return (pSamples[i] - 128) * 256;
    SHORT s;
    memcpy(&s, pSamples + 2 * i, sizeof s);
    return s;
}

} // namespace

BEGIN_MESSAGE_MAP(CAudioPlayRec, CWnd)
    ON_WM_ERASEBKGND()
    ON_WM_SETCURSOR()
    ON_WM_TIMER()
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
}

// ---------------------------------------------------------------------------------------
// Set-up and device selection

BOOL CAudioPlayRec::Initialize(UINT nDevice, DWORD dwBufferSize, HWND hParent, const RECT* pRect,
                               AUDIOCALLBACK pfn, void* pUser)
{
    SetDevice(nDevice);
    if (nDevice != WAVE_MAPPER && (nDevice >= GetInDeviceCount() || nDevice >= GetOutDeviceCount())) {
        AfxMessageBox("Error audio device");
        return FALSE;
    }
    m_dwBufferSize = dwBufferSize;
    m_pfnCallback = pfn;
    m_pUser = pUser;
    if (!m_hWnd && !CreateView(hParent, pRect))
        return FALSE;
    if (hParent && pRect) {
        m_penWave.CreatePen(PS_SOLID, 0, kWaveColor);
        m_penCenter.CreatePen(PS_SOLID, 2, kCenterColor);
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
        AfxMessageBox("Class status error");
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

LRESULT CAudioPlayRec::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Device events are handled here rather than before dispatch, so that those arriving
    // during a message box or a window drag are not lost.
    if (msg >= MM_WOM_OPEN && msg <= MM_MOM_DONE) {
        OnDeviceMessage(msg, wParam, lParam);
        if (m_pfnCallback)
            m_pfnCallback(msg, m_pUser);
    }
    return CWnd::WindowProc(msg, wParam, lParam);
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

void CAudioPlayRec::OnWimData(HWAVEIN hDevice, WAVEHDR* pHeader)
{
    // After Close, SetDevice or a failed start the buffers may be gone: the header is only
    // looked at when it is one of ours and still prepared on the open device.
    if (!m_hWaveIn || hDevice != m_hWaveIn || FindBuffer(pHeader) < 0 || !(pHeader->dwFlags & WHDR_PREPARED))
        return;
    MMRESULT mmr = AudioServices().waveInUnprepareHeader(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveInUnprepareHeader() failed");
        return;
    }
    if (m_nStatus != STATUS_RECORDING) {
        RetireInputBuffer();
        return;
    }
    DWORD cbRecorded = std::min(pHeader->dwBytesRecorded, pHeader->dwBufferLength);
    DWORD cbPerChannel = SplitChannels(m_wfx.wBitsPerSample, reinterpret_cast<const BYTE*>(pHeader->lpData),
                                       cbRecorded);
    if (!WriteWaveOutputs(pHeader, cbPerChannel)) {
        Stop();
        --m_nQueued;
        AfxMessageBox("Write file failed");
        return;
    }
    FeedMp3Outputs(pHeader, cbPerChannel);
    RequeueInputBuffer(pHeader);
    DrawWave(cbPerChannel);
}

void CAudioPlayRec::RetireInputBuffer()
{
    if (m_nQueued == 1)
        FinishRecord();
    else
        --m_nQueued;
}

BOOL CAudioPlayRec::WriteWaveOutputs(const WAVEHDR* pHeader, DWORD cbPerChannel)
{
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        if (!m_hmmio[nChannel])
            continue;
        BOOL bWritten;
        if (m_nChannelMode == CHANNEL_ALONE)
            bWritten = AppendWave(nChannel, nChannel == 0 ? m_pLeft.get() : m_pRight.get(), cbPerChannel);
        else
            bWritten = AppendWave(nChannel, reinterpret_cast<const BYTE*>(pHeader->lpData),
                                  std::min(pHeader->dwBytesRecorded, pHeader->dwBufferLength));
        if (!bWritten)
            return FALSE;
    }
    return TRUE;
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

void CAudioPlayRec::Stop()
{
    if (m_nStatus == STATUS_PLAYING) {
        MMRESULT mmr = AudioServices().waveOutReset(m_hWaveOut);
        if (mmr != MMSYSERR_NOERROR)
            ReportError(mmr, "waveOutReset() failed");
        SetTimer(kPlayTimer, kFallbackMs);
    } else if (m_nStatus == STATUS_RECORDING) {
        SetTimer(kRecordTimer, kFallbackMs);
    } else {
        return;
    }
    Invalidate();
    m_nStatus = STATUS_STOPPING;
}

void CAudioPlayRec::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kRecordTimer) {
        KillTimer(kRecordTimer);
        FinishRecord();
    } else if (nIDEvent == kPlayTimer) {
        KillTimer(kPlayTimer);
        FinishPlay();
    }
    Default();
}

void CAudioPlayRec::FinishRecord()
{
    if (!m_hWaveIn || (m_nStatus != STATUS_RECORDING && m_nStatus != STATUS_STOPPING))
        return;
    // A fallback timer left over would end the next recording early.
    KillTimer(kRecordTimer);
    // Taken first, so that events handled during an error box below find no device.
    HWAVEIN hWaveIn = std::exchange(m_hWaveIn, nullptr);
    MMRESULT mmr = AudioServices().waveInReset(hWaveIn);
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, "waveInReset() failed");
    AudioServices().Sleep(kFinishPauseMs);
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        CloseOutputFile(nChannel, "mp3");
        CloseOutputFile(nChannel, "wav");
    }
    mmr = ReleaseInputDevice(hWaveIn);
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, "waveInClose() failed");
    UnloadEncoder();
}

// After a reset: unprepares what the device handed back and closes it.
MMRESULT CAudioPlayRec::ReleaseInputDevice(HWAVEIN hWaveIn)
{
    for (auto& pHeader : m_ppHeaders) {
        if (pHeader->dwFlags & WHDR_PREPARED)
            AudioServices().waveInUnprepareHeader(hWaveIn, pHeader.get(), sizeof(WAVEHDR));
    }
    return AudioServices().waveInClose(hWaveIn);
}

BOOL CAudioPlayRec::OpenOutputFile(int nChannel, LPCSTR pszFileName)
{
    // Channel 0's file slot holds the file being played.
    if (nChannel < 0 || nChannel > 1 || !pszFileName || !*pszFileName || m_hWaveOut)
        return FALSE;
    CString strName(pszFileName);
    strName.MakeLower();
    if (EndsWith(strName, ".mp3"))
        return OpenMp3Output(nChannel, strName);
    return OpenWaveForWrite(strName, nChannel);
}

void CAudioPlayRec::CloseOutputFile(int nChannel, CString strKind)
{
    if (nChannel < 0 || nChannel > 1 || m_hWaveOut)
        return;
    strKind.MakeLower();
    if (strKind == "wav" && m_hmmio[nChannel])
        CloseWaveForWrite(nChannel);
    else if (strKind == "mp3" && m_ForMp3_hDll)
        CloseMp3Stream(nChannel);
}

BOOL CAudioPlayRec::HasOutput(int nChannel) const
{
    return m_hmmio[nChannel] != nullptr || IsMp3Open(nChannel);
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
    AfxMessageBox(strMessage);
}

// ---------------------------------------------------------------------------------------
// Playback

BOOL CAudioPlayRec::Play(LPCSTR pszWaveFile)
{
    m_bInput = FALSE;
    if (m_nStatus != STATUS_IDLE) {
        AfxMessageBox("Class status error");
        return FALSE;
    }
    if (!OpenWaveForRead(pszWaveFile))
        return FALSE;
    MMRESULT mmr = AudioServices().waveOutOpen(&m_hWaveOut, m_nDevice, &m_wfx, reinterpret_cast<DWORD_PTR>(m_hWnd), 0,
                                               CALLBACK_WINDOW);
    if (mmr != MMSYSERR_NOERROR) {
        m_hWaveOut = nullptr;
        ReportError(mmr, "waveOutOpen() failed");
        AbandonPlay();
        return FALSE;
    }
    m_nQueued = 0;
    for (int i = 0; i < m_nBuffers; ++i) {
        DWORD cbRead = m_dwBufferSize;
        if (!ReadBlock(m_ppBuffers[i].get(), &cbRead) || (i == 0 && cbRead == 0)) {
            AfxMessageBox("Read sound data from file failed");
            AbandonPlay();
            return FALSE;
        }
        if (cbRead == 0)
            break;
        if (!QueueOutBuffer(i, cbRead)) {
            AbandonPlay();
            return FALSE;
        }
    }
    m_nStatus = STATUS_PLAYING;
    if (m_dwWaveData[0] == 0)
        ArmPlayFallback();
    return TRUE;
}

// A block that cannot be handed to the device does not count as queued: nothing would
// ever bring it back.
BOOL CAudioPlayRec::QueueOutBuffer(int nIndex, DWORD cbData)
{
    WAVEHDR* pHeader = m_ppHeaders[nIndex].get();
    *pHeader = WAVEHDR{};
    pHeader->lpData = reinterpret_cast<LPSTR>(m_ppBuffers[nIndex].get());
    pHeader->dwBufferLength = cbData;
    pHeader->dwBytesRecorded = cbData;
    pHeader->dwFlags = 0;
    pHeader->dwUser = static_cast<DWORD_PTR>(nIndex);
    MMRESULT mmr = AudioServices().waveOutPrepareHeader(m_hWaveOut, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutPrepareHeader() failed");
        return FALSE;
    }
    mmr = AudioServices().waveOutWrite(m_hWaveOut, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutWrite() failed");
        AudioServices().waveOutUnprepareHeader(m_hWaveOut, pHeader, sizeof(WAVEHDR));
        return FALSE;
    }
    ++m_nQueued;
    DrawWave(SplitChannels(m_wfx.wBitsPerSample, m_ppBuffers[nIndex].get(), cbData));
    return TRUE;
}

void CAudioPlayRec::OnWomDone(HWAVEOUT hDevice, WAVEHDR* pHeader)
{
    const int nIndex = FindBuffer(pHeader);
    if (!m_hWaveOut || hDevice != m_hWaveOut || nIndex < 0 || !(pHeader->dwFlags & WHDR_PREPARED))
        return;
    MMRESULT mmr = AudioServices().waveOutUnprepareHeader(m_hWaveOut, pHeader, sizeof(WAVEHDR));
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutUnprepareHeader() failed");
        return;
    }
    --m_nQueued;
    if (m_nStatus == STATUS_PLAYING) {
        DWORD cbRead = m_dwBufferSize;
        if (!ReadBlock(m_ppBuffers[nIndex].get(), &cbRead)) {
            // Stopped before the box, so that buffers coming back during it read nothing.
            Stop();
            AfxMessageBox("Read sound data from file failed");
        } else if (cbRead > 0) {
            if (QueueOutBuffer(nIndex, cbRead))
                return;
            Stop();
        } else {
            // The end of the data: what is queued still plays; the timer is the fallback.
            ArmPlayFallback();
        }
    }
    if (m_nQueued == 0)
        FinishPlay();
}

void CAudioPlayRec::ArmPlayFallback()
{
    ULONGLONG cbQueued = static_cast<ULONGLONG>(m_nQueued) * m_dwBufferSize;
    ULONGLONG msQueued = cbQueued * 1000 / std::max<DWORD>(m_wfx.nAvgBytesPerSec, 1);
    SetTimer(kPlayTimer, static_cast<UINT>(std::min<ULONGLONG>(msQueued, 60000)) + kFallbackMs);
}

void CAudioPlayRec::FinishPlay()
{
    if (!m_hWaveOut || (m_nStatus != STATUS_PLAYING && m_nStatus != STATUS_STOPPING))
        return;
    KillTimer(kPlayTimer);
    MMRESULT mmr = ReleaseOutputDevice(std::exchange(m_hWaveOut, nullptr));
    CloseWaveForRead();
    m_nStatus = STATUS_IDLE;
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, "waveOutClose() failed");
}

void CAudioPlayRec::AbandonPlay()
{
    if (m_hWaveOut)
        ReleaseOutputDevice(std::exchange(m_hWaveOut, nullptr));
    CloseWaveForRead();
    m_nQueued = 0;
}

// Resets, unprepares what the device handed back and closes it: closing a device that
// still holds buffers fails.
MMRESULT CAudioPlayRec::ReleaseOutputDevice(HWAVEOUT hWaveOut)
{
    AudioServices().waveOutReset(hWaveOut);
    for (auto& pHeader : m_ppHeaders) {
        if (pHeader->dwFlags & WHDR_PREPARED)
            AudioServices().waveOutUnprepareHeader(hWaveOut, pHeader.get(), sizeof(WAVEHDR));
    }
    return AudioServices().waveOutClose(hWaveOut);
}

// ---------------------------------------------------------------------------------------
// WAV files

BOOL CAudioPlayRec::OpenWaveForWrite(LPCSTR pszFileName, int nChannel)
{
    if (m_hmmio[nChannel])
        return TRUE;
    std::string strName(pszFileName);
    AudioServices().mmioOpenA(strName.data(), nullptr, MMIO_DELETE);

    WAVEFORMATEX wfx = m_wfx;
    if (m_nChannelMode == CHANNEL_ALONE) {
        wfx.nChannels = 1;
        wfx.nBlockAlign = wfx.wBitsPerSample / 8;
        wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    }
    HMMIO hmmio = AudioServices().mmioOpenA(strName.data(), nullptr,
                                            MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF);
    if (!hmmio) {
        AfxMessageBox("Open wave file failed");
        return FALSE;
    }
    m_hmmio[nChannel] = hmmio;
    MMCKINFO& ckRiff = m_ckRiff[nChannel];
    MMCKINFO& ckSub = m_ckSub[nChannel];
    ckRiff = MMCKINFO{};
    ckRiff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    AudioServices().mmioCreateChunk(hmmio, &ckRiff, MMIO_CREATERIFF);
    ckSub = MMCKINFO{};
    ckSub.ckid = mmioFOURCC('f', 'm', 't', ' ');
    ckSub.cksize = sizeof(WAVEFORMATEX) + wfx.cbSize;
    AudioServices().mmioCreateChunk(hmmio, &ckSub, 0);
    AudioServices().mmioWrite(hmmio, reinterpret_cast<const char*>(&wfx), sizeof(WAVEFORMATEX));
    AudioServices().mmioAscend(hmmio, &ckSub, 0);
    ckSub.ckid = mmioFOURCC('d', 'a', 't', 'a');
    AudioServices().mmioCreateChunk(hmmio, &ckSub, 0);
    m_dwWaveData[nChannel] = 0;
    return TRUE;
}

// A block that would take the file past what its sizes can hold counts as a failed write.
BOOL CAudioPlayRec::AppendWave(int nChannel, const BYTE* pData, DWORD cbData)
{
    if (cbData > kMaxWaveData - m_dwWaveData[nChannel])
        return FALSE;
    LONG cbWritten = AudioServices().mmioWrite(m_hmmio[nChannel], reinterpret_cast<const char*>(pData),
                                               static_cast<LONG>(cbData));
    if (cbWritten > 0)
        m_dwWaveData[nChannel] += static_cast<DWORD>(cbWritten);
    return cbWritten == static_cast<LONG>(cbData);
}

void CAudioPlayRec::CloseWaveForWrite(int nChannel)
{
    AudioServices().mmioAscend(m_hmmio[nChannel], &m_ckSub[nChannel], 0);
    AudioServices().mmioAscend(m_hmmio[nChannel], &m_ckRiff[nChannel], 0);
    AudioServices().mmioClose(m_hmmio[nChannel], 0);
    m_hmmio[nChannel] = nullptr;
}

BOOL CAudioPlayRec::OpenWaveForRead(LPCSTR pszFileName)
{
    if (m_hmmio[0])
        return FALSE;
    std::string strName(pszFileName ? pszFileName : "");
    HMMIO hmmio = AudioServices().mmioOpenA(strName.data(), nullptr, 0);
    if (!hmmio) {
        AfxMessageBox("Open wave file failed");
        return FALSE;
    }
    m_hmmio[0] = hmmio;
    const char* pszError = nullptr;
    m_ckRiff[0] = MMCKINFO{};
    m_ckRiff[0].fccType = mmioFOURCC('W', 'A', 'V', 'E');
    m_ckSub[0] = MMCKINFO{};
    m_ckSub[0].ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (AudioServices().mmioDescend(hmmio, &m_ckRiff[0], nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR)
        pszError = "Error descending into file";
    else if (AudioServices().mmioDescend(hmmio, &m_ckSub[0], &m_ckRiff[0], MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        pszError = "Error descending in wave file";
    else if (!ReadWaveFormat())
        pszError = "Error reading PCM wave format record";
    if (!pszError) {
        AllocBuffers();
        if (AudioServices().mmioAscend(hmmio, &m_ckSub[0], 0) != MMSYSERR_NOERROR) {
            pszError = "Error ascending in File";
        } else {
            m_ckSub[0] = MMCKINFO{};
            m_ckSub[0].ckid = mmioFOURCC('d', 'a', 't', 'a');
            if (AudioServices().mmioDescend(hmmio, &m_ckSub[0], &m_ckRiff[0], MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
                pszError = "error reading data chunk";
        }
    }
    if (pszError) {
        AfxMessageBox(pszError);
        CloseWaveForRead();
        return FALSE;
    }
    m_dwWaveData[0] = m_ckSub[0].cksize;
    return TRUE;
}

// Reads the "fmt " chunk: its first 18 bytes at most, and only formats the engine can play.
BOOL CAudioPlayRec::ReadWaveFormat()
{
    const DWORD cbChunk = m_ckSub[0].cksize;
    if (cbChunk < 16)
        return FALSE;
    const LONG cbRead = static_cast<LONG>(std::min<DWORD>(cbChunk, sizeof(WAVEFORMATEX)));
    WAVEFORMATEX wfx{};
    if (AudioServices().mmioRead(m_hmmio[0], reinterpret_cast<HPSTR>(&wfx), cbRead) != cbRead)
        return FALSE;
    if (!IsPlayableFormat(wfx))
        return FALSE;
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    wfx.cbSize = 0;
    m_wfx = wfx;
    return TRUE;
}

void CAudioPlayRec::CloseWaveForRead()
{
    if (!m_hmmio[0])
        return;
    AudioServices().mmioClose(m_hmmio[0], 0);
    m_hmmio[0] = nullptr;
    m_dwWaveData[0] = 0;
}

BOOL CAudioPlayRec::ReadBlock(BYTE* pBuffer, DWORD* pcb)
{
    const LONG cbWanted = static_cast<LONG>(std::min(*pcb, m_dwWaveData[0]));
    *pcb = 0;
    if (cbWanted == 0)
        return TRUE;
    LONG cbRead = AudioServices().mmioRead(m_hmmio[0], reinterpret_cast<HPSTR>(pBuffer), cbWanted);
    if (cbRead < 0)
        return FALSE;
    // A file cut short ends where its bytes end.
    m_dwWaveData[0] = cbRead == 0 ? 0 : m_dwWaveData[0] - static_cast<DWORD>(cbRead);
    *pcb = static_cast<DWORD>(cbRead);
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// The view

BOOL CAudioPlayRec::CreateView(HWND hParent, const RECT* pRect)
{
    LPCSTR pszClass = AfxRegisterWndClass(0, ::LoadCursorA(nullptr, IDC_ARROW));
    CRect rc = pRect ? CRect(*pRect) : CRect();
    if (!pszClass || !CreateEx(0, pszClass, "", WS_CHILD | WS_TABSTOP, rc, CWnd::FromHandle(hParent), 0)) {
        AfxMessageBox("Create window failed");
        return FALSE;
    }
    ShowWindow(pRect ? SW_SHOW : SW_HIDE);
    GetClientRect(&m_rcClient);
    CClientDC dc(m_hWnd);
    m_fontLabel.CreatePointFont(100, "Impact");
    LOGFONTA lf{};
    lf.lfHeight = 14;
    lf.lfItalic = TRUE;
    lf.lfUnderline = TRUE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    m_fontText.CreateFontIndirect(&lf);
    return TRUE;
}

void CAudioPlayRec::SetBkColor(COLORREF cr)
{
    m_crBk = cr;
    m_brushBk.CreateSolidBrush(cr);
    if (m_hWnd)
        Invalidate();
}

CRect CAudioPlayRec::GetChannelRect(BOOL bLeft) const
{
    CRect rc = m_rcClient;
    const int h = m_rcClient.Height();
    if (bLeft)
        rc.bottom = (h - 2) / 2;
    else
        rc.top = (h + 2) / 2;
    return rc;
}

void CAudioPlayRec::DrawChannelBand(CDC* pDC, BOOL bLeft)
{
    if (!m_brushBk.GetSafeHandle())
        return;
    CRect rc = GetChannelRect(bLeft);
    pDC->FillRect(rc, m_brushBk);
    HGDIOBJ hOldFont = m_fontLabel.GetSafeHandle() ? pDC->SelectObject(m_fontLabel) : nullptr;
    pDC->SetTextColor(kLabelColor);
    rc.DeflateRect(2, 2);
    pDC->DrawText(bLeft ? "Left" : "Right", &rc, DT_SINGLELINE | DT_LEFT | DT_TOP);
    if (hOldFont)
        pDC->SelectObject(hOldFont);
}

void CAudioPlayRec::DrawBackground(CDC* pDC)
{
    pDC->SetBkMode(TRANSPARENT);
    DrawChannelBand(pDC, TRUE);
    DrawChannelBand(pDC, FALSE);
    if (m_penCenter.GetSafeHandle()) {
        CSelectGuard pen(*pDC, m_penCenter);
        const int y = m_rcClient.Height() / 2;
        pDC->MoveTo(0, y);
        pDC->LineTo(m_rcClient.right, y);
    }
    HGDIOBJ hOldFont = m_fontText.GetSafeHandle() ? pDC->SelectObject(m_fontText) : nullptr;
    pDC->SetTextColor(kDeviceNameColor);
    CRect rcName = m_rcClient;
    rcName.DeflateRect(4, 4);
    pDC->DrawText(m_strDevice, &rcName, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    if (hOldFont)
        pDC->SelectObject(hOldFont);
    pDC->Draw3dRect(m_rcClient, kBorderColor, kBorderColor);
}

void CAudioPlayRec::DrawWave(DWORD cbPerChannel)
{
    const DWORD nSamples = cbPerChannel / (m_wfx.wBitsPerSample == 8 ? 1 : 2);
    // A view without an area (created without a rectangle) has nothing to show.
    if (!m_hWnd || m_rcClient.IsRectEmpty() || nSamples == 0)
        return;
    CClientDC dc(m_hWnd);
    DrawBackground(&dc);
    if (!m_penWave.GetSafeHandle())
        return;
    CSelectGuard pen(dc, m_penWave);
    // While recording alone, a channel without an output keeps an empty band.
    const BOOL bAlone = m_hWaveIn && m_nChannelMode == CHANNEL_ALONE;
    if (!bAlone || HasOutput(0))
        DrawBandSamples(&dc, GetChannelRect(TRUE), m_pLeft.get(), nSamples);
    if (!bAlone || HasOutput(1))
        DrawBandSamples(&dc, GetChannelRect(FALSE), m_pRight.get(), nSamples);
}

void CAudioPlayRec::DrawBandSamples(CDC* pDC, const CRect& rcBand, const BYTE* pSamples, DWORD nSamples)
{
    const int yc = (rcBand.top + rcBand.bottom) / 2;
    const int h = rcBand.Height();
    auto y = [&](DWORD i) { return yc + SampleAt(pSamples, i, m_wfx.wBitsPerSample) * h / 65535; };
    const float step = static_cast<float>(rcBand.Width()) / static_cast<float>(nSamples);
    float x = 0;
    pDC->MoveTo(0, y(0));
    for (DWORD i = 1; i < nSamples; ++i) {
        x += step;
        pDC->LineTo(static_cast<int>(x), y(i));
    }
}

BOOL CAudioPlayRec::OnEraseBkgnd(CDC* pDC)
{
    DrawBackground(pDC);
    return static_cast<BOOL>(Default());
}

BOOL CAudioPlayRec::OnSetCursor(CWnd*, UINT, UINT)
{
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    return static_cast<BOOL>(Default());
}
