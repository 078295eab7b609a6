#include "Recording.h"
#include "AudioServices.h"
#include <algorithm>
#include <cstring>

namespace {

// Wine hands a capture buffer of 4096 bytes back up to 0.75 s after its sound, one of 2048 at
// once (tools/capture-probe.sh): capture uses blocks of at most this size, as many more of them.
const DWORD MAX_CAPTURE_BLOCK = 2048;
// How long Stop waits at most for sound the device still owes: a monitor fed by a player with
// long buffers reaches a capture stream in bursts.
const UINT OWED_SOUND_WAIT_MS = 2500;
// How long the device may take to mark its buffers done after a reset.
const DWORD RESET_RETURN_WAIT_MS = 200;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

CRecording::CRecording(const CEngineWindow& window, UINT_PTR nTimer, int nChannelMode, DWORD nSamplesPerSec,
                       WORD wBitsPerSample, DWORD cbBuffer)
    : CDeviceRun(window, TRUE, nTimer), m_nChannelMode(nChannelMode), m_cbBlock(std::min(cbBuffer, MAX_CAPTURE_BLOCK))
{
    m_wfx.wFormatTag = WAVE_FORMAT_PCM;
    m_wfx.nChannels = nChannelMode != CHANNEL_MONO ? 2 : 1;
    m_wfx.nSamplesPerSec = nSamplesPerSec;
    m_wfx.wBitsPerSample = wBitsPerSample;
    m_wfx.nBlockAlign = static_cast<WORD>(m_wfx.nChannels * (wBitsPerSample / 8));
    m_wfx.nAvgBytesPerSec = nSamplesPerSec * m_wfx.nBlockAlign;
}

CRecording::~CRecording()
{
    End();
}

BOOL CRecording::Start(UINT nDevice)
{
    const int nBuffers = BufferCount(m_wfx, m_cbBlock);
    m_pSplit = std::make_unique<CChannelSplitter>(m_cbBlock);
    auto pDevice = std::make_unique<CWaveInDevice>();
    MMRESULT mmr = pDevice->Open(nDevice, m_wfx, m_window.hWnd, nBuffers, m_cbBlock);
    if (mmr != MMSYSERR_NOERROR) {
        ReportError(mmr, "waveInOpen()");
        m_state = DONE;
        return FALSE;
    }
    m_pDevice = std::move(pDevice);
    for (int i = 0; i < nBuffers; ++i) {
        if ((mmr = m_pDevice->Prepare(i, 0)) != MMSYSERR_NOERROR)
            ReportError(mmr, "AddInputBufferToQueue Failed");
        else if ((mmr = m_pDevice->Queue(i)) != MMSYSERR_NOERROR)
            ReportError(mmr, "waveInAddBuffer() failed");
    }
    mmr = m_pDevice->Start();
    QueryPerformanceCounter(&m_started);
    if (mmr != MMSYSERR_NOERROR)
        ReportError(mmr, "waveInStart() failed");
    if (mmr != MMSYSERR_NOERROR || m_pDevice->GetQueued() == 0) {
        End();
        return FALSE;
    }
    return TRUE;
}

WAVEFORMATEX CRecording::OutputFormat() const
{
    WAVEFORMATEX wfx = m_wfx;
    if (m_nChannelMode == CHANNEL_ALONE) {
        wfx.nChannels = 1;
        wfx.nBlockAlign = wfx.wBitsPerSample / 8;
        wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    }
    return wfx;
}

BOOL CRecording::OpenOutput(int nChannel, LPCSTR pszFileName)
{
    const size_t cbName = strlen(pszFileName);
    if (cbName < 4 || strcmp(pszFileName + cbName - 4, ".mp3") != 0) {
        if (m_waveOutput[nChannel].IsOpen() || m_waveOutput[nChannel].Open(pszFileName, OutputFormat()))
            return TRUE;
        Say("Open wave file failed");
        return FALSE;
    }
    if (m_wfx.wBitsPerSample == 8) {
        Say("Cannot record 8 bits mp3");
        return FALSE;
    }
    CString strError;
    if (!m_pEncoder && !(m_pEncoder = CMp3Encoder::Load(strError))) {
        Say(strError);
        return FALSE;
    }
    CMp3Output& mp3 = m_mp3Output[nChannel];
    if (mp3.IsOpen())
        return TRUE;
    const BOOL bMono = m_wfx.nChannels == 1 || m_nChannelMode == CHANNEL_ALONE;
    const DWORD cbStage = static_cast<DWORD>(BufferCount(m_wfx, m_cbBlock)) * m_cbBlock;
    if (mp3.Open(m_pEncoder, pszFileName, m_wfx, bMono, cbStage, strError))
        return TRUE;
    Say(strError);
    return FALSE;
}

void CRecording::CloseOutput(int nChannel, BOOL bMp3)
{
    FinishOutput(bMp3 ? static_cast<COutput&>(m_mp3Output[nChannel]) : m_waveOutput[nChannel]);
}

void CRecording::FinishOutput(COutput& output)
{
    CString strError;
    if (output.IsOpen() && !output.Finish(strError) && !strError.IsEmpty())
        Say(strError);
}

BOOL CRecording::HasOutput(int nChannel) const
{
    return m_waveOutput[nChannel].IsOpen() || m_mp3Output[nChannel].IsOpen();
}

ULONGLONG CRecording::BytesSinceStart() const
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const ULONGLONG nFrames =
        static_cast<ULONGLONG>(Now() - m_started.QuadPart) * m_wfx.nSamplesPerSec / frequency.QuadPart;
    return nFrames * m_wfx.nBlockAlign;
}

void CRecording::Stop()
{
    if (m_state != RUNNING)
        return;
    m_cbWanted = BytesSinceStart();
    if (m_cbTaken >= m_cbWanted) {
        End();
        return;
    }
    m_state = DRAINING;
    ArmTimer(OWED_SOUND_WAIT_MS);
}

// Takes the blocks as the device marks them done, without waiting for their messages.
void CRecording::StopNow()
{
    if (m_state != RUNNING)
        return End();
    m_cbWanted = BytesSinceStart();
    for (const DWORD dwStart = GetTickCount(); m_bRouting && m_cbTaken < m_cbWanted && m_pDevice->GetQueued() > 0 &&
                                               GetTickCount() - dwStart < OWED_SOUND_WAIT_MS;
         Sleep(5))
        TakeBlocks(TRUE);
    End();
}

void CRecording::OnData()
{
    if (m_state != RUNNING && m_state != DRAINING)
        return;
    TakeBlocks(TRUE);
    if (!m_bRouting || m_pDevice->GetQueued() == 0 || (m_state == DRAINING && m_cbTaken >= m_cbWanted))
        End();
}

// The device gives its buffers back in the order they were queued, whatever header a message
// names: every block it has marked done is taken, once and in order.
void CRecording::TakeBlocks(BOOL bRequeue)
{
    for (int i; (i = m_pDevice->TakeReturned()) >= 0;) {
        // The block is ours once the device has handed it back, whatever unpreparing says.
        MMRESULT mmr = m_pDevice->Unprepare(i);
        if (mmr != MMSYSERR_NOERROR)
            ReportError(mmr, "waveInUnprepareHeader() failed");
        RouteBlock(m_pDevice->GetData(i), m_pDevice->GetBytes(i));
        if (!bRequeue || !m_bRouting || mmr != MMSYSERR_NOERROR)
            continue;
        if ((mmr = m_pDevice->Prepare(i, 0)) != MMSYSERR_NOERROR)
            ReportError(mmr, "waveInPrepareHeader() failed");
        else if ((mmr = m_pDevice->Queue(i)) != MMSYSERR_NOERROR)
            ReportError(mmr, "waveInAddBuffer() failed");
    }
}

// Sends a block to every open output and draws it. Once stopped, sound past the moment of Stop
// is left out.
void CRecording::RouteBlock(const BYTE* pData, DWORD cbData)
{
    cbData = static_cast<DWORD>(std::min<ULONGLONG>(cbData, m_cbWanted - std::min(m_cbWanted, m_cbTaken)));
    m_cbTaken += cbData;
    if (!m_bRouting || cbData == 0)
        return;
    const BOOL bAlone = m_nChannelMode == CHANNEL_ALONE;
    const BOOL bShown = m_window.pView->IsShown();
    const DWORD cbPerChannel = bAlone || bShown ? m_pSplit->Split(m_wfx, pData, cbData) : 0;
    BOOL bFailed = FALSE;
    for (COutput* pOutput : {static_cast<COutput*>(&m_waveOutput[0]), static_cast<COutput*>(&m_waveOutput[1]),
                             static_cast<COutput*>(&m_mp3Output[0]), static_cast<COutput*>(&m_mp3Output[1])}) {
        if (!pOutput->IsOpen())
            continue;
        const BOOL bRight = pOutput == &m_waveOutput[1] || pOutput == &m_mp3Output[1];
        const BYTE* pSource = !bAlone ? pData : bRight ? m_pSplit->Right() : m_pSplit->Left();
        CString strError;
        if (!pOutput->Append(pSource, bAlone ? cbPerChannel : cbData, strError)) {
            if (!strError.IsEmpty())
                Say(strError);
            FinishOutput(*pOutput);
            bFailed = TRUE;
        }
    }
    m_bRouting = !bFailed || HasOutput(0) || HasOutput(1);
    if (bShown)
        Draw(*m_pSplit, m_wfx, cbPerChannel, !bAlone || HasOutput(0), !bAlone || HasOutput(1));
}

// The device is reset, the blocks it recorded up to then reach the outputs in order, the outputs
// are finished and the device closed. A device that marks a buffer done a moment after its reset
// returned is waited for: no buffer is freed with its sound unwritten.
void CRecording::End()
{
    if (!m_pDevice || m_state == CLOSING || m_state == DONE)
        return;
    const MMRESULT mmr = m_pDevice->Reset();
    if (mmr == MMSYSERR_NOERROR)
        m_pDevice->AwaitReturned(RESET_RETURN_WAIT_MS);
    TakeBlocks(FALSE);
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        CloseOutput(nChannel, TRUE);
        CloseOutput(nChannel, FALSE);
    }
    m_pEncoder.reset();
    CloseDevice(*m_pDevice, mmr, MM_WIM_CLOSE);
}

std::unique_ptr<CWaveInDevice> CRecording::TakeKeptDevice()
{
    return m_pDevice && m_pDevice->IsOpen() ? std::move(m_pDevice) : nullptr;
}
