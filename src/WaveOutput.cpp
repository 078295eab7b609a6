#include "WaveOutput.h"
#include "AudioServices.h"
#include <cstring>
#include <string>

static_assert(sizeof(WAVEFORMATEX) == 18, "the format chunk is the 18-byte record");

namespace {

// "RIFF" size "WAVE" "fmt " 18 format "data" size: the samples start at 46.
const LONG RIFF_SIZE_OFFSET = 4;
const LONG DATA_SIZE_OFFSET = 42;
const LONG DATA_OFFSET = 46;
const DWORD RIFF_HEADER_REST = DATA_OFFSET - 8;
// mmio keeps file offsets in a LONG: a WAV file stays below 2 GiB, which also keeps its RIFF
// sizes in range; room for the pad byte.
const DWORD MAX_WAVE_DATA = 0x7FFFFFFF - DATA_OFFSET - 1;
// How often the sizes are rewritten: a killed program leaves at most this much sound
// uncounted, on top of what the sound system still held.
const DWORD SIZES_PER_SECOND = 4;

} // namespace

CWaveOutput::~CWaveOutput()
{
    CString strError;
    Finish(strError);
}

// Unbuffered, so that a short write is seen by the write that made it, not by a later flush.
BOOL CWaveOutput::Open(LPCSTR pszFileName, const WAVEFORMATEX& wfx)
{
    std::string strName(pszFileName);
    AudioServices().mmioOpenA(strName.data(), nullptr, MMIO_DELETE);
    m_hmmio = AudioServices().mmioOpenA(strName.data(), nullptr, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE);
    if (!m_hmmio)
        return FALSE;
    m_dwData = 0;
    m_bFailed = FALSE;
    m_dwSizesEvery = wfx.nAvgBytesPerSec / SIZES_PER_SECOND;
    m_dwSizesDue = m_dwSizesEvery;
    const DWORD cbFormat = sizeof(WAVEFORMATEX);
    WAVEFORMATEX format = wfx;
    format.cbSize = 0;
    memcpy(m_header, "RIFF", 4);
    memcpy(m_header + 8, "WAVEfmt ", 8);
    memcpy(m_header + 16, &cbFormat, 4);
    memcpy(m_header + 20, &format, sizeof format);
    memcpy(m_header + 38, "data", 4);
    if (WriteSizes(0))
        return TRUE;
    AudioServices().mmioClose(m_hmmio, 0);
    m_hmmio = nullptr;
    return FALSE;
}

// A block that would take the file past what its sizes can hold counts as a failed write.
BOOL CWaveOutput::Append(const BYTE* pData, DWORD cbData, CString& strError)
{
    if (m_bFailed || cbData > MAX_WAVE_DATA - m_dwData)
        return Failed(strError);
    const LONG cbWritten =
        AudioServices().mmioWrite(m_hmmio, reinterpret_cast<const char*>(pData), static_cast<LONG>(cbData));
    if (cbWritten > 0)
        m_dwData += static_cast<DWORD>(cbWritten);
    if (cbWritten != static_cast<LONG>(cbData))
        return Failed(strError);
    if (m_dwData < m_dwSizesDue)
        return TRUE;
    m_dwSizesDue = m_dwData + m_dwSizesEvery;
    return WriteSizes(0) || Failed(strError);
}

// The header with the sizes of the m_dwData bytes written (and a pad byte), in one write from
// the RIFF size on, then back to the end of the samples.
BOOL CWaveOutput::WriteSizes(DWORD cbPad)
{
    const DWORD cbRiff = RIFF_HEADER_REST + m_dwData + cbPad;
    memcpy(m_header + RIFF_SIZE_OFFSET, &cbRiff, 4);
    memcpy(m_header + DATA_SIZE_OFFSET, &m_dwData, 4);
    const LONG lEnd = DATA_OFFSET + static_cast<LONG>(m_dwData);
    const LONG lFrom = m_dwData ? RIFF_SIZE_OFFSET : 0;
    return WriteAt(lFrom, m_header + lFrom, DATA_OFFSET - lFrom) &&
           AudioServices().mmioSeek(m_hmmio, lEnd, SEEK_SET) == lEnd;
}

BOOL CWaveOutput::WriteAt(LONG lOffset, const void* pData, LONG cbData)
{
    return AudioServices().mmioSeek(m_hmmio, lOffset, SEEK_SET) == lOffset &&
           AudioServices().mmioWrite(m_hmmio, static_cast<const char*>(pData), cbData) == cbData;
}

// Said once per file; nothing more is appended after a failure, whatever step it was.
BOOL CWaveOutput::Failed(CString& strError)
{
    if (!m_bFailed)
        strError = "Write file failed";
    m_bFailed = TRUE;
    return FALSE;
}

// Every step is tried whatever an earlier one gave: the sizes are written from the byte count
// again, so one that failed during a block is mended here.
BOOL CWaveOutput::Finish(CString& strError)
{
    if (!m_hmmio)
        return TRUE;
    CAudioServices& mmio = AudioServices();
    BOOL bFinished = !m_bFailed;
    DWORD cbPad = 0;
    if (m_dwData % 2) {
        const char zero = 0;
        const LONG lEnd = DATA_OFFSET + static_cast<LONG>(m_dwData);
        cbPad = WriteAt(lEnd, &zero, 1) ? 1 : 0;
        bFinished = bFinished && cbPad == 1;
    }
    bFinished = WriteSizes(cbPad) && bFinished;
    bFinished = mmio.mmioClose(m_hmmio, 0) == MMSYSERR_NOERROR && bFinished;
    m_hmmio = nullptr;
    if (!bFinished)
        Failed(strError);
    return bFinished;
}
