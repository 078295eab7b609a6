// CChannelSplitter: a block's left and right channels in buffers of their own, for the files
// of an alone recording and for the view; a one-channel block is both.
#pragma once
#include "framework/Afx.h"
#include <memory>

class CChannelSplitter {
public:
    // Buffers for blocks of up to cbBlock bytes; an allocation failure is the framework's exception.
    explicit CChannelSplitter(DWORD cbBlock);
    CChannelSplitter(const CChannelSplitter&) = delete;
    CChannelSplitter& operator=(const CChannelSplitter&) = delete;

    // Splits a block of whole frames of `wfx`; the bytes each channel got.
    DWORD Split(const WAVEFORMATEX& wfx, const BYTE* pData, DWORD cbData);
    const BYTE* Left() const { return m_pLeft.get(); }
    const BYTE* Right() const { return m_pRight.get(); }

private:
    DWORD m_cbBlock;
    std::unique_ptr<BYTE[]> m_pLeft, m_pRight;
};
