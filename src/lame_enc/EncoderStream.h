// CEncoderStream: one MP3 stream of the library: a LAME encoder configured from BE_CONFIG, fed
// chunk by chunk, flushed, and keeping the finished file's Info tag until it is written.
#pragma once
#include "lame_enc/LameEncInterface.h"
#include <memory>
#include <vector>

struct lame_global_struct;

class CEncoderStream {
public:
    // Checks the configuration and sets up LAME; BE_ERR_SUCCESSFUL leaves the stream in `stream`.
    static BE_ERR Create(const BE_CONFIG& config, std::unique_ptr<CEncoderStream>& stream);

    CEncoderStream(const CEncoderStream&) = delete;
    CEncoderStream& operator=(const CEncoderStream&) = delete;
    ~CEncoderStream();

    // Samples of one chunk, all channels counted: one MP3 frame's worth.
    DWORD SamplesPerChunk() const;
    // Output bytes one chunk, and the flush, can need at most.
    DWORD OutputBufferSize() const;

    BE_ERR Encode(const SHORT* pSamples, DWORD nSamples, BYTE* pOutput, DWORD* pdwOutput);
    BE_ERR Flush(BYTE* pOutput, DWORD* pdwOutput);
    // Frees the encoder; a tag taken at the flush stays until it is written.
    void ReleaseEncoder();

    bool HasPendingTag() const { return !m_tag.empty(); }
    // Order of flushes across streams, so the library can find the latest finished stream.
    unsigned long FlushOrder() const { return m_nFlushOrder; }
    // Replaces the placeholder frame at the start of the finished file with the tag.
    BE_ERR WriteTag(LPCSTR pszFileName);

private:
    struct LameCloser {
        void operator()(lame_global_struct* gfp) const;
    };

    CEncoderStream(lame_global_struct* gfp, int nChannels);
    static BE_ERR CheckConfig(const BE_CONFIG& config);
    BE_ERR Configure(const BE_LAME_CONFIG& lame);
    void RememberFirstHeader(const BYTE* pOutput, DWORD dwBytes);

    std::unique_ptr<lame_global_struct, LameCloser> m_lame;
    int m_nChannels;
    bool m_bFlushed = false;
    unsigned long m_nFlushOrder = 0;
    DWORD m_dwBytesOut = 0;
    BYTE m_firstHeader[4] = {};
    std::vector<BYTE> m_tag;
};
