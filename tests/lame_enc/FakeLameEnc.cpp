// A stand-in lame_enc.dll for the engine's tests, built in several variants. Its "MP3" output
// is the PCM it was given and a flush gives "END!", so a test can compare the file with what
// was recorded; every call is appended to "calls.log" in the current folder. Variants:
// FAKE_WITHOUT_INFOTAG and FAKE_WITHOUT_DEINIT omit that entry point, FAKE_ENCODE_FAILS fails
// every beEncodeChunk after the first, FAKE_DEINIT_FAILS fails beDeinitStream.
#include "lame_enc/LameEncInterface.h"
#include <cstdarg>
#include <cstdio>
#include <cstring>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

DWORD g_nStreams = 0;
DWORD g_nEncodes = 0;

void Log(const char* format, ...)
{
    if (FILE* f = std::fopen("calls.log", "ab")) {
        va_list args;
        va_start(args, format);
        std::vfprintf(f, format, args);
        va_end(args);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

} // namespace

FAKE_EXPORT BE_ERR beInitStream(PBE_CONFIG pbeConfig, PDWORD pdwSamples, PDWORD pdwBufferSize, PHBE_STREAM phbeStream)
{
    const BE_LAME_CONFIG& lame = pbeConfig->format.LHV1;
    if (pbeConfig->dwConfig != BE_CONFIG_LAME || lame.dwStructSize != sizeof(BE_CONFIG))
        return BE_ERR_INVALID_FORMAT;
    *pdwSamples = lame.nMode == BE_MP3_MODE_MONO ? 576 : 1152;
    *pdwBufferSize = *pdwSamples * sizeof(SHORT);
    *phbeStream = ++g_nStreams;
    Log("beInitStream %lu mode=%ld", *phbeStream, lame.nMode);
    return BE_ERR_SUCCESSFUL;
}

FAKE_EXPORT BE_ERR beEncodeChunk(HBE_STREAM hbeStream, DWORD nSamples, PSHORT pSamples, PBYTE pOutput, PDWORD pdwOutput)
{
    Log("beEncodeChunk %lu %lu", hbeStream, nSamples);
#ifdef FAKE_ENCODE_FAILS
    if (++g_nEncodes > 1)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
#endif
    std::memcpy(pOutput, pSamples, nSamples * sizeof(SHORT));
    *pdwOutput = nSamples * sizeof(SHORT);
    return BE_ERR_SUCCESSFUL;
}

#ifndef FAKE_WITHOUT_DEINIT
FAKE_EXPORT BE_ERR beDeinitStream(HBE_STREAM hbeStream, PBYTE pOutput, PDWORD pdwOutput)
{
    Log("beDeinitStream %lu", hbeStream);
#ifdef FAKE_DEINIT_FAILS
    return BE_ERR_BUFFER_TOO_SMALL;
#endif
    *pdwOutput = 4;
    std::memcpy(pOutput, "END!", *pdwOutput);
    return BE_ERR_SUCCESSFUL;
}
#endif

FAKE_EXPORT BE_ERR beCloseStream(HBE_STREAM hbeStream)
{
    Log("beCloseStream %lu", hbeStream);
    return BE_ERR_SUCCESSFUL;
}

FAKE_EXPORT VOID beVersion(PBE_VERSION pbeVersion)
{
    *pbeVersion = {9, 8, 7, 6, 5, 4, 2003, "http://fake.example"};
}

FAKE_EXPORT BE_ERR beWriteVBRHeader(LPCSTR lpszFileName)
{
    Log("beWriteVBRHeader 0 %s", lpszFileName);
    return BE_ERR_SUCCESSFUL;
}

#ifndef FAKE_WITHOUT_INFOTAG
FAKE_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, LPCSTR lpszFileName)
{
    Log("beWriteInfoTag %lu %s", hbeStream, lpszFileName);
    return BE_ERR_SUCCESSFUL;
}
#endif
