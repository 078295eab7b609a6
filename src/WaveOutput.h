// CWaveOutput: one PCM WAV file being recorded. Every write is checked when it happens, and
// the RIFF and data sizes follow the sound a few times a second (each rewrite costs the time
// of several block writes), so a file cut short by a full disk or a killed program still says
// how much sound it holds. The sizes come from the bytes written, never
// from where the file stands, so a step that fails cannot make them lie.
#pragma once
#include "Output.h"
#include <mmsystem.h>

class CWaveOutput : public COutput {
public:
    CWaveOutput() = default;
    ~CWaveOutput() override;
    CWaveOutput(const CWaveOutput&) = delete;
    CWaveOutput& operator=(const CWaveOutput&) = delete;

    // Replaces any file of that name; FALSE when it cannot be created.
    BOOL Open(LPCSTR pszFileName, const WAVEFORMATEX& wfx);
    BOOL IsOpen() const override { return m_hmmio != nullptr; }
    BOOL Append(const BYTE* pData, DWORD cbData, CString& strError) override;
    // Pads, writes the final sizes and closes.
    BOOL Finish(CString& strError) override;

private:
    BOOL WriteSizes(DWORD cbPad);
    BOOL WriteAt(LONG lOffset, const void* pData, LONG cbData);
    BOOL Failed(CString& strError);

    HMMIO m_hmmio = nullptr;
    // The 46 header bytes as written; the sizes in them change with every block.
    BYTE m_header[46] = {};
    DWORD m_dwData = 0;
    DWORD m_dwSizesDue = 0;
    DWORD m_dwSizesEvery = 0;
    BOOL m_bFailed = FALSE;
};
