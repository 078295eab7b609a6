#include "WaveOutput.h"
#include "AudioServices.h"
#include <string>

static_assert(sizeof(WAVEFORMATEX) == 18, "the format chunk is the 18-byte record");

namespace {

// mmio keeps file offsets in a LONG: a WAV file stays below 2 GiB, which also keeps its RIFF
// sizes in range. 46 header bytes and room for the pad byte.
const DWORD MAX_WAVE_DATA = 0x7FFFFFFF - 46 - 1;
const LONG RIFF_SIZE_OFFSET = 4;

} // namespace

// Unbuffered, so that a short write is seen by the write that made it, not by a later flush.
BOOL CWaveOutput::Open(LPCSTR pszFileName, const WAVEFORMATEX& wfx)
{
    std::string strName(pszFileName);
    AudioServices().mmioOpenA(strName.data(), nullptr, MMIO_DELETE);
    m_hmmio = AudioServices().mmioOpenA(strName.data(), nullptr, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE);
    if (!m_hmmio)
        return FALSE;
    m_ckRiff = MMCKINFO{};
    m_ckRiff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    m_ckSub = MMCKINFO{};
    m_ckSub.ckid = mmioFOURCC('f', 'm', 't', ' ');
    m_ckSub.cksize = sizeof(WAVEFORMATEX) + wfx.cbSize;
    CAudioServices& mmio = AudioServices();
    BOOL bWritten = mmio.mmioCreateChunk(m_hmmio, &m_ckRiff, MMIO_CREATERIFF) == MMSYSERR_NOERROR &&
                    mmio.mmioCreateChunk(m_hmmio, &m_ckSub, 0) == MMSYSERR_NOERROR &&
                    mmio.mmioWrite(m_hmmio, reinterpret_cast<const char*>(&wfx), sizeof wfx) == sizeof wfx &&
                    mmio.mmioAscend(m_hmmio, &m_ckSub, 0) == MMSYSERR_NOERROR;
    // The data chunk's size field still holds the format's 18 until the sizes are written.
    m_ckSub.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (!bWritten || mmio.mmioCreateChunk(m_hmmio, &m_ckSub, 0) != MMSYSERR_NOERROR) {
        mmio.mmioClose(m_hmmio, 0);
        m_hmmio = nullptr;
        return FALSE;
    }
    m_dwData = 0;
    m_dwSizesDue = 0;
    m_dwBytesPerSecond = wfx.nAvgBytesPerSec;
    return TRUE;
}

// A block that would take the file past what its sizes can hold counts as a failed write.
BOOL CWaveOutput::Append(const BYTE* pData, DWORD cbData)
{
    if (cbData > MAX_WAVE_DATA - m_dwData)
        return FALSE;
    const LONG cbWritten =
        AudioServices().mmioWrite(m_hmmio, reinterpret_cast<const char*>(pData), static_cast<LONG>(cbData));
    if (cbWritten > 0)
        m_dwData += static_cast<DWORD>(cbWritten);
    if (cbWritten != static_cast<LONG>(cbData))
        return FALSE;
    if (m_dwData < m_dwSizesDue)
        return TRUE;
    m_dwSizesDue = m_dwData + m_dwBytesPerSecond;
    return WriteSizes();
}

// The sizes of what the file holds now; the file is left positioned at its end.
BOOL CWaveOutput::WriteSizes()
{
    const LONG lEnd = AudioServices().mmioSeek(m_hmmio, 0, SEEK_CUR);
    return lEnd >= 0 && WriteAt(RIFF_SIZE_OFFSET, static_cast<DWORD>(lEnd) - 8) &&
           WriteAt(static_cast<LONG>(m_ckSub.dwDataOffset) - 4, m_dwData) &&
           AudioServices().mmioSeek(m_hmmio, lEnd, SEEK_SET) == lEnd;
}

BOOL CWaveOutput::WriteAt(LONG lOffset, DWORD dwValue)
{
    return AudioServices().mmioSeek(m_hmmio, lOffset, SEEK_SET) == lOffset &&
           AudioServices().mmioWrite(m_hmmio, reinterpret_cast<const char*>(&dwValue), sizeof dwValue) ==
               sizeof dwValue;
}

BOOL CWaveOutput::Finish()
{
    if (!m_hmmio)
        return TRUE;
    CAudioServices& mmio = AudioServices();
    BOOL bFinished = mmio.mmioAscend(m_hmmio, &m_ckSub, 0) == MMSYSERR_NOERROR;
    bFinished = mmio.mmioAscend(m_hmmio, &m_ckRiff, 0) == MMSYSERR_NOERROR && bFinished;
    bFinished = mmio.mmioClose(m_hmmio, 0) == MMSYSERR_NOERROR && bFinished;
    m_hmmio = nullptr;
    return bFinished;
}
