// CMp3Encoder: the encoder library lame_enc.dll, loaded and its entry points resolved; it is
// released when the last holder lets it go: the recording that loaded it and every MP3 output
// whose stream lives in it.
#pragma once
#include "framework/Afx.h"
#include "lame_enc/LameEncInterface.h"
#include <memory>

class CMp3Encoder {
public:
    // The library with every required entry point, or null with strError set.
    static std::shared_ptr<const CMp3Encoder> Load(CString& strError);
    ~CMp3Encoder();
    CMp3Encoder(const CMp3Encoder&) = delete;
    CMp3Encoder& operator=(const CMp3Encoder&) = delete;

    BEINITSTREAM m_ForMp3_Proc_hInitStream = nullptr;
    BEENCODECHUNK m_ForMp3_Proc_hEncodeChunk = nullptr;
    BEDEINITSTREAM m_ForMp3_Proc_hDeinitStream = nullptr;
    BECLOSESTREAM m_ForMp3_Proc_hCloseStream = nullptr;
    BEVERSION m_ForMp3_Proc_hVersion = nullptr;
    BEWRITEVBRHEADER m_ForMp3_Proc_hWriteVBRHeader = nullptr;
    // Optional: without it a file is finished with the VBR header.
    BEWRITEINFOTAG m_ForMp3_Proc_hWriteInfoTag = nullptr;

private:
    explicit CMp3Encoder(HMODULE hDll) : m_ForMp3_hDll(hDll) {}
    BOOL Resolve();
    void TraceVersion() const;

    HMODULE m_ForMp3_hDll;
};
