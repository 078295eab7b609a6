#include "support/MixerModel.h"
#include <algorithm>
#include <cstdio>

namespace {
const UINT_PTR HANDLE_BASE = 0x4D00;
// Not the first destination, as on most cards: the code must ask for it by type.
const DWORD RECORDING = 1;

DWORD LineId(DWORD slot) { return slot << 8; }
}

// The call fails as scripted, or else the model answers it.
#define SCRIPTED(name)                                                                                                 \
    LONG_PTR result;                                                                                                   \
    if (Failing(name, &result))                                                                                        \
    return static_cast<MMRESULT>(result)

MMRESULT CMixerModel::waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                                 DWORD_PTR instance, DWORD flags)
{
    m_probedDevice = device == WAVE_MAPPER ? 0 : device;
    return CTestAudioServices::waveInOpen(handle, device, format, callback, instance, flags);
}

UINT CMixerModel::mixerGetNumDevs()
{
    SCRIPTED("mixerGetNumDevs");
    return static_cast<UINT>(devices.size());
}

MMRESULT CMixerModel::mixerGetID(HMIXEROBJ, UINT* id, DWORD)
{
    SCRIPTED("mixerGetID");
    *id = m_probedDevice;
    return m_probedDevice < devices.size() ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
}

MMRESULT CMixerModel::mixerOpen(HMIXER* handle, UINT id, DWORD_PTR, DWORD_PTR, DWORD)
{
    SCRIPTED("mixerOpen");
    *handle = reinterpret_cast<HMIXER>(HANDLE_BASE + id);
    return id < devices.size() ? MMSYSERR_NOERROR : MMSYSERR_BADDEVICEID;
}

MMRESULT CMixerModel::mixerClose(HMIXER handle)
{
    SCRIPTED("mixerClose");
    return Device(reinterpret_cast<HMIXEROBJ>(handle)) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MixerDevice* CMixerModel::Device(HMIXEROBJ object)
{
    UINT_PTR index = reinterpret_cast<UINT_PTR>(object) - HANDLE_BASE;
    return index < devices.size() ? &devices[index] : nullptr;
}

std::vector<MixerControl>* CMixerModel::Controls(MixerDevice& device, DWORD slot, DWORD* channels)
{
    if (slot == 0) {
        *channels = device.channels;
        return &device.destination;
    }
    if (slot > device.sources.size())
        return nullptr;
    *channels = device.sources[slot - 1].channels;
    return &device.sources[slot - 1].controls;
}

MixerControl* CMixerModel::Control(HMIXEROBJ object, DWORD id)
{
    MixerDevice* device = Device(object);
    DWORD channels;
    std::vector<MixerControl>* controls = device ? Controls(*device, id >> 8, &channels) : nullptr;
    return controls && (id & 0xFF) < controls->size() ? &(*controls)[id & 0xFF] : nullptr;
}

MMRESULT CMixerModel::mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags)
{
    SCRIPTED("mixerGetLineInfoA");
    MixerDevice* device = Device(object);
    if (!device)
        return MMSYSERR_INVALHANDLE;
    DWORD slot = 0;
    if (flags == MIXER_GETLINEINFOF_SOURCE) {
        if (line->dwDestination != RECORDING || line->dwSource >= device->sources.size())
            return MIXERR_INVALLINE;
        slot = line->dwSource + 1;
    } else if (flags != MIXER_GETLINEINFOF_COMPONENTTYPE || line->dwComponentType != MIXERLINE_COMPONENTTYPE_DST_WAVEIN) {
        return MIXERR_INVALLINE;
    }
    const MixerLine source = slot ? device->sources[slot - 1] : MixerLine{"Capture", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, {}};
    *line = MIXERLINEA{};
    line->cbStruct = sizeof(MIXERLINEA);
    line->dwDestination = RECORDING;
    line->dwSource = slot ? slot - 1 : 0;
    line->dwLineID = LineId(slot);
    line->dwComponentType = source.type;
    line->cConnections = slot ? 0 : static_cast<DWORD>(device->sources.size());
    line->cControls = static_cast<DWORD>(Controls(*device, slot, &line->cChannels)->size());
    snprintf(line->szShortName, sizeof line->szShortName, "%s", source.name.c_str());
    return MMSYSERR_NOERROR;
}

MMRESULT CMixerModel::mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* request, DWORD flags)
{
    SCRIPTED("mixerGetLineControlsA");
    MixerDevice* device = Device(object);
    DWORD channels;
    std::vector<MixerControl>* controls = device ? Controls(*device, request->dwLineID >> 8, &channels) : nullptr;
    if (!controls)
        return MIXERR_INVALLINE;
    DWORD filled = 0;
    for (DWORD i = 0; i < controls->size() && filled < request->cControls; i++) {
        const MixerControl& control = (*controls)[i];
        if (flags == MIXER_GETLINECONTROLSF_ONEBYTYPE && control.type != request->dwControlType)
            continue;
        MIXERCONTROLA& record = request->pamxctrl[filled++];
        record.dwControlID = request->dwLineID | i;
        record.dwControlType = control.type;
        record.fdwControl = control.flags;
        record.cMultipleItems = control.items;
        record.Bounds.dwMinimum = control.minimum;
        record.Bounds.dwMaximum = control.maximum;
    }
    return filled ? MMSYSERR_NOERROR : MIXERR_INVALCONTROL;
}

MMRESULT CMixerModel::mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD)
{
    SCRIPTED("mixerGetControlDetailsA");
    MixerControl* control = Control(object, details->dwControlID);
    if (!control)
        return MIXERR_INVALCONTROL;
    size_t count = std::min<size_t>(details->cChannels * std::max<DWORD>(1, details->cMultipleItems), control->values.size());
    if (!valuesUnreadable)
        std::copy_n(control->values.begin(), count, static_cast<DWORD*>(details->paDetails));
    return MMSYSERR_NOERROR;
}

MMRESULT CMixerModel::mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD)
{
    SCRIPTED("mixerSetControlDetails");
    MixerControl* control = Control(object, details->dwControlID);
    if (!control)
        return MIXERR_INVALCONTROL;
    const DWORD* values = static_cast<const DWORD*>(details->paDetails);
    control->values.assign(values, values + details->cChannels * std::max<DWORD>(1, details->cMultipleItems));
    return MMSYSERR_NOERROR;
}
