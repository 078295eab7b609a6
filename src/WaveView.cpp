#include "WaveView.h"
#include <cstring>

namespace {

const COLORREF WAVE_COLOR = RGB(0, 255, 0);
const COLORREF CENTER_COLOR = RGB(128, 64, 0);
const COLORREF LABEL_COLOR = RGB(255, 255, 0);
const COLORREF DEVICE_NAME_COLOR = RGB(128, 255, 255);
const COLORREF BORDER_COLOR = RGB(128, 64, 0);
// Points handed to one Polyline: a stereo block of 2048 bytes has 512 samples a channel.
const int WAVE_POINTS = 512;

// A 16-bit sample, or an unsigned 8-bit one moved to the same scale around 0.
int SampleAt(const BYTE* pSamples, DWORD i, WORD wBitsPerSample)
{
    if (wBitsPerSample == 8)
        return (pSamples[i] - 128) * 256;
    SHORT s;
    memcpy(&s, pSamples + 2 * i, sizeof s);
    return s;
}

} // namespace

CWaveView::CWaveView()
{
    SetBkColor(0);
}

void CWaveView::Create(HWND hWnd, BOOL bPlaced)
{
    ::GetClientRect(hWnd, &m_rcClient);
    m_fontLabel.CreatePointFont(100, "Impact");
    LOGFONTA lf{};
    lf.lfHeight = 14;
    lf.lfItalic = TRUE;
    lf.lfUnderline = TRUE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    m_fontText.CreateFontIndirect(&lf);
    if (bPlaced) {
        m_penWave.CreatePen(PS_SOLID, 0, WAVE_COLOR);
        m_penCenter.CreatePen(PS_SOLID, 2, CENTER_COLOR);
    }
}

void CWaveView::SetBkColor(COLORREF cr)
{
    m_crBk = cr;
    m_brushBk.CreateSolidBrush(cr);
    m_bBackDrawn = FALSE;
}

void CWaveView::SetDeviceName(const CString& strDevice)
{
    m_strDevice = strDevice;
    m_bBackDrawn = FALSE;
}

CRect CWaveView::GetChannelRect(BOOL bLeft) const
{
    CRect rc = m_rcClient;
    const int h = m_rcClient.Height();
    if (bLeft)
        rc.bottom = (h - 2) / 2;
    else
        rc.top = (h + 2) / 2;
    return rc;
}

CRect CWaveView::GetDeviceNameRect() const
{
    CRect rc = GetChannelRect(FALSE);
    rc.DeflateRect(4, 4);
    return rc;
}

void CWaveView::DrawChannelBand(CDC* pDC, BOOL bLeft)
{
    if (!m_brushBk.GetSafeHandle())
        return;
    CRect rc = GetChannelRect(bLeft);
    pDC->FillRect(rc, m_brushBk);
    HGDIOBJ hOldFont = m_fontLabel.GetSafeHandle() ? pDC->SelectObject(m_fontLabel) : nullptr;
    pDC->SetTextColor(LABEL_COLOR);
    rc.DeflateRect(2, 2);
    pDC->DrawText(bLeft ? "Left" : "Right", &rc, DT_SINGLELINE | DT_LEFT | DT_TOP);
    if (hOldFont)
        pDC->SelectObject(hOldFont);
}

void CWaveView::DrawBackground(CDC* pDC)
{
    pDC->SetBkMode(TRANSPARENT);
    DrawChannelBand(pDC, TRUE);
    DrawChannelBand(pDC, FALSE);
    if (m_penCenter.GetSafeHandle()) {
        CSelectGuard pen(*pDC, m_penCenter);
        const int y = m_rcClient.Height() / 2;
        pDC->MoveTo(0, y);
        pDC->LineTo(m_rcClient.right, y);
    }
    HGDIOBJ hOldFont = m_fontText.GetSafeHandle() ? pDC->SelectObject(m_fontText) : nullptr;
    pDC->SetTextColor(DEVICE_NAME_COLOR);
    CRect rcName = m_rcClient;
    rcName.DeflateRect(4, 4);
    pDC->DrawText(m_strDevice, &rcName, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    if (hOldFont)
        pDC->SelectObject(hOldFont);
    pDC->Draw3dRect(m_rcClient, BORDER_COLOR, BORDER_COLOR);
}

void CWaveView::DrawBlock(CDC* pDC, const BYTE* pLeft, const BYTE* pRight, DWORD nSamples, WORD wBitsPerSample,
                          BOOL bDrawLeft, BOOL bDrawRight)
{
    if (!IsShown() || nSamples == 0 || !PrepareBackground(pDC))
        return;
    pDC->BitBlt(0, 0, m_rcClient.Width(), m_rcClient.Height(), &m_dcBack, 0, 0, SRCCOPY);
    if (!m_penWave.GetSafeHandle())
        return;
    CSelectGuard pen(*pDC, m_penWave);
    if (bDrawLeft)
        DrawBandSamples(pDC, GetChannelRect(TRUE), pLeft, nSamples, wBitsPerSample);
    if (bDrawRight)
        DrawBandSamples(pDC, GetChannelRect(FALSE), pRight, nSamples, wBitsPerSample);
}

// The bitmap is made with the first block, compatible with the window's context.
BOOL CWaveView::PrepareBackground(CDC* pWindowDC)
{
    if (!m_bmpBack.GetSafeHandle()) {
        if (!m_dcBack.CreateCompatibleDC(pWindowDC) ||
            !m_bmpBack.CreateCompatibleBitmap(*pWindowDC, m_rcClient.Width(), m_rcClient.Height()))
            return FALSE;
        m_dcBack.SelectObject(m_bmpBack);
        m_bBackDrawn = FALSE;
    }
    if (!m_bBackDrawn) {
        DrawBackground(&m_dcBack);
        m_bBackDrawn = TRUE;
    }
    return TRUE;
}

// One Polyline per chunk of points rather than a LineTo per sample: the same pixels (each
// segment leaves out its end point, which starts the next) in a GDI call per chunk, which under
// Wine costs the same as one LineTo.
void CWaveView::DrawBandSamples(CDC* pDC, const CRect& rcBand, const BYTE* pSamples, DWORD nSamples,
                                WORD wBitsPerSample)
{
    const int yc = (rcBand.top + rcBand.bottom) / 2;
    const int h = rcBand.Height();
    auto y = [&](DWORD i) { return yc + SampleAt(pSamples, i, wBitsPerSample) * h / 65535; };
    const float step = static_cast<float>(rcBand.Width()) / static_cast<float>(nSamples);
    float x = 0;
    POINT points[WAVE_POINTS];
    points[0] = POINT{0, y(0)};
    int nPoints = 1;
    for (DWORD i = 1; i < nSamples; ++i) {
        x += step;
        points[nPoints++] = POINT{static_cast<int>(x), y(i)};
        if (nPoints == WAVE_POINTS) {
            ::Polyline(*pDC, points, nPoints);
            points[0] = points[nPoints - 1];
            nPoints = 1;
        }
    }
    if (nPoints > 1)
        ::Polyline(*pDC, points, nPoints);
}
