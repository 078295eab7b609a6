#include "DeviceRun.h"
#include "AudioServices.h"
#include <algorithm>
#include <cstring>

namespace {

const UINT CLOSE_MESSAGE_WAIT_MS = 1000;
const DWORD MAX_BUFFERS = 64;

} // namespace

CDeviceRun::CDeviceRun(const CEngineWindow& window, BOOL bInput, UINT_PTR nTimer)
    : m_window(window), m_bInput(bInput), m_nTimer(nTimer)
{
}

CDeviceRun::~CDeviceRun()
{
    if (m_window.hWnd)
        ::KillTimer(m_window.hWnd, m_nTimer);
}

int CDeviceRun::BufferCount(const WAVEFORMATEX& wfx, DWORD cbBuffer)
{
    const DWORD nForFormat = wfx.nChannels + wfx.wBitsPerSample / 8 + wfx.nSamplesPerSec / 11025;
    const DWORD nHalfSecond = wfx.nAvgBytesPerSec / 2 / cbBuffer + 1;
    return static_cast<int>(std::min<DWORD>(std::max(nForFormat, nHalfSecond), MAX_BUFFERS));
}

void CDeviceRun::OnCloseMessage(HANDLE hDevice)
{
    if (m_state == CLOSING && hDevice == m_hClosing)
        m_state = DONE;
}

BOOL CDeviceRun::OnTimer(UINT_PTR nTimer)
{
    if (nTimer != m_nTimer)
        return FALSE;
    ::KillTimer(m_window.hWnd, m_nTimer);
    if (m_state == CLOSING)
        m_state = DONE; // the close message never came: the device is closed all the same
    else if (m_state != DONE)
        OnFallback();
    return TRUE;
}

void CDeviceRun::ReportError(MMRESULT mmr, LPCSTR pszStep)
{
    if (std::find_if(m_said.begin(), m_said.end(), [&](LPCSTR said) { return strcmp(said, pszStep) == 0; }) !=
        m_said.end())
        return;
    m_said.push_back(pszStep);
    Say(ErrorText(m_bInput, mmr, pszStep));
}

CString CDeviceRun::ErrorText(BOOL bInput, MMRESULT mmr, LPCSTR pszStep)
{
    char szError[100] = "";
    if (bInput)
        AudioServices().waveInGetErrorTextA(mmr, szError, sizeof szError);
    else
        AudioServices().waveOutGetErrorTextA(mmr, szError, sizeof szError);
    CString strMessage;
    strMessage.Format("WAVEIN:%x:%s %s", mmr, szError, pszStep);
    return strMessage;
}

void CDeviceRun::ArmTimer(UINT nMilliseconds)
{
    if (m_window.hWnd)
        ::SetTimer(m_window.hWnd, m_nTimer, nMilliseconds, nullptr);
}

void CDeviceRun::AwaitCloseMessage(HANDLE hClosed, UINT nCloseMessage)
{
    m_state = CLOSING;
    m_hClosing = hClosed;
    if (!m_window.hWnd)
        m_state = DONE;
    else if (!hClosed)
        ::PostMessageA(m_window.hWnd, nCloseMessage, 0, 0);
    else
        ArmTimer(CLOSE_MESSAGE_WAIT_MS);
}

void CDeviceRun::Draw(const CChannelSplitter& split, const WAVEFORMATEX& wfx, DWORD cbPerChannel, BOOL bDrawLeft,
                      BOOL bDrawRight)
{
    CWaveView& view = *m_window.pView;
    if (!m_window.hWnd || !view.IsShown())
        return;
    CClientDC dc(m_window.hWnd);
    view.DrawBlock(&dc, split.Left(), split.Right(), cbPerChannel / (wfx.wBitsPerSample / 8), wfx.wBitsPerSample,
                   bDrawLeft, bDrawRight);
}
