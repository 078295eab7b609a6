// CMp3Output: one MP3 file being recorded through an encoder stream of lame_enc.dll, with the
// staging area that hands the encoder whole chunks. It holds the library it was opened with, so
// the stream's code stays loaded until the output is finished.
#pragma once
#include "FileHandle.h"
#include "Mp3Encoder.h"
#include "Output.h"
#include <memory>

class CMp3Output : public COutput {
public:
    CMp3Output() = default;
    ~CMp3Output() override { Drop(); }
    CMp3Output(const CMp3Output&) = delete;
    CMp3Output& operator=(const CMp3Output&) = delete;

    // Every call below that fails sets strError to the text the user is to see, or leaves it
    // empty when that was already said for this file. Open fails for an encoder that asks for
    // no samples per chunk.
    BOOL Open(std::shared_ptr<const CMp3Encoder> pEncoder, LPCSTR pszFileName, const WAVEFORMATEX& wfx, BOOL bMono,
              DWORD dwStageSize, CString& strError);
    BOOL IsOpen() const override { return m_ForMp3_file.IsOpen(); }
    // Encodes whole chunks and keeps at most one waiting. An encoding error closes the output.
    BOOL Append(const BYTE* pData, DWORD cbData, CString& strError) override;
    // Encodes what is staged, flushes the encoder, closes the file and writes its tag.
    BOOL Finish(CString& strError) override;

private:
    BOOL EncodeChunk(const BYTE* pSamples, DWORD nBytes, CString& strError);
    BOOL Write(DWORD cbOut, CString& strError);
    BOOL WriteFailed(CString& strError);
    BOOL WriteTag(const CMp3Encoder& encoder, HBE_STREAM hStream, CString& strError);
    void Drop();

    std::shared_ptr<const CMp3Encoder> m_pEncoder;
    std::unique_ptr<BYTE[]> m_ForMp3_pOutBuf;
    std::unique_ptr<BYTE[]> m_ForMp3_pStage;
    CFileHandle m_ForMp3_file;
    CString m_ForMp3_strFile;
    DWORD m_ForMp3_dwStageFill = 0;
    DWORD m_ForMp3_dwStageSize = 0;
    DWORD m_ForMp3_dwSamples = 0;
    HBE_STREAM m_ForMp3_hbeStream = 0;
    BOOL m_bWriteFailed = FALSE;
};
