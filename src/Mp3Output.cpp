#include "Mp3Output.h"
#include <algorithm>
#include <cstring>
#include <new>

BOOL CMp3Output::Open(std::shared_ptr<const CMp3Encoder> pEncoder, LPCSTR pszFileName, const WAVEFORMATEX& wfx,
                      BOOL bMono, DWORD dwStageSize, CString& strError)
{
    BE_CONFIG config;
    std::memset(&config, 0, sizeof(config));
    config.dwConfig = BE_CONFIG_LAME;
    BE_LAME_CONFIG& lame = config.format.LHV1;
    lame.dwStructVersion = 1;
    lame.dwStructSize = sizeof(BE_CONFIG);
    lame.dwSampleRate = wfx.nSamplesPerSec;
    lame.dwReSampleRate = 0;
    lame.nMode = bMono ? BE_MP3_MODE_MONO : BE_MP3_MODE_JSTEREO;
    lame.dwBitrate = 128;
    lame.nPreset = LQP_R3MIX;
    lame.dwMpegVersion = MPEG1;
    lame.bOriginal = TRUE;
    lame.bWriteVBRHeader = TRUE;
    lame.bNoRes = TRUE;

    const CMp3Encoder& encoder = *pEncoder;
    DWORD dwOutSize = 0;
    HBE_STREAM hStream = 0;
    BE_ERR err = encoder.m_ForMp3_Proc_hInitStream(&config, &m_ForMp3_dwSamples, &dwOutSize, &hStream);
    if (err != BE_ERR_SUCCESSFUL) {
        strError.Format("Error opening encoding stream (%lu)", err);
        return FALSE;
    }
    // Chunks of no samples would never empty the staging area.
    if (m_ForMp3_dwSamples == 0 || dwOutSize == 0) {
        encoder.m_ForMp3_Proc_hCloseStream(hStream);
        strError = "Error opening encoding stream (the encoder takes no samples)";
        return FALSE;
    }
    AudioServices().DeleteFileA(pszFileName);
    if (!m_ForMp3_file.Open(pszFileName, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS)) {
        encoder.m_ForMp3_Proc_hCloseStream(hStream);
        strError.Format("Error creating file %s", pszFileName);
        return FALSE;
    }
    // Room for more than one chunk, so that feeding always makes progress.
    m_ForMp3_dwStageSize = std::max<DWORD>(dwStageSize, 2 * m_ForMp3_dwSamples * sizeof(SHORT));
    m_ForMp3_pOutBuf.reset(new (std::nothrow) BYTE[dwOutSize]);
    m_ForMp3_pStage.reset(new (std::nothrow) BYTE[m_ForMp3_dwStageSize]);
    if (!m_ForMp3_pOutBuf || !m_ForMp3_pStage) {
        Drop();
        encoder.m_ForMp3_Proc_hCloseStream(hStream);
        strError = "Out of memory";
        return FALSE;
    }
    m_pEncoder = std::move(pEncoder);
    m_ForMp3_strFile = pszFileName;
    m_ForMp3_hbeStream = hStream;
    m_ForMp3_dwStageFill = 0;
    m_bWriteFailed = FALSE;
    return TRUE;
}

BOOL CMp3Output::Append(const BYTE* pData, DWORD cbData, CString& strError)
{
    const DWORD cbChunk = m_ForMp3_dwSamples * sizeof(SHORT);
    BOOL bWritten = TRUE;
    while (cbData > 0) {
        const DWORD cbCopied = std::min(cbData, m_ForMp3_dwStageSize - m_ForMp3_dwStageFill);
        std::memcpy(m_ForMp3_pStage.get() + m_ForMp3_dwStageFill, pData, cbCopied);
        m_ForMp3_dwStageFill += cbCopied;
        pData += cbCopied;
        cbData -= cbCopied;
        while (m_ForMp3_dwStageFill > cbChunk) {
            if (!EncodeChunk(m_ForMp3_pStage.get(), cbChunk, strError)) {
                if (!IsOpen())
                    return FALSE;
                bWritten = FALSE;
            }
            m_ForMp3_dwStageFill -= cbChunk;
            std::memmove(m_ForMp3_pStage.get(), m_ForMp3_pStage.get() + cbChunk, m_ForMp3_dwStageFill);
        }
    }
    return bWritten;
}

// FALSE when the stream failed (the output is then closed) or the write was short.
BOOL CMp3Output::EncodeChunk(const BYTE* pSamples, DWORD nBytes, CString& strError)
{
    DWORD cbOut = 0;
    BE_ERR err = m_pEncoder->m_ForMp3_Proc_hEncodeChunk(m_ForMp3_hbeStream, nBytes / 2,
                                                        reinterpret_cast<PSHORT>(const_cast<BYTE*>(pSamples)),
                                                        m_ForMp3_pOutBuf.get(), &cbOut);
    if (err != BE_ERR_SUCCESSFUL) {
        m_pEncoder->m_ForMp3_Proc_hCloseStream(m_ForMp3_hbeStream);
        Drop();
        strError.Format("m_ForMp3_Proc_hEncodeChunk() failed (%lu)", err);
        return FALSE;
    }
    return Write(cbOut, strError);
}

// Each chunk's bytes go to the file as they come: a short write is seen by the write that made it.
BOOL CMp3Output::Write(DWORD cbOut, CString& strError)
{
    if (cbOut == 0 || m_ForMp3_file.WriteAt(-1, m_ForMp3_pOutBuf.get(), cbOut))
        return TRUE;
    return WriteFailed(strError);
}

// Said once per file, not once per chunk.
BOOL CMp3Output::WriteFailed(CString& strError)
{
    if (!m_bWriteFailed)
        strError = "Output file write error";
    m_bWriteFailed = TRUE;
    return FALSE;
}

BOOL CMp3Output::Finish(CString& strError)
{
    if (!IsOpen())
        return TRUE;
    // The sound still staged belongs to the recording too.
    BOOL bWritten = TRUE;
    if (m_ForMp3_dwStageFill > 0 && !EncodeChunk(m_ForMp3_pStage.get(), m_ForMp3_dwStageFill, strError)) {
        if (!IsOpen())
            return FALSE;
        bWritten = FALSE;
    }
    const std::shared_ptr<const CMp3Encoder> pEncoder = m_pEncoder;
    const HBE_STREAM hStream = m_ForMp3_hbeStream;
    DWORD cbOut = 0;
    BE_ERR err = pEncoder->m_ForMp3_Proc_hDeinitStream(hStream, m_ForMp3_pOutBuf.get(), &cbOut);
    if (err != BE_ERR_SUCCESSFUL) {
        pEncoder->m_ForMp3_Proc_hCloseStream(hStream);
        Drop();
        strError.Format("beExitStream failed (%lu)", err);
        return FALSE;
    }
    bWritten = Write(cbOut, strError) && bWritten;
    pEncoder->m_ForMp3_Proc_hCloseStream(hStream);
    if (!m_ForMp3_file.Close())
        bWritten = WriteFailed(strError);
    Drop();
    return WriteTag(*pEncoder, hStream, strError) && bWritten;
}

// The tag goes into the closed file. Without it the file still plays: its first frame stays
// the empty one the encoder left for the tag.
BOOL CMp3Output::WriteTag(const CMp3Encoder& encoder, HBE_STREAM hStream, CString& strError)
{
    const BE_ERR err = encoder.m_ForMp3_Proc_hWriteInfoTag ? encoder.m_ForMp3_Proc_hWriteInfoTag(hStream, m_ForMp3_strFile)
                                                            : encoder.m_ForMp3_Proc_hWriteVBRHeader(m_ForMp3_strFile);
    if (err == BE_ERR_SUCCESSFUL)
        return TRUE;
    if (strError.IsEmpty())
        strError.Format("beWriteInfoTag failed (%lu)", err);
    return FALSE;
}

// Frees the buffers and closes the file with what was written; the stream is gone.
void CMp3Output::Drop()
{
    m_ForMp3_pOutBuf.reset();
    m_ForMp3_pStage.reset();
    m_ForMp3_file.Close();
    m_ForMp3_dwStageFill = 0;
    m_ForMp3_hbeStream = 0;
    m_pEncoder.reset();
}
