#include "ChannelSplitter.h"
#include <algorithm>
#include <cstring>
#include <new>

CChannelSplitter::CChannelSplitter(DWORD cbBlock) : m_cbBlock(cbBlock)
{
    try {
        m_pLeft = std::make_unique<BYTE[]>(cbBlock);
        m_pRight = std::make_unique<BYTE[]>(cbBlock);
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

DWORD CChannelSplitter::Split(const WAVEFORMATEX& wfx, const BYTE* pData, DWORD cbData)
{
    cbData = std::min(cbData, m_cbBlock);
    if (wfx.nChannels == 1) {
        memcpy(m_pLeft.get(), pData, cbData);
        memcpy(m_pRight.get(), pData, cbData);
        return cbData;
    }
    const DWORD cbSample = wfx.wBitsPerSample / 8;
    const DWORD nFrames = cbData / (2 * cbSample);
    BYTE* pLeft = m_pLeft.get();
    BYTE* pRight = m_pRight.get();
    for (DWORD i = 0; i < nFrames; ++i, pData += 2 * cbSample) {
        memcpy(pLeft + i * cbSample, pData, cbSample);
        memcpy(pRight + i * cbSample, pData + cbSample, cbSample);
    }
    return nFrames * cbSample;
}
