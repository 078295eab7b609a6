// CMp3Output: one MP3 file being recorded through an encoder stream of lame_enc.dll, with the
// staging area that hands the encoder whole chunks. CMp3Procs: the library's entry points,
// resolved once per recording and shared by the outputs of both channels.
#pragma once
#include "Output.h"
#include "lame_enc/LameEncInterface.h"
#include <cstdio>
#include <memory>

struct CMp3Procs {
    BEINITSTREAM m_ForMp3_Proc_hInitStream = nullptr;
    BEENCODECHUNK m_ForMp3_Proc_hEncodeChunk = nullptr;
    BEDEINITSTREAM m_ForMp3_Proc_hDeinitStream = nullptr;
    BECLOSESTREAM m_ForMp3_Proc_hCloseStream = nullptr;
    BEVERSION m_ForMp3_Proc_hVersion = nullptr;
    BEWRITEVBRHEADER m_ForMp3_Proc_hWriteVBRHeader = nullptr;
    // Optional: without it the file is finished with the VBR header.
    BEWRITEINFOTAG m_ForMp3_Proc_hWriteInfoTag = nullptr;
};

class CMp3Output : public COutput {
public:
    CMp3Output() = default;
    ~CMp3Output() override { Drop(); }
    CMp3Output(const CMp3Output&) = delete;
    CMp3Output& operator=(const CMp3Output&) = delete;

    // Every call below that fails sets strError to the text the user is to see, or leaves it
    // empty when that was already said for this file. Open fails for an encoder that asks for
    // no samples per chunk.
    BOOL Open(const CMp3Procs& procs, LPCSTR pszFileName, const WAVEFORMATEX& wfx, BOOL bMono, DWORD dwStageSize,
              CString& strError);
    BOOL IsOpen() const override { return m_ForMp3_pFile != nullptr; }
    // Encodes whole chunks and keeps at most one waiting. An encoding error closes the output.
    BOOL Append(const BYTE* pData, DWORD cbData, CString& strError) override;
    // Encodes what is staged, flushes the encoder, closes the file and writes its tag.
    BOOL Finish(CString& strError) override;

private:
    BOOL EncodeChunk(const BYTE* pSamples, DWORD nBytes, CString& strError);
    BOOL Write(DWORD cbOut, CString& strError);
    BOOL WriteFailed(CString& strError);
    BOOL WriteTag(HBE_STREAM hStream, CString& strError);
    void Drop();

    struct CFileCloser {
        void operator()(FILE* pFile) const { std::fclose(pFile); }
    };

    const CMp3Procs* m_pProcs = nullptr;
    std::unique_ptr<BYTE[]> m_ForMp3_pOutBuf;
    std::unique_ptr<BYTE[]> m_ForMp3_pStage;
    std::unique_ptr<FILE, CFileCloser> m_ForMp3_pFile;
    CString m_ForMp3_strFile;
    DWORD m_ForMp3_dwStageFill = 0;
    DWORD m_ForMp3_dwStageSize = 0;
    DWORD m_ForMp3_dwSamples = 0;
    HBE_STREAM m_ForMp3_hbeStream = 0;
    BOOL m_bWriteFailed = FALSE;
};
