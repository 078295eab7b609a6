#include "Playback.h"
#include <algorithm>

namespace {

const UINT FALLBACK_MS = 1000;

} // namespace

CPlayback::CPlayback(const CEngineWindow& window, UINT_PTR nTimer, DWORD cbBuffer)
    : CDeviceRun(window, FALSE, nTimer), m_cbBuffer(cbBuffer)
{
}

CPlayback::~CPlayback()
{
    End();
}

BOOL CPlayback::Start(LPCSTR pszWaveFile, UINT nDevice)
{
    CString strError;
    if (!m_reader.Open(pszWaveFile, strError)) {
        Say(strError);
        m_state = DONE;
        return FALSE;
    }
    if (StartDevice(nDevice))
        return TRUE;
    End();
    return FALSE;
}

// The device is held until the first blocks are all queued: one that starts on the first block
// (Wine's does) can play it out before the next reaches it, a gap at the start of every playback.
BOOL CPlayback::StartDevice(UINT nDevice)
{
    const WAVEFORMATEX& wfx = m_reader.GetFormat();
    const int nBuffers = BufferCount(wfx, m_cbBuffer);
    m_pSplit = std::make_unique<CChannelSplitter>(m_cbBuffer);
    auto pDevice = std::make_unique<CWaveOutDevice>();
    MMRESULT mmr = pDevice->Open(nDevice, wfx, m_window.hWnd, nBuffers, m_cbBuffer);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutOpen() failed");
        return FALSE;
    }
    m_pDevice = std::move(pDevice);
    if ((mmr = m_pDevice->Pause()) != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutPause() failed");
        return FALSE;
    }
    if (!QueueFirstBlocks())
        return FALSE;
    if ((mmr = m_pDevice->Restart()) != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutRestart() failed");
        return FALSE;
    }
    return TRUE;
}

BOOL CPlayback::QueueFirstBlocks()
{
    DWORD cbFirst = m_cbBuffer;
    if (!m_reader.Read(m_pDevice->GetData(0), &cbFirst) || cbFirst == 0) {
        Say("Read sound data from file failed");
        return FALSE;
    }
    if (!QueueBlock(0, cbFirst))
        return FALSE;
    for (int i = 1; i < m_pDevice->GetBufferCount() && m_state == RUNNING; ++i) {
        if (!FillBuffer(i))
            return FALSE;
    }
    return TRUE;
}

// A block the device does not take ends the playback: nothing would ever bring it back. Each
// buffer is handed over with the length of what was read into it.
BOOL CPlayback::QueueBlock(int nIndex, DWORD cbData)
{
    MMRESULT mmr = m_pDevice->Prepare(nIndex, cbData);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutPrepareHeader() failed");
        return FALSE;
    }
    mmr = m_pDevice->Queue(nIndex);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutWrite() failed");
        return FALSE;
    }
    const WAVEFORMATEX& wfx = m_reader.GetFormat();
    Draw(*m_pSplit, wfx, m_pSplit->Split(wfx, m_pDevice->GetData(nIndex), cbData), TRUE, TRUE);
    return TRUE;
}

// Reads the next block into buffer nIndex and queues it. At the end of the data what is queued
// plays out, with a timer in case the device never hands it all back.
BOOL CPlayback::FillBuffer(int nIndex)
{
    DWORD cbRead = m_cbBuffer;
    if (!m_reader.Read(m_pDevice->GetData(nIndex), &cbRead)) {
        Say("Read sound data from file failed");
        return FALSE;
    }
    if (cbRead > 0)
        return QueueBlock(nIndex, cbRead);
    m_state = DRAINING;
    const WAVEFORMATEX& wfx = m_reader.GetFormat();
    const ULONGLONG cbQueued = static_cast<ULONGLONG>(m_pDevice->GetQueued()) * m_cbBuffer;
    const ULONGLONG msQueued = cbQueued * 1000 / std::max<DWORD>(wfx.nAvgBytesPerSec, 1);
    ArmTimer(static_cast<UINT>(std::min<ULONGLONG>(msQueued, 60000)) + FALLBACK_MS);
    return TRUE;
}

void CPlayback::OnDone()
{
    if (m_state != RUNNING && m_state != DRAINING)
        return;
    for (int i; (i = m_pDevice->TakeReturned()) >= 0;) {
        MMRESULT mmr = m_pDevice->Unprepare(i);
        if (mmr != MMSYSERR_NOERROR) {
            // The buffer leaves the queue; the others play on.
            ReportError(mmr, "waveOutUnprepareHeader() failed");
            continue;
        }
        if (m_state == RUNNING && !FillBuffer(i)) {
            End();
            return;
        }
    }
    if (m_pDevice->GetQueued() == 0)
        End();
}

void CPlayback::End()
{
    if (m_state == CLOSING || m_state == DONE)
        return;
    m_reader.Close();
    if (!m_pDevice) {
        m_state = DONE;
        return;
    }
    const MMRESULT mmr = m_pDevice->Reset();
    while (m_pDevice->TakeReturned() >= 0) {
    }
    CloseDevice(*m_pDevice, mmr, MM_WOM_CLOSE);
}

std::unique_ptr<CWaveOutDevice> CPlayback::TakeKeptDevice()
{
    return m_pDevice && m_pDevice->IsOpen() ? std::move(m_pDevice) : nullptr;
}
