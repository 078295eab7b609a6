// CAudioPlayRec's MP3 output: the encoder library, one encoder stream and file per output
// channel, and the staging area that hands the encoder whole chunks.
#include "AudioPlayRec.h"
#include <algorithm>
#include <cstring>
#include <new>

namespace {

template <class Proc>
Proc Resolve(HMODULE hDll, const char* pszName)
{
    return reinterpret_cast<Proc>(GetProcAddress(hDll, pszName));
}

} // namespace

BOOL CAudioPlayRec::OpenMp3Output(int nChannel, const CString& strName)
{
    if (m_wfx.wBitsPerSample == 8) {
        AfxMessageBox("Cannot record 8 bits mp3");
        return FALSE;
    }
    return LoadEncoder() && OpenMp3Stream(strName, nChannel);
}

BOOL CAudioPlayRec::LoadEncoder()
{
    if (m_ForMp3_hDll)
        return TRUE;
    m_ForMp3_hDll.reset(LoadLibraryA("lame_enc.dll"));
    if (!m_ForMp3_hDll) {
        AfxMessageBox("Error loading lame_enc.DLL");
        return FALSE;
    }
    if (!ResolveEncoder()) {
        // Unloaded at once, so a later load cannot report success with entry points missing.
        UnloadEncoder();
        AfxMessageBox("Unable to get LAME interfaces");
        return FALSE;
    }
    BE_VERSION version;
    std::memset(&version, 0, sizeof(version));
    m_ForMp3_Proc_hVersion(&version);
    version.zHomepage[BE_MAX_HOMEPAGE] = '\0';
    TRACE("lame_enc.dll version %u.%02u (%u/%u/%u)\nlame_enc Engine %u.%02u\nlame_enc homepage at %s\n\n",
          version.byDLLMajorVersion, version.byDLLMinorVersion, version.byDay, version.byMonth, version.wYear,
          version.byMajorVersion, version.byMinorVersion, version.zHomepage);
    return TRUE;
}

// All but beWriteInfoTag are required.
BOOL CAudioPlayRec::ResolveEncoder()
{
    HMODULE hDll = m_ForMp3_hDll.get();
    m_ForMp3_Proc_hInitStream = Resolve<BEINITSTREAM>(hDll, "beInitStream");
    m_ForMp3_Proc_hEncodeChunk = Resolve<BEENCODECHUNK>(hDll, "beEncodeChunk");
    m_ForMp3_Proc_hDeinitStream = Resolve<BEDEINITSTREAM>(hDll, "beDeinitStream");
    m_ForMp3_Proc_hCloseStream = Resolve<BECLOSESTREAM>(hDll, "beCloseStream");
    m_ForMp3_Proc_hVersion = Resolve<BEVERSION>(hDll, "beVersion");
    m_ForMp3_Proc_hWriteVBRHeader = Resolve<BEWRITEVBRHEADER>(hDll, "beWriteVBRHeader");
    m_ForMp3_Proc_hWriteInfoTag = Resolve<BEWRITEINFOTAG>(hDll, "beWriteInfoTag");
    return m_ForMp3_Proc_hInitStream && m_ForMp3_Proc_hEncodeChunk && m_ForMp3_Proc_hDeinitStream &&
           m_ForMp3_Proc_hCloseStream && m_ForMp3_Proc_hVersion && m_ForMp3_Proc_hWriteVBRHeader;
}

BOOL CAudioPlayRec::OpenMp3Stream(LPCSTR pszFileName, int nChannel)
{
    if (!m_ForMp3_hDll)
        return FALSE;
    if (IsMp3Open(nChannel))
        return TRUE;
    m_ForMp3_strFile[nChannel] = pszFileName;

    BE_CONFIG config;
    std::memset(&config, 0, sizeof(config));
    config.dwConfig = BE_CONFIG_LAME;
    BE_LAME_CONFIG& lame = config.format.LHV1;
    lame.dwStructVersion = 1;
    lame.dwStructSize = sizeof(BE_CONFIG);
    lame.dwSampleRate = m_wfx.nSamplesPerSec;
    lame.dwReSampleRate = 0;
    lame.nMode = m_wfx.nChannels == 1 || m_nChannelMode == CHANNEL_ALONE ? BE_MP3_MODE_MONO : BE_MP3_MODE_JSTEREO;
    lame.dwBitrate = 128;
    lame.nPreset = LQP_R3MIX;
    lame.dwMpegVersion = MPEG1;
    lame.bOriginal = TRUE;
    lame.bWriteVBRHeader = TRUE;
    lame.bNoRes = TRUE;

    DWORD dwOutSize = 0;
    HBE_STREAM hStream = 0;
    BE_ERR err = m_ForMp3_Proc_hInitStream(&config, &m_ForMp3_dwSamples, &dwOutSize, &hStream);
    // The staging area holds at least one chunk plus a whole captured block, so a block that
    // arrives with a chunk still waiting always fits.
    const DWORD cbChunk = m_ForMp3_dwSamples * sizeof(SHORT);
    m_ForMp3_dwStageSize = std::max<DWORD>(m_nBuffers * m_dwBufferSize, cbChunk + m_dwBufferSize);
    if (err != BE_ERR_SUCCESSFUL) {
        CString strMessage;
        strMessage.Format("Error opening encoding stream (%lu)", err);
        AfxMessageBox(strMessage);
        return FALSE;
    }

    DeleteFileA(pszFileName);
    std::unique_ptr<FILE, CFileCloser> file(std::fopen(pszFileName, "wb+"));
    if (!file) {
        m_ForMp3_Proc_hCloseStream(hStream);
        CString strMessage;
        strMessage.Format("Error creating file %s", pszFileName);
        AfxMessageBox(strMessage);
        return FALSE;
    }
    m_ForMp3_pOutBuf[nChannel].reset(new (std::nothrow) BYTE[dwOutSize]);
    m_ForMp3_pStage[nChannel].reset(new (std::nothrow) BYTE[m_ForMp3_dwStageSize]);
    if (!m_ForMp3_pOutBuf[nChannel] || !m_ForMp3_pStage[nChannel]) {
        m_ForMp3_pOutBuf[nChannel].reset();
        m_ForMp3_pStage[nChannel].reset();
        m_ForMp3_Proc_hCloseStream(hStream);
        AfxMessageBox("Out of memory");
        return FALSE;
    }
    m_ForMp3_pFile[nChannel] = std::move(file);
    m_ForMp3_hbeStream[nChannel] = hStream;
    m_ForMp3_dwStageFill[nChannel] = 0;
    m_ForMp3_bWriteFailed[nChannel] = FALSE;
    return TRUE;
}

void CAudioPlayRec::FeedMp3Outputs(const WAVEHDR* pHeader, DWORD cbPerChannel)
{
    if (!m_ForMp3_hDll)
        return;
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        if (!IsMp3Open(nChannel))
            continue;
        if (m_nChannelMode == CHANNEL_ALONE)
            FeedMp3(nChannel, nChannel == 0 ? m_pLeft.get() : m_pRight.get(), cbPerChannel);
        else
            FeedMp3(nChannel, reinterpret_cast<const BYTE*>(pHeader->lpData),
                    std::min(pHeader->dwBytesRecorded, pHeader->dwBufferLength));
    }
}

// Encodes whole chunks and keeps at most one waiting; the last, shorter one is encoded when
// the stream is closed.
void CAudioPlayRec::FeedMp3(int nChannel, const BYTE* pData, DWORD cbData)
{
    BYTE* pStage = m_ForMp3_pStage[nChannel].get();
    DWORD& dwFill = m_ForMp3_dwStageFill[nChannel];
    const DWORD cbChunk = m_ForMp3_dwSamples * sizeof(SHORT);
    DWORD cbCopied = std::min(cbData, m_ForMp3_dwStageSize - dwFill);
    std::memcpy(pStage + dwFill, pData, cbCopied);
    dwFill += cbCopied;
    while (dwFill > cbChunk) {
        // A short write loses the chunk's bytes; an encoding error closes the output.
        if (!EncodeChunk(pStage, cbChunk, nChannel) && !IsMp3Open(nChannel))
            return;
        std::memmove(pStage, pStage + cbChunk, dwFill - cbChunk);
        dwFill -= cbChunk;
    }
    const DWORD cbRest = std::min(cbData - cbCopied, m_ForMp3_dwStageSize - dwFill);
    std::memcpy(pStage + dwFill, pData + cbCopied, cbRest);
    dwFill += cbRest;
}

// FALSE when the stream failed (the channel's output is then closed) or the write was short.
BOOL CAudioPlayRec::EncodeChunk(BYTE* pSamples, DWORD nBytes, int nChannel)
{
    DWORD cbOut = 0;
    BE_ERR err = m_ForMp3_Proc_hEncodeChunk(m_ForMp3_hbeStream[nChannel], nBytes / 2,
                                            reinterpret_cast<PSHORT>(pSamples), m_ForMp3_pOutBuf[nChannel].get(),
                                            &cbOut);
    if (err != BE_ERR_SUCCESSFUL) {
        m_ForMp3_Proc_hCloseStream(m_ForMp3_hbeStream[nChannel]);
        DropMp3Output(nChannel);
        CString strMessage;
        strMessage.Format("m_ForMp3_Proc_hEncodeChunk() failed (%lu)", err);
        AfxMessageBox(strMessage);
        return FALSE;
    }
    return WriteMp3(nChannel, cbOut);
}

BOOL CAudioPlayRec::WriteMp3(int nChannel, DWORD cbOut)
{
    if (cbOut == 0 || std::fwrite(m_ForMp3_pOutBuf[nChannel].get(), 1, cbOut, m_ForMp3_pFile[nChannel].get()) == cbOut)
        return TRUE;
    if (!m_ForMp3_bWriteFailed[nChannel]) {
        m_ForMp3_bWriteFailed[nChannel] = TRUE;
        AfxMessageBox("Output file write error");
    }
    return FALSE;
}

void CAudioPlayRec::CloseMp3Stream(int nChannel)
{
    if (!IsMp3Open(nChannel) || !m_ForMp3_Proc_hDeinitStream)
        return;
    // The sound still staged belongs to the recording too.
    if (m_ForMp3_dwStageFill[nChannel] > 0 &&
        !EncodeChunk(m_ForMp3_pStage[nChannel].get(), m_ForMp3_dwStageFill[nChannel], nChannel) &&
        !IsMp3Open(nChannel))
        return;
    m_ForMp3_dwStageFill[nChannel] = 0;

    const HBE_STREAM hStream = m_ForMp3_hbeStream[nChannel];
    DWORD cbOut = 0;
    BE_ERR err = m_ForMp3_Proc_hDeinitStream(hStream, m_ForMp3_pOutBuf[nChannel].get(), &cbOut);
    if (err != BE_ERR_SUCCESSFUL) {
        m_ForMp3_Proc_hCloseStream(hStream);
        DropMp3Output(nChannel);
        CString strMessage;
        strMessage.Format("beExitStream failed (%lu)", err);
        AfxMessageBox(strMessage);
        return;
    }
    WriteMp3(nChannel, cbOut);
    m_ForMp3_Proc_hCloseStream(hStream);
    DropMp3Output(nChannel);
    // The tag goes into the closed file.
    if (m_ForMp3_Proc_hWriteInfoTag)
        m_ForMp3_Proc_hWriteInfoTag(hStream, m_ForMp3_strFile[nChannel]);
    else
        m_ForMp3_Proc_hWriteVBRHeader(m_ForMp3_strFile[nChannel]);
}

// Frees the channel's buffers and closes its file with what was written; its stream is gone.
void CAudioPlayRec::DropMp3Output(int nChannel)
{
    m_ForMp3_pOutBuf[nChannel].reset();
    m_ForMp3_pStage[nChannel].reset();
    m_ForMp3_pFile[nChannel].reset();
    m_ForMp3_dwStageFill[nChannel] = 0;
    m_ForMp3_hbeStream[nChannel] = 0;
}

void CAudioPlayRec::UnloadEncoder()
{
    m_ForMp3_hDll.reset();
    ResetMp3State();
}

// Run when no stream is open: before a recording and after the library is gone.
void CAudioPlayRec::ResetMp3State()
{
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        DropMp3Output(nChannel);
        m_ForMp3_strFile[nChannel].Empty();
        m_ForMp3_bWriteFailed[nChannel] = FALSE;
    }
    m_ForMp3_hDll.reset();
    m_ForMp3_dwStageSize = 0;
    m_ForMp3_Proc_hInitStream = nullptr;
    m_ForMp3_Proc_hEncodeChunk = nullptr;
    m_ForMp3_Proc_hDeinitStream = nullptr;
    m_ForMp3_Proc_hCloseStream = nullptr;
    m_ForMp3_Proc_hVersion = nullptr;
    m_ForMp3_Proc_hWriteVBRHeader = nullptr;
    m_ForMp3_Proc_hWriteInfoTag = nullptr;
    m_ForMp3_dwSamples = 0;
}
