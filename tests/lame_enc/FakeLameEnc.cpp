// A stand-in lame_enc.dll for the engine's tests, built in several variants. Its "MP3" output
// is the PCM it was given, so a test can compare the file with what was recorded; every call
// is appended to "calls.log" in the current folder. Variants (compile definitions):
// FAKE_WITHOUT_INFOTAG omits beWriteInfoTag, FAKE_WITHOUT_DEINIT omits beDeinitStream,
// FAKE_ENCODE_FAILS fails every beEncodeChunk after the first, FAKE_DEINIT_FAILS fails
// beDeinitStream.
#include "lame_enc/LameEncInterface.h"
#include <cstdio>
#include <cstring>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

const BYTE kEndMark[] = {'E', 'N', 'D', '!'};
DWORD g_nStreams = 0;
DWORD g_nEncodes = 0;

void Log(const char* format, unsigned long a = 0, unsigned long b = 0)
{
    if (FILE* f = std::fopen("calls.log", "ab")) {
        std::fprintf(f, format, a, b);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

void LogName(const char* call, unsigned long hStream, const char* name)
{
    if (FILE* f = std::fopen("calls.log", "ab")) {
        std::fprintf(f, "%s %lu %s\n", call, hStream, name);
        std::fclose(f);
    }
}

} // namespace

FAKE_EXPORT BE_ERR beInitStream(PBE_CONFIG pbeConfig, PDWORD pdwSamples, PDWORD pdwBufferSize, PHBE_STREAM phbeStream)
{
    const BE_LAME_CONFIG& lame = pbeConfig->format.LHV1;
    if (pbeConfig->dwConfig != BE_CONFIG_LAME || lame.dwStructSize != sizeof(BE_CONFIG))
        return BE_ERR_INVALID_FORMAT;
    const DWORD nChannels = lame.nMode == BE_MP3_MODE_MONO ? 1 : 2;
    *pdwSamples = 576 * nChannels;
    *pdwBufferSize = *pdwSamples * sizeof(SHORT);
    *phbeStream = ++g_nStreams;
    Log("beInitStream %lu mode=%lu", *phbeStream, lame.nMode);
    return BE_ERR_SUCCESSFUL;
}

FAKE_EXPORT BE_ERR beEncodeChunk(HBE_STREAM hbeStream, DWORD nSamples, PSHORT pSamples, PBYTE pOutput, PDWORD pdwOutput)
{
    Log("beEncodeChunk %lu %lu", hbeStream, nSamples);
#ifdef FAKE_ENCODE_FAILS
    if (++g_nEncodes > 1)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
#else
    ++g_nEncodes;
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
    std::memcpy(pOutput, kEndMark, sizeof(kEndMark));
    *pdwOutput = sizeof(kEndMark);
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
    std::memset(pbeVersion, 0, sizeof(*pbeVersion));
    pbeVersion->byDLLMajorVersion = 9;
    pbeVersion->byDLLMinorVersion = 8;
    pbeVersion->byMajorVersion = 7;
    pbeVersion->byMinorVersion = 6;
    pbeVersion->byDay = 5;
    pbeVersion->byMonth = 4;
    pbeVersion->wYear = 2003;
    std::strcpy(pbeVersion->zHomepage, "http://fake.example");
}

FAKE_EXPORT BE_ERR beWriteVBRHeader(LPCSTR lpszFileName)
{
    LogName("beWriteVBRHeader", 0, lpszFileName);
    return BE_ERR_SUCCESSFUL;
}

#ifndef FAKE_WITHOUT_INFOTAG
FAKE_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, LPCSTR lpszFileName)
{
    LogName("beWriteInfoTag", hbeStream, lpszFileName);
    return BE_ERR_SUCCESSFUL;
}
#endif
