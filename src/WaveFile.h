// CWaveWriter, CWaveReader: interim, on mmio; replaced by the unit of the WAV file.
#pragma once
#include "WaveOutput.h"
#include <mmsystem.h>

using CWaveWriter = CWaveOutput;

class CWaveReader {
public:
    ~CWaveReader() { Close(); }
    BOOL Open(LPCSTR pszFileName, CString& strError);
    BOOL IsOpen() const { return m_hmmio != nullptr; }
    const WAVEFORMATEX& GetFormat() const { return m_wfx; }
    BOOL Read(BYTE* pBuffer, DWORD* pcb);
    void Close();

private:
    BOOL ReadWaveFormat();
    DWORD FileBytesLeft();
    HMMIO m_hmmio = nullptr;
    MMCKINFO m_ckRiff{};
    MMCKINFO m_ckSub{};
    DWORD m_dwWaveData = 0;
    WAVEFORMATEX m_wfx{};
};
