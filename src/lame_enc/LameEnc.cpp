// The library's entry points. Each checks its pointers and handles, so a wrong call gets an
// error code back; no exception leaves the library.
#include "lame_enc/LameEncInterface.h"
#include "lame_enc/StreamTable.h"
#include <lame/lame.h>
#include <cstring>
#include <new>

namespace {

const BYTE DLL_MAJOR_VERSION = 1;
const BYTE DLL_MINOR_VERSION = 0;
const BYTE RELEASE_DAY = 6;
const BYTE RELEASE_MONTH = 12;
const WORD RELEASE_YEAR = 2026;

// Streams are used from one thread at a time, as the BladeEnc-style interface has always been.
CStreamTable g_streams;

template <class Action>
BE_ERR Guarded(Action action)
{
    try {
        return action();
    } catch (const std::bad_alloc&) {
        return BE_ERR_NO_MORE_HANDLES;
    }
}

} // namespace

extern "C" BE_ERR beInitStream(PBE_CONFIG pbeConfig, PDWORD pdwSamples, PDWORD pdwBufferSize, PHBE_STREAM phbeStream)
{
    if (!pbeConfig || !pdwSamples || !pdwBufferSize || !phbeStream)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return Guarded([&] {
        std::unique_ptr<CEncoderStream> stream;
        BE_ERR err = CEncoderStream::Create(*pbeConfig, stream);
        if (err != BE_ERR_SUCCESSFUL)
            return err;
        const DWORD dwSamples = stream->SamplesPerChunk();
        const DWORD dwBufferSize = stream->OutputBufferSize();
        err = g_streams.Add(std::move(stream), phbeStream);
        if (err == BE_ERR_SUCCESSFUL) {
            *pdwSamples = dwSamples;
            *pdwBufferSize = dwBufferSize;
        }
        return err;
    });
}

extern "C" BE_ERR beEncodeChunk(HBE_STREAM hbeStream, DWORD nSamples, PSHORT pSamples, PBYTE pOutput, PDWORD pdwOutput)
{
    CEncoderStream* stream = g_streams.FindOpen(hbeStream);
    if (!stream)
        return BE_ERR_INVALID_HANDLE;
    if ((!pSamples && nSamples) || !pOutput || !pdwOutput)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return Guarded([&] { return stream->Encode(pSamples, nSamples, pOutput, pdwOutput); });
}

extern "C" BE_ERR beDeinitStream(HBE_STREAM hbeStream, PBYTE pOutput, PDWORD pdwOutput)
{
    CEncoderStream* stream = g_streams.FindOpen(hbeStream);
    if (!stream)
        return BE_ERR_INVALID_HANDLE;
    if (!pOutput || !pdwOutput)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return Guarded([&] { return stream->Flush(pOutput, pdwOutput); });
}

extern "C" BE_ERR beCloseStream(HBE_STREAM hbeStream)
{
    return g_streams.Close(hbeStream);
}

extern "C" VOID beVersion(PBE_VERSION pbeVersion)
{
    if (!pbeVersion)
        return;
    std::memset(pbeVersion, 0, sizeof(*pbeVersion));
    lame_version_t lame;
    get_lame_version_numerical(&lame);
    pbeVersion->byDLLMajorVersion = DLL_MAJOR_VERSION;
    pbeVersion->byDLLMinorVersion = DLL_MINOR_VERSION;
    pbeVersion->byMajorVersion = static_cast<BYTE>(lame.major);
    pbeVersion->byMinorVersion = static_cast<BYTE>(lame.minor);
    pbeVersion->byAlphaLevel = static_cast<BYTE>(lame.alpha);
    pbeVersion->byBetaLevel = static_cast<BYTE>(lame.beta);
    pbeVersion->byDay = RELEASE_DAY;
    pbeVersion->byMonth = RELEASE_MONTH;
    pbeVersion->wYear = RELEASE_YEAR;
    std::strncpy(pbeVersion->zHomepage, get_lame_url(), BE_MAX_HOMEPAGE);
}

extern "C" BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, LPCSTR lpszFileName)
{
    if (!lpszFileName)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    CEncoderStream* stream = g_streams.FindWithTag(hbeStream);
    if (!stream)
        return BE_ERR_INVALID_HANDLE;
    const BE_ERR err = stream->WriteTag(lpszFileName);
    if (err == BE_ERR_SUCCESSFUL)
        g_streams.ReleaseIfDone(hbeStream);
    return err;
}

// The name carries no stream: the tag is the one of the stream finished last.
extern "C" BE_ERR beWriteVBRHeader(LPCSTR lpszFileName)
{
    return beWriteInfoTag(g_streams.LatestWithPendingTag(), lpszFileName);
}
