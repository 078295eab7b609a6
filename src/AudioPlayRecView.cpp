// CAudioPlayRec's view: two bands with the last block of each channel, their labels, the
// centre line, the device name and a border.
#include "AudioPlayRec.h"
#include <cstring>

namespace {

const COLORREF LABEL_COLOR = RGB(255, 255, 0);
const COLORREF DEVICE_NAME_COLOR = RGB(128, 255, 255);
const COLORREF BORDER_COLOR = RGB(128, 64, 0);

// A 16-bit sample, or an 8-bit one moved to the same scale.
int SampleAt(const BYTE* pSamples, DWORD i, WORD wBitsPerSample)
{
    if (wBitsPerSample == 8)
        return (pSamples[i] - 128) * 256;
    SHORT s;
    memcpy(&s, pSamples + 2 * i, sizeof s);
    return s;
}

} // namespace

BOOL CAudioPlayRec::CreateView(HWND hParent, const RECT* pRect)
{
    LPCSTR pszClass = AfxRegisterWndClass(0, ::LoadCursorA(nullptr, IDC_ARROW));
    CRect rc = pRect ? CRect(*pRect) : CRect();
    if (!pszClass || !CreateEx(0, pszClass, "", WS_CHILD | WS_TABSTOP, rc, CWnd::FromHandle(hParent), 0)) {
        AfxMessageBox("Create window failed");
        return FALSE;
    }
    ShowWindow(pRect ? SW_SHOW : SW_HIDE);
    GetClientRect(&m_rcClient);
    CClientDC dc(m_hWnd);
    m_fontLabel.CreatePointFont(100, "Impact");
    LOGFONTA lf{};
    lf.lfHeight = 14;
    lf.lfItalic = TRUE;
    lf.lfUnderline = TRUE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    m_fontText.CreateFontIndirect(&lf);
    return TRUE;
}

void CAudioPlayRec::SetBkColor(COLORREF cr)
{
    m_crBk = cr;
    m_brushBk.CreateSolidBrush(cr);
    if (m_hWnd)
        Invalidate();
}

CRect CAudioPlayRec::GetChannelRect(BOOL bLeft) const
{
    CRect rc = m_rcClient;
    const int h = m_rcClient.Height();
    if (bLeft)
        rc.bottom = (h - 2) / 2;
    else
        rc.top = (h + 2) / 2;
    return rc;
}

void CAudioPlayRec::DrawChannelBand(CDC* pDC, BOOL bLeft)
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

void CAudioPlayRec::DrawBackground(CDC* pDC)
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

// A view without an area (created without a rectangle) has nothing to show.
BOOL CAudioPlayRec::HasView() const
{
    return m_hWnd && !m_rcClient.IsRectEmpty();
}

void CAudioPlayRec::DrawWave(DWORD cbPerChannel)
{
    const DWORD nSamples = cbPerChannel / (m_wfx.wBitsPerSample == 8 ? 1 : 2);
    if (!HasView() || nSamples == 0)
        return;
    CClientDC dc(m_hWnd);
    DrawBackground(&dc);
    if (!m_penWave.GetSafeHandle())
        return;
    CSelectGuard pen(dc, m_penWave);
    // While recording alone, a channel without an output keeps an empty band.
    const BOOL bAlone = m_pWaveIn && m_nChannelMode == CHANNEL_ALONE;
    if (!bAlone || HasOutput(0))
        DrawBandSamples(&dc, GetChannelRect(TRUE), m_pLeft.get(), nSamples);
    if (!bAlone || HasOutput(1))
        DrawBandSamples(&dc, GetChannelRect(FALSE), m_pRight.get(), nSamples);
}

void CAudioPlayRec::DrawBandSamples(CDC* pDC, const CRect& rcBand, const BYTE* pSamples, DWORD nSamples)
{
    const int yc = (rcBand.top + rcBand.bottom) / 2;
    const int h = rcBand.Height();
    auto y = [&](DWORD i) { return yc + SampleAt(pSamples, i, m_wfx.wBitsPerSample) * h / 65535; };
    const float step = static_cast<float>(rcBand.Width()) / static_cast<float>(nSamples);
    float x = 0;
    pDC->MoveTo(0, y(0));
    for (DWORD i = 1; i < nSamples; ++i) {
        x += step;
        pDC->LineTo(static_cast<int>(x), y(i));
    }
}

BOOL CAudioPlayRec::OnEraseBkgnd(CDC* pDC)
{
    DrawBackground(pDC);
    return static_cast<BOOL>(Default());
}

BOOL CAudioPlayRec::OnSetCursor(CWnd*, UINT, UINT)
{
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    return static_cast<BOOL>(Default());
}
