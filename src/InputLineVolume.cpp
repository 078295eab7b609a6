#include "InputLineVolume.h"
#include "AudioServices.h"
#include "framework/Afx.h"
#include <limits>
#include <memory>
#include <new>

namespace {

const char NOTIFY_CLASS_NAME[] = "Input Volume Msg Wnd Class";
const char NOTIFY_WINDOW_NAME[] = "Input Volume Msg Wnd";

// The hidden window mixer notifications are posted to.
class CMixerNotifyWnd : public CWnd {
public:
    explicit CMixerNotifyWnd(void (*onControlChange)(DWORD)) : m_pfnOnControlChange(onControlChange) {}

protected:
    LRESULT OnMixerControlChange(WPARAM, LPARAM lParam)
    {
        m_pfnOnControlChange(static_cast<DWORD>(lParam));
        return Default();
    }
    DECLARE_MESSAGE_MAP()

private:
    void (*m_pfnOnControlChange)(DWORD);
};

BEGIN_MESSAGE_MAP(CMixerNotifyWnd, CWnd)
    ON_MESSAGE(MM_MIXM_CONTROL_CHANGE, OnMixerControlChange)
END_MESSAGE_MAP()

// Only used to open the wave-input device long enough to learn its mixer.
void FillProbeFormat(WAVEFORMATEX* format)
{
    *format = WAVEFORMATEX{};
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = 1;
    format->nSamplesPerSec = 22050;
    format->wBitsPerSample = 16;
    format->nBlockAlign = 2;
    format->nAvgBytesPerSec = 44100;
    format->cbSize = 0;
}

// Queries on an open mixer pass its handle with the object-type bits of the flags zero.
HMIXEROBJ MixerObject(HMIXER hMixer)
{
    return reinterpret_cast<HMIXEROBJ>(hMixer);
}

MMRESULT GetRecordingDestination(HMIXER hMixer, MIXERLINEA* line)
{
    *line = MIXERLINEA{};
    line->cbStruct = sizeof(MIXERLINEA);
    line->dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    return AudioServices().mixerGetLineInfoA(MixerObject(hMixer), line, MIXER_GETLINEINFOF_COMPONENTTYPE);
}

MMRESULT GetSourceLine(HMIXER hMixer, DWORD dwDestination, UINT uSourceIndex, MIXERLINEA* line)
{
    *line = MIXERLINEA{};
    line->cbStruct = sizeof(MIXERLINEA);
    line->dwDestination = dwDestination;
    line->dwSource = uSourceIndex;
    return AudioServices().mixerGetLineInfoA(MixerObject(hMixer), line, MIXER_GETLINEINFOF_SOURCE);
}

MMRESULT GetVolumeControl(HMIXER hMixer, DWORD dwLineID, MIXERCONTROLA* control)
{
    *control = MIXERCONTROLA{};
    control->cbStruct = sizeof(MIXERCONTROLA);
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof(MIXERLINECONTROLSA);
    controls.dwLineID = dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(MIXERCONTROLA);
    controls.pamxctrl = control;
    return AudioServices().mixerGetLineControlsA(MixerObject(hMixer), &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE);
}

MIXERCONTROLDETAILS ValueDetails(DWORD dwControlID, DWORD cChannels, DWORD cMultipleItems, DWORD* values)
{
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof(MIXERCONTROLDETAILS);
    details.dwControlID = dwControlID;
    details.cChannels = cChannels;
    details.cMultipleItems = cMultipleItems;
    details.cbDetails = sizeof(DWORD);
    details.paDetails = values;
    return details;
}

// Null when the memory cannot be had, also for counts whose byte size does not fit.
template <class T>
std::unique_ptr<T[]> AllocateArray(size_t count)
{
    if (count > std::numeric_limits<size_t>::max() / sizeof(T))
        return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

} // namespace

CInputLineVolume* CInputLineVolume::s_pCurrent = nullptr;

CInputLineVolume::CInputLineVolume(UINT uSourceIndex, UINT uDeviceID)
    : m_uDeviceID(uDeviceID), m_bMixerOpen(FALSE), m_bLineReady(FALSE), m_bHasVolume(FALSE), m_uMixerID(0),
      m_hMixer(nullptr), m_dwSourceLineID(0), m_dwVolumeControlID(0), m_nChannels(0), m_uSourceIndex(0),
      m_uMicSourceIndex(static_cast<UINT>(-1)), m_dwVolumeMin(static_cast<DWORD>(-1)),
      m_dwVolumeMax(static_cast<DWORD>(-1)), m_dwVolumeSteps(0), m_pfnNotify(nullptr), m_pNotifyUser(0)
{
    m_bMixerOpen = OpenMixer();
    if (m_bMixerOpen) {
        s_pCurrent = this;
        if (!InitSourceLine(uSourceIndex)) {
            CloseMixer();
            s_pCurrent = nullptr;
        }
    }
}

CInputLineVolume::~CInputLineVolume()
{
    if (m_bMixerOpen)
        CloseMixer();
    s_pCurrent = nullptr;
}

BOOL CInputLineVolume::GetMixerOfWaveIn(UINT uDeviceID, UINT* puMixerID)
{
    WAVEFORMATEX format;
    FillProbeFormat(&format);
    HWAVEIN hWaveIn = nullptr;
    MMRESULT mmResult = AudioServices().waveInOpen(&hWaveIn, uDeviceID, &format, 0, 0, CALLBACK_NULL);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not open WaveIn Mapper. mmResult=%d\n", mmResult);
        return FALSE;
    }
    mmResult = AudioServices().mixerGetID(reinterpret_cast<HMIXEROBJ>(hWaveIn), puMixerID, MIXER_OBJECTF_HWAVEIN);
    AudioServices().waveInClose(hWaveIn);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: WaveIn Mapper in Mixer is not available. mmResult=%d\n", mmResult);
        return FALSE;
    }
    return TRUE;
}

BOOL CInputLineVolume::OpenMixer()
{
    if (AudioServices().mixerGetNumDevs() == 0)
        return FALSE;
    if (!GetMixerOfWaveIn(m_uDeviceID, &m_uMixerID))
        return FALSE;

    auto window = std::make_unique<CMixerNotifyWnd>(NotifyControlChange);
    if (!AfxRegisterNamedClass(NOTIFY_CLASS_NAME) ||
        !window->CreateEx(0, NOTIFY_CLASS_NAME, NOTIFY_WINDOW_NAME, WS_POPUP | WS_DISABLED, CRect(), nullptr, 0)) {
        TRACE(".InputXxxVolume: FAILURE: Could not create internal window.\n");
        return FALSE;
    }
    window->ShowWindow(SW_HIDE);
    MMRESULT mmResult = AudioServices().mixerOpen(&m_hMixer, m_uMixerID, reinterpret_cast<DWORD_PTR>(window->m_hWnd),
                                                  0, CALLBACK_WINDOW);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not open Mixer. mmResult=%d\n", mmResult);
        m_hMixer = nullptr;
        return FALSE;
    }
    m_pNotifyWnd = std::move(window);
    return TRUE;
}

void CInputLineVolume::CloseMixer()
{
    if (AudioServices().mixerClose(m_hMixer) != MMSYSERR_NOERROR)
        TRACE(".InputXxxVolume: WARNING: Could not close Mixer.\n");
    m_hMixer = nullptr;
    m_pNotifyWnd.reset();
    m_bLineReady = FALSE;
    m_bMixerOpen = FALSE;
}

BOOL CInputLineVolume::InitSourceLine(UINT uSourceIndex)
{
    if (!m_bMixerOpen)
        return FALSE;
    TRACE(".InputXxxVolume: Initializing for the Source Line (%d) ..\n", uSourceIndex);

    MIXERLINEA destination;
    MMRESULT mmResult = GetRecordingDestination(m_hMixer, &destination);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not get WaveIn Destionation Line for the requested source while "
              "initilaizing. mmResult=%d\n",
              mmResult);
        return FALSE;
    }
    if (uSourceIndex >= destination.cConnections) {
        TRACE(".InputXxxVolume: FAILURE: Invalid Source Line index passed.\n");
        return FALSE;
    }

    MIXERLINEA source;
    mmResult = GetSourceLine(m_hMixer, destination.dwDestination, uSourceIndex, &source);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not get the requested Source Line while initilaizing. mmResult=%d\n",
              mmResult);
        return FALSE;
    }
    TRACE(".InputXxxVolume: \"%s\" Source Line adopted.\n", source.szShortName);

    MIXERCONTROLA volume;
    mmResult = GetVolumeControl(m_hMixer, source.dwLineID, &volume);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: WARNING: Could not get the requested Source Line Volume Control for the requested "
              "line while initilaizing. mmResult=%d\n",
              mmResult);
    } else if (volume.fdwControl & MIXERCONTROL_CONTROLF_DISABLED) {
        TRACE(".InputXxxVolume: WARNING: The Volume Control is disabled.\n");
    } else {
        m_bHasVolume = TRUE;
        TRACE(".InputXxxVolume: \"%s\" Volume control for the Source Line adopted\n", volume.szShortName);
    }

    FindMicrophone(destination);

    m_uSourceIndex = uSourceIndex;
    m_nChannels = source.cChannels;
    m_dwSourceLineID = source.dwLineID;
    m_dwVolumeControlID = volume.dwControlID;
    m_dwVolumeMin = volume.Bounds.dwMinimum;
    m_dwVolumeMax = volume.Bounds.dwMaximum;
    m_dwVolumeSteps = volume.Metrics.cSteps;
    m_bLineReady = TRUE;
    return TRUE;
}

void CInputLineVolume::FindMicrophone(const MIXERLINEA& destination)
{
    for (UINT i = 0; i < destination.cConnections; i++) {
        MIXERLINEA line;
        if (GetSourceLine(m_hMixer, destination.dwDestination, i, &line) != MMSYSERR_NOERROR)
            continue;
        if (line.dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE) {
            m_uMicSourceIndex = line.dwSource;
            TRACE(".InputXxxVolume: Microphone Source Line \"%s\" has been found.\n", line.szShortName);
            break;
        }
    }
    if (m_uMicSourceIndex == static_cast<UINT>(-1))
        TRACE(".InputXxxVolume: WARNING: Could not retrieve Microphone Source Line.\n");
}

BOOL CInputLineVolume::HasVolumeControl()
{
    return m_bHasVolume;
}

void CInputLineVolume::SelectLine()
{
    if (!m_bLineReady || !HasVolumeControl())
        return;

    MIXERLINEA destination;
    MMRESULT mmResult = GetRecordingDestination(m_hMixer, &destination);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not get the Destination Line while enabling. mmResult=%d\n", mmResult);
        return;
    }

    std::unique_ptr<MIXERCONTROLA[]> controls = AllocateArray<MIXERCONTROLA>(destination.cControls);
    if (!controls) {
        TRACE(".InputXxxVolume: FAILURE: Out of memory while enabling the line.\n");
        return;
    }
    for (DWORD i = 0; i < destination.cControls; i++) {
        controls[i] = MIXERCONTROLA{};
        controls[i].cbStruct = sizeof(MIXERCONTROLA);
    }

    MIXERLINECONTROLSA lineControls{};
    lineControls.cbStruct = sizeof(MIXERLINECONTROLSA);
    lineControls.dwLineID = destination.dwLineID;
    lineControls.cControls = destination.cControls;
    lineControls.cbmxctrl = sizeof(MIXERCONTROLA);
    lineControls.pamxctrl = controls.get();
    mmResult = AudioServices().mixerGetLineControlsA(MixerObject(m_hMixer), &lineControls, MIXER_GETLINECONTROLSF_ALL);

    BOOL bEnabled = FALSE;
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not get the line's controls while enabling. mmResult=%d\n", mmResult);
    } else {
        for (DWORD i = 0; i < destination.cControls; i++) {
            if (EnableLineControl(controls[i], destination.cChannels))
                bEnabled = TRUE;
        }
    }
    if (!bEnabled)
        TRACE(".InputXxxVolume: WARNING: No controls were found for enabling the line.\n");
}

// Sets a boolean control of the recording destination so that our source line is recorded:
// a selector gets only the item at our source index, a single switch gets every channel on.
BOOL CInputLineVolume::EnableLineControl(const MIXERCONTROLA& control, DWORD dwDestinationChannels)
{
    if ((control.dwControlType & MIXERCONTROL_CT_UNITS_MASK) != MIXERCONTROL_CT_UNITS_BOOLEAN)
        return FALSE;
    // A mute switch is boolean too, but turning it on would silence the recording.
    if (control.dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE)
        return FALSE;
    DWORD cChannels = (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : dwDestinationChannels;
    DWORD cItems = (control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? control.cMultipleItems : 0;
    size_t itemsPerChannel = cItems ? cItems : 1;
    size_t count = static_cast<size_t>(cChannels) * itemsPerChannel;

    std::unique_ptr<DWORD[]> values = AllocateArray<DWORD>(count);
    if (!values) {
        TRACE(".InputXxxVolume: FAILURE: Out of memory while enabling the line.\n");
        return FALSE;
    }
    // Values are laid out channel by channel; the item index is taken to be the source index.
    for (size_t i = 0; i < count; i++)
        values[i] = cItems ? (i % itemsPerChannel == m_uSourceIndex) : 1;

    MIXERCONTROLDETAILS details = ValueDetails(control.dwControlID, cChannels, cItems, values.get());
    if (AudioServices().mixerSetControlDetails(MixerObject(m_hMixer), &details, MIXER_SETCONTROLDETAILSF_VALUE) !=
        MMSYSERR_NOERROR)
        return FALSE;
    TRACE(".InputXxxVolume: Enabling Line: Line control \"%s\" has been enabled.\n", control.szShortName);
    return TRUE;
}

void CInputLineVolume::DeselectLine()
{
    TRACE(".InputXxxVolume: WARNING: Disable line has no sense. The function not implemented.\n");
}

DWORD CInputLineVolume::GetVolumeSteps()
{
    return m_bHasVolume ? m_dwVolumeSteps : static_cast<DWORD>(-1);
}

DWORD CInputLineVolume::GetVolumeMin()
{
    return m_bHasVolume ? m_dwVolumeMin : static_cast<DWORD>(-1);
}

DWORD CInputLineVolume::GetVolumeMax()
{
    return m_bHasVolume ? m_dwVolumeMax : static_cast<DWORD>(-1);
}

DWORD CInputLineVolume::GetVolume()
{
    if (!m_bHasVolume)
        return static_cast<DWORD>(-1);
    std::unique_ptr<DWORD[]> values = AllocateArray<DWORD>(m_nChannels);
    if (!values)
        return static_cast<DWORD>(-1);
    // Some mixers report success without writing a value (Wine's source-line controls):
    // what is left then reads as no value rather than as whatever the memory held.
    for (DWORD i = 0; i < m_nChannels; i++)
        values[i] = static_cast<DWORD>(-1);
    MIXERCONTROLDETAILS details = ValueDetails(m_dwVolumeControlID, m_nChannels, 0, values.get());
    MMRESULT mmResult =
        AudioServices().mixerGetControlDetailsA(MixerObject(m_hMixer), &details, MIXER_GETCONTROLDETAILSF_VALUE);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not get volume. mmResult=%d\n", mmResult);
        return static_cast<DWORD>(-1);
    }
    return values[0];
}

void CInputLineVolume::SetVolume(DWORD dwVolume)
{
    if (!m_bHasVolume || dwVolume < m_dwVolumeMin || dwVolume > m_dwVolumeMax)
        return;
    std::unique_ptr<DWORD[]> values = AllocateArray<DWORD>(m_nChannels);
    if (!values)
        return;
    for (DWORD i = 0; i < m_nChannels; i++)
        values[i] = dwVolume;
    MIXERCONTROLDETAILS details = ValueDetails(m_dwVolumeControlID, m_nChannels, 0, values.get());
    MMRESULT mmResult =
        AudioServices().mixerSetControlDetails(MixerObject(m_hMixer), &details, MIXER_SETCONTROLDETAILSF_VALUE);
    if (mmResult != MMSYSERR_NOERROR)
        TRACE(".InputXxxVolume: FAILURE: Could not set volume(%d) mmResult=%d\n", static_cast<int>(dwVolume), mmResult);
}

void CInputLineVolume::SetChangeNotify(VOLUMECHANGEPROC pfnNotify, DWORD_PTR dwUser)
{
    m_pfnNotify = pfnNotify;
    m_pNotifyUser = dwUser;
}

void CInputLineVolume::OnControlChange(DWORD dwControlID)
{
    if (dwControlID != m_dwVolumeControlID)
        return;
    DWORD dwVolume = GetVolume();
    if (dwVolume != static_cast<DWORD>(-1) && m_pfnNotify)
        m_pfnNotify(dwVolume, m_pNotifyUser);
}

void CInputLineVolume::NotifyControlChange(DWORD dwControlID)
{
    if (s_pCurrent)
        s_pCurrent->OnControlChange(dwControlID);
}

BOOL CInputLineVolume::EnumSourceLines(UINT uDeviceID, SOURCELINEPROC proc, DWORD_PTR dwUser)
{
    if (!proc)
        return FALSE;
    UINT uMixerID = 0;
    if (!GetMixerOfWaveIn(uDeviceID, &uMixerID))
        return FALSE;
    HMIXER hMixer = nullptr;
    MMRESULT mmResult = AudioServices().mixerOpen(&hMixer, uMixerID, 0, 0, CALLBACK_NULL);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not open Mixer. mmResult=%d\n", mmResult);
        return FALSE;
    }
    BOOL bVisited = VisitSourceLines(hMixer, proc, dwUser);
    AudioServices().mixerClose(hMixer);
    return bVisited;
}

BOOL CInputLineVolume::VisitSourceLines(HMIXER hMixer, SOURCELINEPROC proc, DWORD_PTR dwUser)
{
    MIXERLINEA destination;
    MMRESULT mmResult = GetRecordingDestination(hMixer, &destination);
    if (mmResult != MMSYSERR_NOERROR) {
        TRACE(".InputXxxVolume: FAILURE: Could not get WaveIn Destionation Line for the requested source while "
              "enumerating. mmResult=%d\n",
              mmResult);
        return FALSE;
    }
    for (UINT i = 0; i < destination.cConnections; i++) {
        MIXERLINEA line;
        mmResult = GetSourceLine(hMixer, destination.dwDestination, i, &line);
        if (mmResult != MMSYSERR_NOERROR) {
            TRACE(".InputXxxVolume: FAILURE: Could not get the interated Source Line while enumerating. "
                  "mmResult=%d\n",
                  mmResult);
            return FALSE;
        }
        if (!proc(i, &line, dwUser))
            break;
    }
    return TRUE;
}
