#include "FakeMixer.h"
#include <algorithm>
#include <cstdio>

namespace {

const UINT_PTR WAVEIN_HANDLE_BASE = 0xB000;
const UINT_PTR MIXER_HANDLE_BASE = 0xA000;
// The recording destination is not the mixer's first one, as on most cards.
const DWORD DESTINATION_INDEX = 1;
// MIXER_OBJECTF_HANDLE and the object type that goes with it.
const DWORD OBJECT_TYPE_BITS = 0xF0000000;

DWORD DestinationLineId(size_t device)
{
    return static_cast<DWORD>(((device + 1) << 16) | 0xFFFF);
}

DWORD SourceLineId(size_t device, size_t source)
{
    return static_cast<DWORD>(((device + 1) << 16) | source);
}

void CopyName(char* target, size_t size, const std::string& name)
{
    snprintf(target, size, "%s", name.c_str());
}

void FillControl(MIXERCONTROLA* record, const FakeControl& control)
{
    *record = MIXERCONTROLA{};
    record->cbStruct = sizeof(MIXERCONTROLA);
    record->dwControlID = control.id;
    record->dwControlType = control.type;
    record->fdwControl = control.flags;
    record->cMultipleItems = control.items;
    CopyName(record->szShortName, sizeof record->szShortName, control.name);
    CopyName(record->szName, sizeof record->szName, control.name);
    record->Bounds.dwMinimum = control.minimum;
    record->Bounds.dwMaximum = control.maximum;
    record->Metrics.cSteps = control.steps;
}

// How many 4-byte values a detail call on `control` carries, or 0 if WinMM would refuse it.
size_t DetailCount(const FakeControl& control, DWORD lineChannels, const MIXERCONTROLDETAILS& details)
{
    if (details.cbStruct != sizeof(MIXERCONTROLDETAILS) || details.cbDetails != sizeof(DWORD) || !details.paDetails)
        return 0;
    DWORD channels = (control.flags & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : lineChannels;
    if (details.cChannels != channels)
        return 0;
    DWORD items = (control.flags & MIXERCONTROL_CONTROLF_MULTIPLE) ? control.items : 0;
    if (details.cMultipleItems != items)
        return 0;
    return static_cast<size_t>(channels) * (items ? items : 1);
}

} // namespace

CFakeMixer::CFakeMixer() : m_previous(SetAudioServices(this)) {}

CFakeMixer::~CFakeMixer()
{
    SetAudioServices(m_previous);
}

FakeMixerDevice& CFakeMixer::AddDevice()
{
    devices.emplace_back();
    return devices.back();
}

FakeControl* CFakeMixer::Control(DWORD id)
{
    DWORD channels;
    return FindControl(id, &channels);
}

UINT CFakeMixer::waveInGetNumDevs()
{
    calls.push_back("waveInGetNumDevs");
    return static_cast<UINT>(devices.size());
}

MMRESULT CFakeMixer::waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size)
{
    calls.push_back("waveInGetDevCapsA");
    if (device >= devices.size())
        return MMSYSERR_BADDEVICEID;
    if (size < sizeof(WAVEINCAPSA))
        return MMSYSERR_INVALPARAM;
    *caps = WAVEINCAPSA{};
    CopyName(caps->szPname, sizeof caps->szPname, devices[device].name);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeMixer::waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT size)
{
    snprintf(text, size, "fake wave-in error %u", error);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeMixer::waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size)
{
    snprintf(text, size, "fake wave-out error %u", error);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeMixer::waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                                DWORD_PTR, DWORD flags)
{
    calls.push_back("waveInOpen");
    probeFormats.push_back(*format);
    if (device >= devices.size())
        return MMSYSERR_BADDEVICEID;
    if ((flags & CALLBACK_TYPEMASK) != CALLBACK_NULL || callback)
        return MMSYSERR_NOTSUPPORTED;
    if (devices[device].waveInOpenResult != MMSYSERR_NOERROR)
        return devices[device].waveInOpenResult;
    *handle = reinterpret_cast<HWAVEIN>(WAVEIN_HANDLE_BASE + device);
    openWaveIns++;
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeMixer::waveInClose(HWAVEIN handle)
{
    calls.push_back("waveInClose");
    UINT_PTR device = reinterpret_cast<UINT_PTR>(handle) - WAVEIN_HANDLE_BASE;
    if (device >= devices.size() || openWaveIns == 0)
        return MMSYSERR_INVALHANDLE;
    openWaveIns--;
    return MMSYSERR_NOERROR;
}

UINT CFakeMixer::mixerGetNumDevs()
{
    calls.push_back("mixerGetNumDevs");
    return mixerCount == static_cast<UINT>(-1) ? static_cast<UINT>(devices.size()) : mixerCount;
}

MMRESULT CFakeMixer::mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags)
{
    calls.push_back("mixerGetID");
    UINT_PTR device = reinterpret_cast<UINT_PTR>(object) - WAVEIN_HANDLE_BASE;
    if (flags != MIXER_OBJECTF_HWAVEIN || device >= devices.size() || openWaveIns == 0)
        return MMSYSERR_INVALHANDLE;
    if (devices[device].getIdResult != MMSYSERR_NOERROR)
        return devices[device].getIdResult;
    *id = static_cast<UINT>(device);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeMixer::mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR, DWORD flags)
{
    calls.push_back("mixerOpen");
    openCallbacks.push_back(callback);
    openFlags.push_back(flags);
    if (id >= devices.size())
        return MMSYSERR_BADDEVICEID;
    if (devices[id].openResult != MMSYSERR_NOERROR)
        return devices[id].openResult;
    *handle = reinterpret_cast<HMIXER>(MIXER_HANDLE_BASE + id);
    m_openMixerDevices.push_back(id);
    openMixers++;
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeMixer::mixerClose(HMIXER handle)
{
    calls.push_back("mixerClose");
    size_t device = reinterpret_cast<UINT_PTR>(handle) - MIXER_HANDLE_BASE;
    auto open = std::find(m_openMixerDevices.begin(), m_openMixerDevices.end(), device);
    if (open == m_openMixerDevices.end())
        return MMSYSERR_INVALHANDLE;
    // A failing close still releases the handle, as a driver that cannot be told would.
    m_openMixerDevices.erase(open);
    openMixers--;
    return devices[device].closeResult;
}

FakeMixerDevice* CFakeMixer::OpenDevice(HMIXEROBJ object)
{
    size_t device = reinterpret_cast<UINT_PTR>(object) - MIXER_HANDLE_BASE;
    if (std::find(m_openMixerDevices.begin(), m_openMixerDevices.end(), device) == m_openMixerDevices.end())
        return nullptr;
    return &devices[device];
}

MMRESULT CFakeMixer::mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags)
{
    calls.push_back("mixerGetLineInfoA");
    FakeMixerDevice* device = OpenDevice(object);
    if (!device || (flags & OBJECT_TYPE_BITS) != 0)
        return MMSYSERR_INVALHANDLE;
    if (line->cbStruct != sizeof(MIXERLINEA))
        return MMSYSERR_INVALPARAM;
    size_t index = device - devices.data();
    switch (flags & MIXER_GETLINEINFOF_QUERYMASK) {
    case MIXER_GETLINEINFOF_COMPONENTTYPE:
        if (line->dwComponentType != MIXERLINE_COMPONENTTYPE_DST_WAVEIN)
            return MIXERR_INVALLINE;
        if (device->destinationResult != MMSYSERR_NOERROR)
            return device->destinationResult;
        *line = MIXERLINEA{};
        line->cbStruct = sizeof(MIXERLINEA);
        line->dwDestination = DESTINATION_INDEX;
        line->dwLineID = DestinationLineId(index);
        line->dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
        line->cChannels = device->destinationChannels;
        line->cConnections = static_cast<DWORD>(device->sources.size());
        line->cControls = static_cast<DWORD>(device->destinationControls.size());
        CopyName(line->szShortName, sizeof line->szShortName, "Capture");
        return MMSYSERR_NOERROR;
    case MIXER_GETLINEINFOF_SOURCE: {
        if (line->dwDestination != DESTINATION_INDEX || line->dwSource >= device->sources.size())
            return MIXERR_INVALLINE;
        const FakeSourceLine& source = device->sources[line->dwSource];
        if (source.infoResult != MMSYSERR_NOERROR)
            return source.infoResult;
        DWORD sourceIndex = line->dwSource;
        *line = MIXERLINEA{};
        line->cbStruct = sizeof(MIXERLINEA);
        line->dwDestination = DESTINATION_INDEX;
        line->dwSource = sourceIndex;
        line->dwLineID = SourceLineId(index, sourceIndex);
        line->dwComponentType = source.componentType;
        line->cChannels = source.channels;
        line->cControls = static_cast<DWORD>(source.controls.size());
        CopyName(line->szShortName, sizeof line->szShortName, source.name);
        CopyName(line->szName, sizeof line->szName, source.name);
        return MMSYSERR_NOERROR;
    }
    default:
        return MMSYSERR_INVALFLAG;
    }
}

std::vector<FakeControl>* CFakeMixer::LineControls(FakeMixerDevice& device, DWORD lineId, DWORD* channels)
{
    size_t index = &device - devices.data();
    if (lineId == DestinationLineId(index)) {
        *channels = device.destinationChannels;
        return &device.destinationControls;
    }
    for (size_t i = 0; i < device.sources.size(); i++) {
        if (lineId == SourceLineId(index, i)) {
            *channels = device.sources[i].channels;
            return &device.sources[i].controls;
        }
    }
    return nullptr;
}

FakeControl* CFakeMixer::FindControl(DWORD id, DWORD* channels)
{
    for (size_t d = 0; d < devices.size(); d++) {
        std::vector<DWORD> lineIds{DestinationLineId(d)};
        for (size_t s = 0; s < devices[d].sources.size(); s++)
            lineIds.push_back(SourceLineId(d, s));
        for (DWORD lineId : lineIds) {
            std::vector<FakeControl>* controls = LineControls(devices[d], lineId, channels);
            for (FakeControl& control : *controls) {
                if (control.id == id)
                    return &control;
            }
        }
    }
    return nullptr;
}

MMRESULT CFakeMixer::mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* request, DWORD flags)
{
    calls.push_back("mixerGetLineControlsA");
    FakeMixerDevice* device = OpenDevice(object);
    if (!device || (flags & OBJECT_TYPE_BITS) != 0)
        return MMSYSERR_INVALHANDLE;
    if (request->cbStruct != sizeof(MIXERLINECONTROLSA) || request->cbmxctrl != sizeof(MIXERCONTROLA) ||
        !request->pamxctrl)
        return MMSYSERR_INVALPARAM;
    DWORD channels;
    std::vector<FakeControl>* controls = LineControls(*device, request->dwLineID, &channels);
    if (!controls)
        return MIXERR_INVALLINE;
    switch (flags & MIXER_GETLINECONTROLSF_QUERYMASK) {
    case MIXER_GETLINECONTROLSF_ONEBYTYPE: {
        if (device->volumeControlResult != MMSYSERR_NOERROR)
            return device->volumeControlResult;
        auto found = std::find_if(controls->begin(), controls->end(),
                                  [&](const FakeControl& control) { return control.type == request->dwControlType; });
        if (found == controls->end())
            return MIXERR_INVALCONTROL;
        FillControl(request->pamxctrl, *found);
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ALL:
        if (device->allControlsResult != MMSYSERR_NOERROR)
            return device->allControlsResult;
        if (request->cControls != controls->size() || controls->empty())
            return MMSYSERR_INVALPARAM;
        for (size_t i = 0; i < controls->size(); i++)
            FillControl(&request->pamxctrl[i], (*controls)[i]);
        return MMSYSERR_NOERROR;
    default:
        return MMSYSERR_INVALFLAG;
    }
}

MMRESULT CFakeMixer::mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags)
{
    calls.push_back("mixerGetControlDetailsA");
    FakeMixerDevice* device = OpenDevice(object);
    if (!device || (flags & OBJECT_TYPE_BITS) != 0)
        return MMSYSERR_INVALHANDLE;
    if ((flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) != MIXER_GETCONTROLDETAILSF_VALUE)
        return MMSYSERR_INVALFLAG;
    if (device->getDetailsResult != MMSYSERR_NOERROR)
        return device->getDetailsResult;
    DWORD channels;
    FakeControl* control = FindControl(details->dwControlID, &channels);
    if (!control)
        return MIXERR_INVALCONTROL;
    size_t count = DetailCount(*control, channels, *details);
    if (count == 0)
        return MMSYSERR_INVALPARAM;
    if (device->getDetailsWritesNothing)
        return MMSYSERR_NOERROR;
    DWORD* values = static_cast<DWORD*>(details->paDetails);
    for (size_t i = 0; i < count; i++)
        values[i] = i < control->values.size() ? control->values[i] : 0;
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeMixer::mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags)
{
    calls.push_back("mixerSetControlDetails");
    FakeMixerDevice* device = OpenDevice(object);
    if (!device || (flags & OBJECT_TYPE_BITS) != 0)
        return MMSYSERR_INVALHANDLE;
    if ((flags & MIXER_SETCONTROLDETAILSF_QUERYMASK) != MIXER_SETCONTROLDETAILSF_VALUE)
        return MMSYSERR_INVALFLAG;
    DWORD channels;
    FakeControl* control = FindControl(details->dwControlID, &channels);
    if (!control)
        return MIXERR_INVALCONTROL;
    size_t count = DetailCount(*control, channels, *details);
    if (count == 0)
        return MMSYSERR_INVALPARAM;
    const DWORD* values = static_cast<const DWORD*>(details->paDetails);
    sets.push_back(
        {control->id, details->cChannels, details->cMultipleItems, std::vector<DWORD>(values, values + count)});
    if (control->setResult != MMSYSERR_NOERROR)
        return control->setResult;
    control->values = sets.back().values;
    return MMSYSERR_NOERROR;
}

FakeSourceLine FakeLineWithVolume(CFakeMixer& mixer, const std::string& name, DWORD componentType, DWORD channels,
                                  DWORD minimum, DWORD maximum)
{
    FakeControl volume;
    volume.id = mixer.NewId();
    volume.type = MIXERCONTROL_CONTROLTYPE_VOLUME;
    volume.name = name + " Volume";
    volume.minimum = minimum;
    volume.maximum = maximum;
    volume.steps = 100;
    volume.values.assign(channels, maximum);
    FakeSourceLine line;
    line.name = name;
    line.componentType = componentType;
    line.channels = channels;
    line.controls.push_back(volume);
    return line;
}

FakeControl FakeSwitch(CFakeMixer& mixer, const std::string& name, DWORD type, DWORD flags, DWORD items)
{
    FakeControl control;
    control.id = mixer.NewId();
    control.type = type;
    control.flags = flags;
    control.items = items;
    control.name = name;
    control.minimum = 0;
    control.maximum = 1;
    return control;
}
