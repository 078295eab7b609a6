#include "WaveFile.h"
#include "AudioServices.h"
#include "SkinWin/StringPath.h"
#include <algorithm>
#include <cstring>

static_assert(sizeof(WAVEFORMATEX) == 18, "the format chunk written is the 18-byte record");

namespace {

// What we write: "RIFF" size "WAVE" "fmt " 18 format "data" size, the samples from 46 on.
const char RIFF_ID[] = "RIFF", WAVE_ID[] = "WAVE", FORMAT_ID[] = "fmt ", DATA_ID[] = "data";
const DWORD ID_SIZE = 4;
const DWORD RIFF_SIZE_OFFSET = 4;
const DWORD FORM_HEADER = 12;
const DWORD CHUNK_HEADER = 8;
const DWORD FORMAT_OFFSET = FORM_HEADER + CHUNK_HEADER;
const DWORD DATA_SIZE_OFFSET = 42;
const DWORD DATA_OFFSET = 46;
const DWORD RIFF_HEADER_REST = DATA_OFFSET - 8;
// The RIFF size counts everything after its field in 32 bits; room is left for the pad byte.
const DWORD MAX_DATA = 0xFFFFFFFF - RIFF_HEADER_REST - 1;
// How often the sizes are rewritten: a killed program leaves at most this much sound
// uncounted, on top of what the sound system still held.
const DWORD SIZES_PER_SECOND = 4;
// A streaming writer that never came back to its sizes leaves one of these.
const DWORD SIZE_UNKNOWN = 0xFFFFFFFF;
const DWORD SIZE_UNWRITTEN = 0;
// Of a "fmt " chunk we need the extensible record at most: tag, subformat and all.
const DWORD MAX_FORMAT = 40;
const BYTE SUBTYPE_PCM[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
const WORD TAG_EXTENSIBLE = 0xFFFE;
const DWORD MIN_RATE = 1000;
const DWORD MAX_RATE = 192000;

WORD Word(const BYTE* p)
{
    return static_cast<WORD>(p[0] | p[1] << 8);
}

DWORD Dword(const BYTE* p)
{
    return Word(p) | static_cast<DWORD>(Word(p + 2)) << 16;
}

} // namespace

CWaveWriter::~CWaveWriter()
{
    CString strError;
    Finish(strError);
}

// Every write goes straight to the file, so a short one is seen by the write that made it.
BOOL CWaveWriter::Open(LPCSTR pszFileName, const WAVEFORMATEX& wfx)
{
    if (m_file.IsOpen() || !m_file.Open(pszFileName, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS))
        return FALSE;
    m_strName = GetFileName(pszFileName);
    m_dwData = 0;
    m_bFailed = FALSE;
    m_dwAvgBytesPerSec = wfx.nAvgBytesPerSec;
    m_dwSizesEvery = wfx.nAvgBytesPerSec / SIZES_PER_SECOND;
    m_dwSizesDue = m_dwSizesEvery;
    m_dwMaxData = MAX_DATA - MAX_DATA % std::max<WORD>(wfx.nBlockAlign, 1);
    const DWORD cbFormat = sizeof(WAVEFORMATEX);
    WAVEFORMATEX format = wfx;
    format.cbSize = 0;
    memcpy(m_header, RIFF_ID, ID_SIZE);
    memcpy(m_header + FORM_HEADER - ID_SIZE, WAVE_ID, ID_SIZE);
    memcpy(m_header + FORM_HEADER, FORMAT_ID, ID_SIZE);
    memcpy(m_header + FORMAT_OFFSET - 4, &cbFormat, 4);
    memcpy(m_header + FORMAT_OFFSET, &format, sizeof format);
    memcpy(m_header + DATA_SIZE_OFFSET - ID_SIZE, DATA_ID, ID_SIZE);
    if (WriteSizes(0))
        return TRUE;
    m_file.Close();
    return FALSE;
}

BOOL CWaveWriter::Append(const BYTE* pData, DWORD cbData, CString& strError)
{
    if (m_bFailed || !m_file.IsOpen())
        return Failed(strError);
    const DWORD cbFits = std::min(cbData, m_dwMaxData - m_dwData);
    DWORD cbWritten = 0;
    const BOOL bWritten = m_file.WriteAt(-1, pData, cbFits, &cbWritten);
    m_dwData += cbWritten;
    if (!bWritten)
        return Failed(strError);
    if (cbFits < cbData)
        return ReachedLimit(strError);
    if (m_dwData < m_dwSizesDue)
        return TRUE;
    m_dwSizesDue = m_dwData + std::min(m_dwSizesEvery, m_dwMaxData - m_dwData);
    return WriteSizes(0) || Failed(strError);
}

// The header with the sizes of the m_dwData bytes written (and a pad byte), then back to the
// end of the samples.
BOOL CWaveWriter::WriteSizes(DWORD cbPad)
{
    const DWORD cbRiff = RIFF_HEADER_REST + m_dwData + cbPad;
    memcpy(m_header + RIFF_SIZE_OFFSET, &cbRiff, 4);
    memcpy(m_header + DATA_SIZE_OFFSET, &m_dwData, 4);
    return m_file.WriteAt(0, m_header, DATA_OFFSET) && m_file.Seek(DATA_OFFSET + static_cast<LONGLONG>(m_dwData));
}

// Said once per file; nothing more is appended after a failure, whatever step it was.
BOOL CWaveWriter::Failed(CString& strError)
{
    if (!m_bFailed)
        strError = "Write file failed";
    m_bFailed = TRUE;
    return FALSE;
}

// The file is finished whole at the limit, and the user told how much it holds.
BOOL CWaveWriter::ReachedLimit(CString& strError)
{
    if (!Finish(strError))
        return FALSE;
    m_bFailed = TRUE;
    const DWORD dwSeconds = m_dwAvgBytesPerSec ? m_dwData / m_dwAvgBytesPerSec : 0;
    strError.Format("%s reached the WAV limit of 4 GB: it holds %lu:%02lu:%02lu of sound", (LPCSTR)m_strName,
                    dwSeconds / 3600, dwSeconds / 60 % 60, dwSeconds % 60);
    return FALSE;
}

// Every step is tried whatever an earlier one gave: the sizes are written from the byte count
// again, so one that failed during a block is mended here.
BOOL CWaveWriter::Finish(CString& strError)
{
    if (!m_file.IsOpen())
        return TRUE;
    BOOL bFinished = !m_bFailed;
    DWORD cbPad = 0;
    if (m_dwData % 2) {
        const BYTE zero = 0;
        cbPad = m_file.WriteAt(DATA_OFFSET + static_cast<LONGLONG>(m_dwData), &zero, 1) ? 1 : 0;
        bFinished = bFinished && cbPad == 1;
    }
    bFinished = WriteSizes(cbPad) && bFinished;
    bFinished = m_file.Close() && bFinished;
    if (!bFinished)
        Failed(strError);
    return bFinished;
}

// Others may still be writing the file (a recording played while it grows).
BOOL CWaveReader::Open(LPCSTR pszFileName, CString& strError)
{
    Close();
    LONGLONG llFileSize = 0;
    if (!m_file.Open(pszFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING) ||
        !AudioServices().GetFileSizeEx(m_file.Get(), &llFileSize)) {
        Close();
        strError = "Open wave file failed";
        return FALSE;
    }
    if (LPCSTR pszError = FindChunks(llFileSize)) {
        Close();
        strError = pszError;
        return FALSE;
    }
    return TRUE;
}

// Walks the chunks after "WAVE" up to the end of the file, whatever the RIFF size says (a
// streaming writer leaves 0 or 0xFFFFFFFF there). Each step moves on by a chunk header at least,
// and a chunk that runs past the end of the file ends there.
LPCSTR CWaveReader::FindChunks(LONGLONG llFileSize)
{
    BYTE form[FORM_HEADER];
    DWORD cbRead = 0;
    if (!m_file.ReadAt(0, form, FORM_HEADER, &cbRead) || cbRead < FORM_HEADER || memcmp(form, RIFF_ID, ID_SIZE) != 0 ||
        memcmp(form + FORM_HEADER - ID_SIZE, WAVE_ID, ID_SIZE) != 0)
        return "Error descending into file";
    BOOL bFormat = FALSE, bData = FALSE;
    for (LONGLONG llChunk = FORM_HEADER; llChunk + CHUNK_HEADER <= llFileSize && !(bFormat && bData);) {
        BYTE header[CHUNK_HEADER];
        if (!m_file.ReadAt(llChunk, header, CHUNK_HEADER, &cbRead) || cbRead < CHUNK_HEADER)
            break;
        const LONGLONG llBody = llChunk + CHUNK_HEADER, llLeft = llFileSize - llBody;
        LONGLONG llSize = Dword(header + ID_SIZE);
        if (!bFormat && memcmp(header, FORMAT_ID, ID_SIZE) == 0) {
            if (!ReadFormat(llBody, static_cast<DWORD>(std::min<LONGLONG>({llSize, llLeft, MAX_FORMAT}))))
                return "Error reading PCM wave format record";
            bFormat = TRUE;
        } else if (!bData && memcmp(header, DATA_ID, ID_SIZE) == 0) {
            bData = TRUE;
            if (llSize == SIZE_UNKNOWN || llSize == SIZE_UNWRITTEN)
                llSize = llLeft;
            m_llNext = llBody;
            m_ullLeft = static_cast<ULONGLONG>(std::min(llSize, llLeft));
        }
        llChunk = llBody + llSize + (llSize & 1);
    }
    if (!bFormat)
        return "Error descending in wave file";
    if (!bData)
        return "error reading data chunk";
    m_ullLeft -= m_ullLeft % m_wfx.nBlockAlign;
    return nullptr;
}

// Only formats the engine can play: PCM (also under the extensible tag), one or two channels
// of 8 or 16 bits.
BOOL CWaveReader::ReadFormat(LONGLONG llOffset, DWORD cbFormat)
{
    BYTE format[MAX_FORMAT] = {};
    DWORD cbRead = 0;
    if (!m_file.ReadAt(llOffset, format, cbFormat, &cbRead) || cbRead < 16)
        return FALSE;
    WORD wTag = Word(format);
    if (wTag == TAG_EXTENSIBLE && cbRead == MAX_FORMAT && Word(format + 16) >= MAX_FORMAT - 18 &&
        memcmp(format + 24, SUBTYPE_PCM, sizeof SUBTYPE_PCM) == 0)
        wTag = WAVE_FORMAT_PCM;
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = wTag;
    wfx.nChannels = Word(format + 2);
    wfx.nSamplesPerSec = Dword(format + 4);
    wfx.nBlockAlign = Word(format + 12);
    wfx.wBitsPerSample = Word(format + 14);
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    if (wfx.wFormatTag != WAVE_FORMAT_PCM || wfx.nChannels < 1 || wfx.nChannels > 2 ||
        (wfx.wBitsPerSample != 8 && wfx.wBitsPerSample != 16) || wfx.nSamplesPerSec < MIN_RATE ||
        wfx.nSamplesPerSec > MAX_RATE || wfx.nBlockAlign != wfx.nChannels * wfx.wBitsPerSample / 8)
        return FALSE;
    m_wfx = wfx;
    return TRUE;
}

BOOL CWaveReader::Read(BYTE* pBuffer, DWORD* pcb)
{
    const DWORD cbWanted = static_cast<DWORD>(std::min<ULONGLONG>(*pcb, m_ullLeft));
    *pcb = 0;
    if (cbWanted == 0)
        return TRUE;
    DWORD cbRead = 0;
    if (!m_file.ReadAt(m_llNext, pBuffer, cbWanted, &cbRead))
        return FALSE;
    // A file cut short since it was opened ends where its bytes end.
    m_ullLeft = cbRead ? m_ullLeft - cbRead : 0;
    m_llNext += cbRead;
    *pcb = cbRead;
    return TRUE;
}

void CWaveReader::Close()
{
    m_file.Close();
    m_wfx = WAVEFORMATEX{};
    m_llNext = 0;
    m_ullLeft = 0;
}
