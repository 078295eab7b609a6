#include "lame_enc/EncoderStream.h"
#include <lame/lame.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

namespace {

// LAME quality used when the configuration leaves the choice to the library. 5 is the
// LAME command line's own default: at 22050 Hz it encodes many times faster than real time,
// so a recording keeps up with room to spare even on a slow machine.
const int LAME_DEFAULT_QUALITY = 5;

const DWORD SAMPLE_RATES[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
const DWORD MPEG1_BITRATES[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const DWORD MPEG2_BITRATES[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

template <size_t N>
bool Contains(const DWORD (&values)[N], DWORD value)
{
    return std::find(std::begin(values), std::end(values), value) != std::end(values);
}

bool IsValidBitrate(DWORD dwOutRate, DWORD dwBitrate)
{
    return dwOutRate >= 32000 ? Contains(MPEG1_BITRATES, dwBitrate) : Contains(MPEG2_BITRATES, dwBitrate);
}

int QualityOf(WORD nQuality)
{
    const BYTE low = LOBYTE(nQuality);
    const BYTE high = HIBYTE(nQuality);
    if (high == static_cast<BYTE>(~low) && low <= 9)
        return low;
    return LAME_DEFAULT_QUALITY;
}

MPEG_mode LameModeOf(LONG nMode)
{
    switch (nMode) {
    case BE_MP3_MODE_MONO: return MONO;
    case BE_MP3_MODE_STEREO: return STEREO;
    default: return JOINT_STEREO;
    }
}

BE_ERR ErrorOfLameResult(int result)
{
    return result == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

unsigned long g_nFlushes = 0;

} // namespace

void CEncoderStream::LameCloser::operator()(lame_global_struct* gfp) const
{
    lame_close(gfp);
}

CEncoderStream::CEncoderStream(lame_global_struct* gfp, int nChannels)
    : m_lame(gfp), m_nChannels(nChannels)
{
}

CEncoderStream::~CEncoderStream() = default;

BE_ERR CEncoderStream::CheckConfig(const BE_CONFIG& config)
{
    if (config.dwConfig != BE_CONFIG_LAME)
        return BE_ERR_INVALID_FORMAT;
    const BE_LAME_CONFIG& lame = config.format.LHV1;
    if (lame.dwStructVersion < 1 || lame.dwStructSize != sizeof(BE_CONFIG))
        return BE_ERR_INVALID_FORMAT;
    const DWORD dwOutRate = lame.dwReSampleRate ? lame.dwReSampleRate : lame.dwSampleRate;
    if (!Contains(SAMPLE_RATES, lame.dwSampleRate) || !Contains(SAMPLE_RATES, dwOutRate))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    // Dual channel is not something LAME encodes; this library only does constant bit rate.
    if (lame.nMode != BE_MP3_MODE_STEREO && lame.nMode != BE_MP3_MODE_JSTEREO && lame.nMode != BE_MP3_MODE_MONO)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (lame.bEnableVBR || !IsValidBitrate(dwOutRate, lame.dwBitrate) || lame.dwEmphasis > 3)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR CEncoderStream::Create(const BE_CONFIG& config, std::unique_ptr<CEncoderStream>& stream)
{
    BE_ERR err = CheckConfig(config);
    if (err != BE_ERR_SUCCESSFUL)
        return err;
    lame_global_flags* gfp = lame_init();
    if (!gfp)
        return BE_ERR_NO_MORE_HANDLES;
    const int nChannels = config.format.LHV1.nMode == BE_MP3_MODE_MONO ? 1 : 2;
    std::unique_ptr<CEncoderStream> created(new (std::nothrow) CEncoderStream(gfp, nChannels));
    if (!created) {
        lame_close(gfp);
        return BE_ERR_NO_MORE_HANDLES;
    }
    err = created->Configure(config.format.LHV1);
    if (err == BE_ERR_SUCCESSFUL)
        stream = std::move(created);
    return err;
}

// nPreset, dwMpegVersion, dwPsyModel and dwMaxBitrate are not applied: the rate decides the
// MPEG version, and the bit rate and mode fields below decide the rest.
BE_ERR CEncoderStream::Configure(const BE_LAME_CONFIG& lame)
{
    lame_global_flags* gfp = m_lame.get();
    lame_set_in_samplerate(gfp, lame.dwSampleRate);
    lame_set_out_samplerate(gfp, lame.dwReSampleRate ? lame.dwReSampleRate : lame.dwSampleRate);
    lame_set_num_channels(gfp, m_nChannels);
    lame_set_mode(gfp, LameModeOf(lame.nMode));
    lame_set_VBR(gfp, vbr_off);
    lame_set_brate(gfp, lame.dwBitrate);
    lame_set_quality(gfp, QualityOf(lame.nQuality));
    lame_set_emphasis(gfp, lame.dwEmphasis);
    lame_set_extension(gfp, lame.bPrivate ? 1 : 0);
    lame_set_error_protection(gfp, lame.bCRC ? 1 : 0);
    lame_set_copyright(gfp, lame.bCopyright ? 1 : 0);
    lame_set_original(gfp, lame.bOriginal ? 1 : 0);
    lame_set_disable_reservoir(gfp, lame.bNoRes ? 1 : 0);
    lame_set_strict_ISO(gfp, lame.bStrictIso ? 1 : 0);
    lame_set_bWriteVbrTag(gfp, lame.bWriteVBRHeader ? 1 : 0);
    // The caller owns the file: no ID3 tags of our own inside it.
    lame_set_write_id3tag_automatic(gfp, 0);
    if (lame_init_params(gfp) < 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return BE_ERR_SUCCESSFUL;
}

DWORD CEncoderStream::SamplesPerChunk() const
{
    return lame_get_framesize(m_lame.get()) * m_nChannels;
}

DWORD CEncoderStream::OutputBufferSize() const
{
    // LAME's own bound for one call: 1.25 × samples per channel + 7200, which also covers the flush.
    return lame_get_framesize(m_lame.get()) * 5 / 4 + 7200;
}

void CEncoderStream::RememberFirstHeader(const BYTE* pOutput, DWORD dwBytes)
{
    for (DWORD i = 0; i < dwBytes && m_dwBytesOut + i < sizeof(m_firstHeader); ++i)
        m_firstHeader[m_dwBytesOut + i] = pOutput[i];
    m_dwBytesOut += dwBytes;
}

BE_ERR CEncoderStream::Encode(const SHORT* pSamples, DWORD nSamples, BYTE* pOutput, DWORD* pdwOutput)
{
    if (!m_lame || m_bFlushed)
        return BE_ERR_INVALID_HANDLE;
    if (nSamples % m_nChannels != 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (nSamples > SamplesPerChunk())
        return BE_ERR_BUFFER_TOO_SMALL;
    const int nPerChannel = static_cast<int>(nSamples / m_nChannels);
    const int nSize = static_cast<int>(OutputBufferSize());
    const int result = m_nChannels == 1
        ? lame_encode_buffer(m_lame.get(), pSamples, pSamples, nPerChannel, pOutput, nSize)
        : lame_encode_buffer_interleaved(m_lame.get(), const_cast<SHORT*>(pSamples), nPerChannel, pOutput, nSize);
    if (result < 0)
        return ErrorOfLameResult(result);
    RememberFirstHeader(pOutput, result);
    *pdwOutput = result;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR CEncoderStream::Flush(BYTE* pOutput, DWORD* pdwOutput)
{
    if (!m_lame || m_bFlushed)
        return BE_ERR_INVALID_HANDLE;
    const int result = lame_encode_flush(m_lame.get(), pOutput, static_cast<int>(OutputBufferSize()));
    if (result < 0)
        return ErrorOfLameResult(result);
    RememberFirstHeader(pOutput, result);
    m_bFlushed = true;
    m_nFlushOrder = ++g_nFlushes;
    const size_t nTag = lame_get_lametag_frame(m_lame.get(), nullptr, 0);
    if (nTag > 0) {
        m_tag.resize(nTag);
        if (lame_get_lametag_frame(m_lame.get(), m_tag.data(), m_tag.size()) != nTag)
            m_tag.clear();
    }
    *pdwOutput = result;
    return BE_ERR_SUCCESSFUL;
}

void CEncoderStream::ReleaseEncoder()
{
    m_lame.reset();
}

BE_ERR CEncoderStream::WriteTag(LPCSTR pszFileName)
{
    if (m_tag.empty())
        return BE_ERR_SUCCESSFUL;
    FILE* file = std::fopen(pszFileName, "r+b");
    if (!file)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    // Only a file that starts with this stream's placeholder frame gets the tag.
    BYTE header[sizeof(m_firstHeader)] = {};
    const bool bOurs = m_dwBytesOut >= m_tag.size() && std::fread(header, 1, sizeof(header), file) == sizeof(header) &&
                       std::memcmp(header, m_firstHeader, sizeof(header)) == 0;
    const bool bWritten = bOurs && std::fseek(file, 0, SEEK_SET) == 0 &&
                          std::fwrite(m_tag.data(), 1, m_tag.size(), file) == m_tag.size();
    const bool bClosed = std::fclose(file) == 0;
    if (!bOurs)
        return BE_ERR_INVALID_FORMAT;
    if (!bWritten || !bClosed)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    m_tag.clear();
    return BE_ERR_SUCCESSFUL;
}
