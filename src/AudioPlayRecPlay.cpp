// CAudioPlayRec's playback: a PCM WAV file read through mmio and played on the selected
// device, each block drawn when it is queued.
#include "AudioPlayRec.h"
#include "AudioServices.h"
#include <algorithm>
#include <string>
#include <utility>

namespace {

const DWORD MAX_SAMPLE_RATE = 384000;

BOOL IsPlayableFormat(const WAVEFORMATEX& wfx)
{
    return wfx.wFormatTag == WAVE_FORMAT_PCM && (wfx.nChannels == 1 || wfx.nChannels == 2) &&
           (wfx.wBitsPerSample == 8 || wfx.wBitsPerSample == 16) && wfx.nSamplesPerSec > 0 &&
           wfx.nSamplesPerSec <= MAX_SAMPLE_RATE && wfx.nBlockAlign == wfx.nChannels * wfx.wBitsPerSample / 8;
}

} // namespace

BOOL CAudioPlayRec::Play(LPCSTR pszWaveFile)
{
    m_bInput = FALSE;
    if (GetStatus() != STATUS_IDLE) {
        ShowMessage("Class status error");
        return FALSE;
    }
    CChange change(*this);
    if (!OpenWaveForRead(pszWaveFile))
        return FALSE;
    try {
        if (StartPlayback())
            return TRUE;
    } catch (const CMemoryException&) {
        EndPlayback();
        throw;
    }
    EndPlayback();
    return FALSE;
}

// Opens the device and queues the first blocks of the file. The device is held until all of
// them are queued: one that starts on the first block (Wine's does) can play it out before the
// next reaches it, a gap at the start of every playback.
BOOL CAudioPlayRec::StartPlayback()
{
    m_nBuffers = BufferCount();
    AllocChannelBuffers();
    auto pDevice = std::make_unique<CWaveOutDevice>();
    MMRESULT mmr = pDevice->Open(m_nDevice, m_wfx, m_hWnd, m_nBuffers, m_dwBufferSize);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutOpen() failed");
        return FALSE;
    }
    m_pWaveOut = std::move(pDevice);
    m_bDraining = FALSE;
    if ((mmr = m_pWaveOut->Pause()) != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutPause() failed");
        return FALSE;
    }
    if (!QueueFirstBlocks())
        return FALSE;
    if ((mmr = m_pWaveOut->Restart()) != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutRestart() failed");
        return FALSE;
    }
    return TRUE;
}

BOOL CAudioPlayRec::QueueFirstBlocks()
{
    DWORD cbFirst = m_dwBufferSize;
    if (!ReadBlock(m_pWaveOut->GetData(0), &cbFirst) || cbFirst == 0) {
        ShowMessage("Read sound data from file failed");
        return FALSE;
    }
    if (!QueueOutBuffer(0, cbFirst))
        return FALSE;
    for (int i = 1; i < m_nBuffers && !m_bDraining; ++i) {
        if (!FillOutBuffer(i))
            return FALSE;
    }
    return TRUE;
}

// A block the device does not take ends the playback: nothing would ever bring it back.
BOOL CAudioPlayRec::QueueOutBuffer(int nIndex, DWORD cbData)
{
    MMRESULT mmr = m_pWaveOut->Prepare(nIndex, cbData);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutPrepareHeader() failed");
        return FALSE;
    }
    mmr = m_pWaveOut->Queue(nIndex);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutWrite() failed");
        return FALSE;
    }
    DrawWave(SplitChannels(m_wfx.wBitsPerSample, m_pWaveOut->GetData(nIndex), cbData));
    return TRUE;
}

// Reads the next block into buffer nIndex and queues it. At the end of the data what is
// queued plays out, with a timer in case the device never hands it all back.
BOOL CAudioPlayRec::FillOutBuffer(int nIndex)
{
    DWORD cbRead = m_dwBufferSize;
    if (!ReadBlock(m_pWaveOut->GetData(nIndex), &cbRead)) {
        ShowMessage("Read sound data from file failed");
        return FALSE;
    }
    if (cbRead > 0)
        return QueueOutBuffer(nIndex, cbRead);
    m_bDraining = TRUE;
    const ULONGLONG cbQueued = static_cast<ULONGLONG>(m_pWaveOut->GetQueued()) * m_dwBufferSize;
    const ULONGLONG msQueued = cbQueued * 1000 / std::max<DWORD>(m_wfx.nAvgBytesPerSec, 1);
    ArmFallback(static_cast<UINT>(std::min<ULONGLONG>(msQueued, 60000)) + FALLBACK_MS);
    return TRUE;
}

void CAudioPlayRec::OnWomDone(HWAVEOUT hDevice)
{
    if (!m_pWaveOut || m_pWaveOut->GetHandle() != hDevice)
        return;
    for (int i; (i = m_pWaveOut->TakeReturned()) >= 0;) {
        MMRESULT mmr = m_pWaveOut->Unprepare(i);
        if (mmr != MMSYSERR_NOERROR) {
            // The buffer leaves the queue; the others play on.
            ReportError(mmr, "waveOutUnprepareHeader() failed");
            continue;
        }
        if (!m_bDraining && !FillOutBuffer(i)) {
            EndPlayback();
            return;
        }
    }
    if (m_pWaveOut->GetQueued() == 0)
        EndPlayback();
}

// The one end of a playback, whoever asks: reset (every queued block comes back), close, and
// the file closed.
void CAudioPlayRec::EndPlayback()
{
    if (m_pWaveOut) {
        CChange change(*this);
        m_bInput = FALSE;
        MMRESULT mmr = m_pWaveOut->Reset();
        LPCSTR pszStep = "waveOutReset() failed";
        while (m_pWaveOut->TakeReturned() >= 0) {
        }
        HANDLE hClosed = nullptr;
        MMRESULT mmrClose = CloseOrKeep(m_pWaveOut, m_failedOut, &hClosed);
        if (mmr == MMSYSERR_NOERROR) {
            mmr = mmrClose;
            pszStep = "waveOutClose() failed";
        }
        m_bDraining = FALSE;
        if (mmr != MMSYSERR_NOERROR)
            ReportError(mmr, pszStep);
        AwaitCloseMessage(hClosed, MM_WOM_CLOSE);
    }
    CloseWaveForRead();
}

BOOL CAudioPlayRec::OpenWaveForRead(LPCSTR pszFileName)
{
    if (m_hmmio)
        return FALSE;
    std::string strName(pszFileName ? pszFileName : "");
    HMMIO hmmio = AudioServices().mmioOpenA(strName.data(), nullptr, 0);
    if (!hmmio) {
        ShowMessage("Open wave file failed");
        return FALSE;
    }
    m_hmmio = hmmio;
    const char* pszError = nullptr;
    m_ckRiff = MMCKINFO{};
    m_ckRiff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    m_ckSub = MMCKINFO{};
    m_ckSub.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (AudioServices().mmioDescend(hmmio, &m_ckRiff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR)
        pszError = "Error descending into file";
    else if (AudioServices().mmioDescend(hmmio, &m_ckSub, &m_ckRiff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        pszError = "Error descending in wave file";
    else if (!ReadWaveFormat())
        pszError = "Error reading PCM wave format record";
    if (!pszError) {
        if (AudioServices().mmioAscend(hmmio, &m_ckSub, 0) != MMSYSERR_NOERROR) {
            pszError = "Error ascending in File";
        } else {
            m_ckSub = MMCKINFO{};
            m_ckSub.ckid = mmioFOURCC('d', 'a', 't', 'a');
            if (AudioServices().mmioDescend(hmmio, &m_ckSub, &m_ckRiff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
                pszError = "error reading data chunk";
        }
    }
    if (pszError) {
        ShowMessage(pszError);
        CloseWaveForRead();
        return FALSE;
    }
    m_dwWaveData = std::min(m_ckSub.cksize, FileBytesLeft());
    return TRUE;
}

// The bytes from here to the end of the file: a size field may claim more (a recorder that
// crashed leaves 0xFFFFFFFF there).
DWORD CAudioPlayRec::FileBytesLeft()
{
    const LONG lHere = AudioServices().mmioSeek(m_hmmio, 0, SEEK_CUR);
    const LONG lEnd = AudioServices().mmioSeek(m_hmmio, 0, SEEK_END);
    AudioServices().mmioSeek(m_hmmio, lHere, SEEK_SET);
    return lHere >= 0 && lEnd > lHere ? static_cast<DWORD>(lEnd - lHere) : 0;
}

// Reads the "fmt " chunk: its first 18 bytes at most, and only formats the engine can play.
BOOL CAudioPlayRec::ReadWaveFormat()
{
    const DWORD cbChunk = m_ckSub.cksize;
    if (cbChunk < 16)
        return FALSE;
    const LONG cbRead = static_cast<LONG>(std::min<DWORD>(cbChunk, sizeof(WAVEFORMATEX)));
    WAVEFORMATEX wfx{};
    if (AudioServices().mmioRead(m_hmmio, reinterpret_cast<HPSTR>(&wfx), cbRead) != cbRead)
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
    if (!m_hmmio)
        return;
    AudioServices().mmioClose(m_hmmio, 0);
    m_hmmio = nullptr;
    m_dwWaveData = 0;
}

BOOL CAudioPlayRec::ReadBlock(BYTE* pBuffer, DWORD* pcb)
{
    const LONG cbWanted = static_cast<LONG>(std::min(*pcb, m_dwWaveData));
    *pcb = 0;
    if (cbWanted == 0)
        return TRUE;
    LONG cbRead = AudioServices().mmioRead(m_hmmio, reinterpret_cast<HPSTR>(pBuffer), cbWanted);
    if (cbRead < 0)
        return FALSE;
    // A file cut short ends where its bytes end.
    m_dwWaveData = cbRead == 0 ? 0 : m_dwWaveData - static_cast<DWORD>(cbRead);
    *pcb = static_cast<DWORD>(cbRead);
    return TRUE;
}
