// The encoder library's BladeEnc-style interface, shared by lame_enc.dll and the engine that
// loads it: the configuration and version records, stream handles, results and entry points.
#pragma once
#include <windows.h>
#include <cstddef>

#define BE_CONFIG_LAME 256

#define BE_ERR_SUCCESSFUL                0x00000000
#define BE_ERR_INVALID_FORMAT            0x00000001
#define BE_ERR_INVALID_FORMAT_PARAMETERS 0x00000002
#define BE_ERR_NO_MORE_HANDLES           0x00000003
#define BE_ERR_INVALID_HANDLE            0x00000004
#define BE_ERR_BUFFER_TOO_SMALL          0x00000005

#define BE_MP3_MODE_STEREO      0
#define BE_MP3_MODE_JSTEREO     1
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO        3

#define MPEG2 0
#define MPEG1 1

#define LQP_NOPRESET -1
#define LQP_R3MIX     4

#define BE_MAX_HOMEPAGE 128

typedef unsigned long BE_ERR;
// A stream's number inside the library; 0 is never a valid stream.
typedef DWORD HBE_STREAM;
typedef HBE_STREAM* PHBE_STREAM;

#pragma pack(push, 1)

// The LAME part of the configuration. nQuality holds a LAME quality 0 (best) to 9 (fastest)
// in its low byte when its high byte is the complement of the low byte; any other value asks
// for the library's default quality.
typedef struct {
    DWORD dwStructVersion;
    DWORD dwStructSize;
    DWORD dwSampleRate;
    DWORD dwReSampleRate; // 0: the output keeps the input's rate
    LONG nMode;
    DWORD dwBitrate;      // kbit/s
    DWORD dwMaxBitrate;
    LONG nPreset;
    DWORD dwMpegVersion;
    DWORD dwPsyModel;
    DWORD dwEmphasis;
    BOOL bPrivate;
    BOOL bCRC;
    BOOL bCopyright;
    BOOL bOriginal;
    BOOL bWriteVBRHeader; // reserve the first frame for the Xing/Info tag
    BOOL bEnableVBR;
    INT nVBRQuality;
    DWORD dwVbrAbr_bps;
    INT nVbrMethod;
    BOOL bNoRes;
    BOOL bStrictIso;
    WORD nQuality;
    BYTE btReserved[255 - 4 * sizeof(DWORD) - sizeof(WORD)];
} BE_LAME_CONFIG;

typedef struct {
    DWORD dwConfig; // BE_CONFIG_LAME
    union {
        BE_LAME_CONFIG LHV1;
    } format;
} BE_CONFIG, *PBE_CONFIG;

typedef struct {
    BYTE byDLLMajorVersion;
    BYTE byDLLMinorVersion;
    BYTE byMajorVersion; // the LAME engine's
    BYTE byMinorVersion;
    BYTE byDay;          // release date of the library
    BYTE byMonth;
    WORD wYear;
    CHAR zHomepage[BE_MAX_HOMEPAGE + 1];
    BYTE byAlphaLevel;
    BYTE byBetaLevel;
    BYTE byMMXEnabled;
    BYTE btReserved[125];
} BE_VERSION, *PBE_VERSION;

#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG is a fixed 331-byte record");
static_assert(offsetof(BE_CONFIG, format.LHV1.dwSampleRate) == 12, "BE_CONFIG layout");
static_assert(offsetof(BE_CONFIG, format.LHV1.nQuality) == 92, "BE_CONFIG layout");
static_assert(sizeof(BE_VERSION) == 265, "BE_VERSION is a fixed 265-byte record");
static_assert(offsetof(BE_VERSION, zHomepage) == 8, "BE_VERSION layout");

// Entry points, by the types the engine resolves them to. Samples are 16-bit, interleaved
// left/right for two channels; counts of samples count every channel's sample.
typedef BE_ERR (*BEINITSTREAM)(PBE_CONFIG pbeConfig, PDWORD pdwSamples, PDWORD pdwBufferSize,
                               PHBE_STREAM phbeStream);
typedef BE_ERR (*BEENCODECHUNK)(HBE_STREAM hbeStream, DWORD nSamples, PSHORT pSamples, PBYTE pOutput,
                                PDWORD pdwOutput);
typedef BE_ERR (*BEDEINITSTREAM)(HBE_STREAM hbeStream, PBYTE pOutput, PDWORD pdwOutput);
typedef BE_ERR (*BECLOSESTREAM)(HBE_STREAM hbeStream);
typedef VOID (*BEVERSION)(PBE_VERSION pbeVersion);
typedef BE_ERR (*BEWRITEVBRHEADER)(LPCSTR lpszFileName);
typedef BE_ERR (*BEWRITEINFOTAG)(HBE_STREAM hbeStream, LPCSTR lpszFileName);

// What the library exports under these plain names (the engine resolves them at run time).
extern "C" {
BE_ERR beInitStream(PBE_CONFIG pbeConfig, PDWORD pdwSamples, PDWORD pdwBufferSize, PHBE_STREAM phbeStream);
BE_ERR beEncodeChunk(HBE_STREAM hbeStream, DWORD nSamples, PSHORT pSamples, PBYTE pOutput, PDWORD pdwOutput);
BE_ERR beDeinitStream(HBE_STREAM hbeStream, PBYTE pOutput, PDWORD pdwOutput);
BE_ERR beCloseStream(HBE_STREAM hbeStream);
VOID beVersion(PBE_VERSION pbeVersion);
BE_ERR beWriteVBRHeader(LPCSTR lpszFileName);
BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, LPCSTR lpszFileName);
}
