// CWaveView: what the engine's window shows: a band for each channel with its last block, the
// bands' labels, the centre line, the input device's name and a border. It owns the brush, pens
// and fonts it draws with and draws into the device context it is given.
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
    void SetDeviceName(const CString& strDevice) { m_strDevice = strDevice; }
    // The area of the device's name, to be repainted when it changes.
    CRect GetDeviceNameRect() const;

    void DrawBackground(CDC* pDC);
    // One block: nSamples samples of `wBitsPerSample` for each channel; a channel not drawn
    // keeps an empty band.
    void DrawBlock(CDC* pDC, const BYTE* pLeft, const BYTE* pRight, DWORD nSamples, WORD wBitsPerSample,
                   BOOL bDrawLeft, BOOL bDrawRight);

private:
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
};
