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
    if (m_nStatus != STATUS_IDLE) {
        ShowMessage("Class status error");
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
            ShowMessage("Read sound data from file failed");
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
    if (m_dwWaveData == 0)
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
            Stop();
            ShowMessage("Read sound data from file failed");
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
    SetTimer(PLAY_TIMER, static_cast<UINT>(std::min<ULONGLONG>(msQueued, 60000)) + FALLBACK_MS);
}

void CAudioPlayRec::FinishPlay()
{
    if (!m_hWaveOut || (m_nStatus != STATUS_PLAYING && m_nStatus != STATUS_STOPPING))
        return;
    KillTimer(PLAY_TIMER);
    MMRESULT mmr = ReleaseOutputDevice(std::exchange(m_hWaveOut, nullptr));
    CloseWaveForRead();
    m_nStatus = STATUS_IDLE;
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveOutClose() failed");
        // No close message will come to bring the owner back to idle.
        PostMessage(MM_WOM_CLOSE);
    }
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
        AllocBuffers();
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
    m_dwWaveData = m_ckSub.cksize;
    return TRUE;
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
