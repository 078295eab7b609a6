// CWaveView: what the engine's window shows: a band for each channel with its last block, the
// bands' labels, the centre line, the input device's name and a border. It owns the brush, pens
// and fonts it draws with, and a bitmap of the background, drawn again only when its colour or
// device name changes: each block is drawn over a copy of it. Text and fills through Wine's GDI
// cost a block far more than that copy.
#pragma once
#include "framework/Afx.h"

class CWaveView {
public:
    CWaveView();
    CWaveView(const CWaveView&) = delete;
    CWaveView& operator=(const CWaveView&) = delete;

    // Takes the window's client area, once: the view assumes it keeps its size. The pens are
    // made only for a view that was given its place.
    void Create(HWND hWnd, BOOL bPlaced);
    // A view without an area has nothing to show.
    BOOL IsShown() const { return !m_rcClient.IsRectEmpty(); }
    void SetBkColor(COLORREF cr);
    void SetDeviceName(const CString& strDevice);
    // The area of the device's name, to be repainted when it changes.
    CRect GetDeviceNameRect() const;

    void DrawBackground(CDC* pDC);
    // One block, painted onto the window's context: nSamples samples of `wBitsPerSample` for
    // each channel; a channel not drawn keeps an empty band. Without room for the background's
    // bitmap the block is not shown (the next one tries again).
    void DrawBlock(CDC* pDC, const BYTE* pLeft, const BYTE* pRight, DWORD nSamples, WORD wBitsPerSample,
                   BOOL bDrawLeft, BOOL bDrawRight);

private:
    BOOL PrepareBackground(CDC* pWindowDC);
    CRect GetChannelRect(BOOL bLeft) const;
    void DrawChannelBand(CDC* pDC, BOOL bLeft);
    void DrawBandSamples(CDC* pDC, const CRect& rcBand, const BYTE* pSamples, DWORD nSamples, WORD wBitsPerSample);

    CBrush m_brushBk;
    COLORREF m_crBk = 0;
    CRect m_rcClient;
    CPen m_penWave;
    CPen m_penCenter;
    CFont m_fontLabel, m_fontText;
    CString m_strDevice;
    // The bitmap before the context that holds it, so that it is deleted after it.
    CBitmap m_bmpBack;
    CDC m_dcBack;
    BOOL m_bBackDrawn = FALSE;
};
