// CWaveWriter, CWaveReader: the PCM WAV file, written while recording and
// read for playback, on file handles of our own (paths up to MAX_PATH, any code page 936 name).
#pragma once
#include "FileHandle.h"
#include "Output.h"
#include <mmsystem.h>

// One PCM WAV file being recorded. Every write is checked when it happens and the sizes follow
// the sound a few times a second, counted from the bytes written, so a file cut short by a full
// disk or a killed program still says truly how much sound it holds.
class CWaveWriter : public COutput {
public:
    CWaveWriter() = default;
    ~CWaveWriter() override;
    CWaveWriter(const CWaveWriter&) = delete;
    CWaveWriter& operator=(const CWaveWriter&) = delete;

    // Replaces any file of that name; FALSE when it cannot be created or a file is open already.
    BOOL Open(LPCSTR pszFileName, const WAVEFORMATEX& wfx);
    BOOL IsOpen() const override { return m_file.IsOpen(); }
    // A block past the largest file the RIFF sizes can describe: what fits is written, the file
    // finished, and FALSE returned with a message naming the limit.
    BOOL Append(const BYTE* pData, DWORD cbData, CString& strError) override;
    // Pads, writes the final sizes and closes.
    BOOL Finish(CString& strError) override;

private:
    BOOL WriteSizes(DWORD cbPad);
    BOOL Failed(CString& strError);
    BOOL ReachedLimit(CString& strError);

    CFileHandle m_file;
    CString m_strName;
    // The header as written; the sizes in it change as the sound grows.
    BYTE m_header[46] = {};
    DWORD m_dwData = 0;
    DWORD m_dwMaxData = 0;
    DWORD m_dwAvgBytesPerSec = 0;
    DWORD m_dwSizesDue = 0;
    DWORD m_dwSizesEvery = 0;
    BOOL m_bFailed = FALSE;
};

// A WAV file opened for playback: its chunks are walked by their sizes, each checked against
// the file's real size, so a damaged or streamed file is read as far as it goes or refused with
// one message, never looped over.
class CWaveReader {
public:
    CWaveReader() = default;
    ~CWaveReader() { Close(); }
    CWaveReader(const CWaveReader&) = delete;
    CWaveReader& operator=(const CWaveReader&) = delete;

    // FALSE with strError set to the one message the user is to see.
    BOOL Open(LPCSTR pszFileName, CString& strError);
    BOOL IsOpen() const { return m_file.IsOpen(); }
    // The format to open the device with: PCM, cbSize 0.
    const WAVEFORMATEX& GetFormat() const { return m_wfx; }
    // FALSE only on a read error; *pcb is 0 at the end of the sample data, whole frames only.
    BOOL Read(BYTE* pBuffer, DWORD* pcb);
    void Close();

private:
    LPCSTR FindChunks(LONGLONG llFileSize);
    BOOL ReadFormat(LONGLONG llOffset, DWORD cbFormat);

    CFileHandle m_file;
    WAVEFORMATEX m_wfx = {};
    LONGLONG m_llNext = 0;
    ULONGLONG m_ullLeft = 0;
};
