#include "Mp3Encoder.h"
#include <cstring>

namespace {

// Through the generic function pointer type: the entry points' real types are known only here.
template <class Proc>
void ResolveProc(HMODULE hDll, const char* pszName, Proc* pProc)
{
    *pProc = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(hDll, pszName)));
}

} // namespace

std::shared_ptr<const CMp3Encoder> CMp3Encoder::Load(CString& strError)
{
    HMODULE hDll = LoadLibraryA("lame_enc.dll");
    if (!hDll) {
        strError = "Error loading lame_enc.DLL";
        return nullptr;
    }
    std::shared_ptr<CMp3Encoder> pEncoder(new CMp3Encoder(hDll));
    if (!pEncoder->Resolve()) {
        strError = "Unable to get LAME interfaces";
        return nullptr;
    }
    pEncoder->TraceVersion();
    return pEncoder;
}

CMp3Encoder::~CMp3Encoder()
{
    FreeLibrary(m_ForMp3_hDll);
}

// All but beWriteInfoTag are required.
BOOL CMp3Encoder::Resolve()
{
    ResolveProc(m_ForMp3_hDll, "beInitStream", &m_ForMp3_Proc_hInitStream);
    ResolveProc(m_ForMp3_hDll, "beEncodeChunk", &m_ForMp3_Proc_hEncodeChunk);
    ResolveProc(m_ForMp3_hDll, "beDeinitStream", &m_ForMp3_Proc_hDeinitStream);
    ResolveProc(m_ForMp3_hDll, "beCloseStream", &m_ForMp3_Proc_hCloseStream);
    ResolveProc(m_ForMp3_hDll, "beVersion", &m_ForMp3_Proc_hVersion);
    ResolveProc(m_ForMp3_hDll, "beWriteVBRHeader", &m_ForMp3_Proc_hWriteVBRHeader);
    ResolveProc(m_ForMp3_hDll, "beWriteInfoTag", &m_ForMp3_Proc_hWriteInfoTag);
    return m_ForMp3_Proc_hInitStream && m_ForMp3_Proc_hEncodeChunk && m_ForMp3_Proc_hDeinitStream &&
           m_ForMp3_Proc_hCloseStream && m_ForMp3_Proc_hVersion && m_ForMp3_Proc_hWriteVBRHeader;
}

void CMp3Encoder::TraceVersion() const
{
    BE_VERSION version;
    std::memset(&version, 0, sizeof(version));
    m_ForMp3_Proc_hVersion(&version);
    version.zHomepage[BE_MAX_HOMEPAGE] = '\0';
    TRACE("lame_enc.dll version %u.%02u (%u/%u/%u)\nlame_enc Engine %u.%02u\nlame_enc homepage at %s\n\n",
          version.byDLLMajorVersion, version.byDLLMinorVersion, version.byDay, version.byMonth, version.wYear,
          version.byMajorVersion, version.byMinorVersion, version.zHomepage);
}
