// CWaveOutput: one PCM WAV file being recorded. Every write is checked when it happens, and
// the RIFF and data sizes are kept up to date about once a second, so a file cut short by a
// full disk or a killed program still says how much sound it holds.
#pragma once
#include <windows.h>
#include <mmsystem.h>

class CWaveOutput {
public:
    CWaveOutput() = default;
    ~CWaveOutput() { Finish(); }
    CWaveOutput(const CWaveOutput&) = delete;
    CWaveOutput& operator=(const CWaveOutput&) = delete;

    // Replaces any file of that name; FALSE when it cannot be created.
    BOOL Open(LPCSTR pszFileName, const WAVEFORMATEX& wfx);
    BOOL IsOpen() const { return m_hmmio != nullptr; }
    // FALSE when fewer bytes reached the file than given.
    BOOL Append(const BYTE* pData, DWORD cbData);
    // Writes the final sizes and closes; FALSE when the file could not be finished.
    BOOL Finish();

private:
    BOOL WriteSizes();
    BOOL WriteAt(LONG lOffset, DWORD dwValue);

    HMMIO m_hmmio = nullptr;
    MMCKINFO m_ckRiff{};
    MMCKINFO m_ckSub{};
    DWORD m_dwData = 0;
    DWORD m_dwSizesDue = 0;
    DWORD m_dwBytesPerSecond = 0;
};
