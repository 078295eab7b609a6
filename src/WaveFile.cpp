#include "WaveFile.h"
#include "AudioServices.h"
#include <algorithm>
#include <string>

namespace {

const DWORD MAX_SAMPLE_RATE = 384000;

BOOL IsPlayableFormat(const WAVEFORMATEX& wfx)
{
    return wfx.wFormatTag == WAVE_FORMAT_PCM && (wfx.nChannels == 1 || wfx.nChannels == 2) &&
           (wfx.wBitsPerSample == 8 || wfx.wBitsPerSample == 16) && wfx.nSamplesPerSec > 0 &&
           wfx.nSamplesPerSec <= MAX_SAMPLE_RATE && wfx.nBlockAlign == wfx.nChannels * wfx.wBitsPerSample / 8;
}

} // namespace

BOOL CWaveReader::Open(LPCSTR pszFileName, CString& strError)
{
    std::string strName(pszFileName ? pszFileName : "");
    HMMIO hmmio = AudioServices().mmioOpenA(strName.data(), nullptr, 0);
    if (!hmmio) {
        strError = "Open wave file failed";
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
        strError = pszError;
        Close();
        return FALSE;
    }
    m_dwWaveData = std::min(m_ckSub.cksize, FileBytesLeft());
    return TRUE;
}

DWORD CWaveReader::FileBytesLeft()
{
    const LONG lHere = AudioServices().mmioSeek(m_hmmio, 0, SEEK_CUR);
    const LONG lEnd = AudioServices().mmioSeek(m_hmmio, 0, SEEK_END);
    AudioServices().mmioSeek(m_hmmio, lHere, SEEK_SET);
    return lHere >= 0 && lEnd > lHere ? static_cast<DWORD>(lEnd - lHere) : 0;
}

BOOL CWaveReader::ReadWaveFormat()
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

void CWaveReader::Close()
{
    if (!m_hmmio)
        return;
    AudioServices().mmioClose(m_hmmio, 0);
    m_hmmio = nullptr;
    m_dwWaveData = 0;
}

BOOL CWaveReader::Read(BYTE* pBuffer, DWORD* pcb)
{
    const LONG cbWanted = static_cast<LONG>(std::min(*pcb, m_dwWaveData));
    *pcb = 0;
    if (cbWanted == 0)
        return TRUE;
    LONG cbRead = AudioServices().mmioRead(m_hmmio, reinterpret_cast<HPSTR>(pBuffer), cbWanted);
    if (cbRead < 0)
        return FALSE;
    m_dwWaveData = cbRead == 0 ? 0 : m_dwWaveData - static_cast<DWORD>(cbRead);
    *pcb = static_cast<DWORD>(cbRead);
    return TRUE;
}
