// CAudioPlayRec's MP3 side: the encoder library, loaded with the first MP3 output of a
// recording and released at its end, and the outputs that use it.
#include "AudioPlayRec.h"
#include <cstring>

namespace {

// Through the generic function pointer type: the entry points' real types are known only here.
template <class Proc>
Proc Resolve(HMODULE hDll, const char* pszName)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(hDll, pszName)));
}

} // namespace

BOOL CAudioPlayRec::OpenMp3Output(int nChannel, LPCSTR pszFileName)
{
    if (m_wfx.wBitsPerSample == 8) {
        ShowMessage("Cannot record 8 bits mp3");
        return FALSE;
    }
    if (!LoadEncoder())
        return FALSE;
    CMp3Output& mp3 = m_mp3Output[nChannel];
    if (mp3.IsOpen())
        return TRUE;
    const BOOL bMono = m_wfx.nChannels == 1 || m_nChannelMode == CHANNEL_ALONE;
    CString strError;
    if (mp3.Open(m_ForMp3_procs, pszFileName, m_wfx, bMono, m_nBuffers * m_dwBufferSize, strError))
        return TRUE;
    ShowMessage(strError);
    return FALSE;
}

BOOL CAudioPlayRec::LoadEncoder()
{
    if (m_ForMp3_hDll)
        return TRUE;
    m_ForMp3_hDll.reset(LoadLibraryA("lame_enc.dll"));
    if (!m_ForMp3_hDll) {
        ShowMessage("Error loading lame_enc.DLL");
        return FALSE;
    }
    if (!ResolveEncoder()) {
        // Unloaded at once, so a later load cannot report success with entry points missing.
        ResetMp3State();
        ShowMessage("Unable to get LAME interfaces");
        return FALSE;
    }
    BE_VERSION version;
    std::memset(&version, 0, sizeof(version));
    m_ForMp3_procs.m_ForMp3_Proc_hVersion(&version);
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
    CMp3Procs& procs = m_ForMp3_procs;
    procs.m_ForMp3_Proc_hInitStream = Resolve<BEINITSTREAM>(hDll, "beInitStream");
    procs.m_ForMp3_Proc_hEncodeChunk = Resolve<BEENCODECHUNK>(hDll, "beEncodeChunk");
    procs.m_ForMp3_Proc_hDeinitStream = Resolve<BEDEINITSTREAM>(hDll, "beDeinitStream");
    procs.m_ForMp3_Proc_hCloseStream = Resolve<BECLOSESTREAM>(hDll, "beCloseStream");
    procs.m_ForMp3_Proc_hVersion = Resolve<BEVERSION>(hDll, "beVersion");
    procs.m_ForMp3_Proc_hWriteVBRHeader = Resolve<BEWRITEVBRHEADER>(hDll, "beWriteVBRHeader");
    procs.m_ForMp3_Proc_hWriteInfoTag = Resolve<BEWRITEINFOTAG>(hDll, "beWriteInfoTag");
    return procs.m_ForMp3_Proc_hInitStream && procs.m_ForMp3_Proc_hEncodeChunk &&
           procs.m_ForMp3_Proc_hDeinitStream && procs.m_ForMp3_Proc_hCloseStream && procs.m_ForMp3_Proc_hVersion &&
           procs.m_ForMp3_Proc_hWriteVBRHeader;
}

// Releases the library; an output still open is finished first, as its stream lives there.
void CAudioPlayRec::ResetMp3State()
{
    if (m_ForMp3_hDll) {
        for (int nChannel = 0; nChannel < 2; ++nChannel)
            FinishOutput(m_mp3Output[nChannel]);
    }
    m_ForMp3_hDll.reset();
    m_ForMp3_procs = CMp3Procs{};
}
