#include "support/MixerModel.h"
#include <algorithm>
#include <cstdio>

namespace {
const UINT_PTR MIXER_HANDLES = 0x4D00, WAVEIN_HANDLES = 0x5700;
// Not the first destination, as on most cards: it must be asked for by type.
const DWORD RECORDING = 1;
}

// The call fails as scripted, or else the model answers it.
#define SCRIPTED(name) LONG_PTR result; if (Failing(name, &result)) return static_cast<MMRESULT>(result)

// Opened without a callback, only to ask for its mixer: the model's device.
MMRESULT CMixerModel::waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                                 DWORD_PTR instance, DWORD flags)
{
    SCRIPTED("waveInOpen");
    if ((flags & CALLBACK_TYPEMASK) != CALLBACK_NULL)
        return CWinmmServices::waveInOpen(handle, device, format, callback, instance, flags);
    *handle = reinterpret_cast<HWAVEIN>(WAVEIN_HANDLES + device);
    return device < devices.size() ? MMSYSERR_NOERROR : MMSYSERR_BADDEVICEID;
}

MMRESULT CMixerModel::waveInClose(HWAVEIN handle)
{
    const UINT_PTR device = reinterpret_cast<UINT_PTR>(handle) - WAVEIN_HANDLES;
    return device < devices.size() ? MMSYSERR_NOERROR : CWinmmServices::waveInClose(handle);
}

UINT CMixerModel::mixerGetNumDevs() { SCRIPTED("mixerGetNumDevs"); return static_cast<UINT>(devices.size()); }

// The mixer of a wave-input device is the model's device of the same index.
MMRESULT CMixerModel::mixerGetID(HMIXEROBJ object, UINT* id, DWORD)
{
    SCRIPTED("mixerGetID");
    *id = static_cast<UINT>(reinterpret_cast<UINT_PTR>(object) - WAVEIN_HANDLES);
    return *id < devices.size() ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT CMixerModel::mixerOpen(HMIXER* handle, UINT id, DWORD_PTR, DWORD_PTR, DWORD)
{
    SCRIPTED("mixerOpen");
    *handle = reinterpret_cast<HMIXER>(MIXER_HANDLES + id);
    return id < devices.size() ? MMSYSERR_NOERROR : MMSYSERR_BADDEVICEID;
}

MixerLine* CMixerModel::Line(HMIXEROBJ object, DWORD id)
{
    UINT_PTR device = reinterpret_cast<UINT_PTR>(object) - MIXER_HANDLES;
    return device < devices.size() && (id >> 8) < devices[device].size() ? &devices[device][id >> 8] : nullptr;
}

MMRESULT CMixerModel::mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags)
{
    SCRIPTED("mixerGetLineInfoA");
    const UINT_PTR device = reinterpret_cast<UINT_PTR>(object) - MIXER_HANDLES;
    const bool source = flags == MIXER_GETLINEINFOF_SOURCE;
    const DWORD place = source ? line->dwSource + 1 : 0;
    const MixerLine* found = Line(object, place << 8);
    if (!found || (source ? line->dwDestination != RECORDING : line->dwComponentType != found->type))
        return MIXERR_INVALLINE;
    *line = MIXERLINEA{};
    line->cbStruct = sizeof(MIXERLINEA);
    line->dwDestination = RECORDING;
    line->dwSource = source ? place - 1 : 0;
    line->dwLineID = place << 8;
    line->dwComponentType = found->type;
    line->cChannels = found->channels;
    line->cConnections = source ? 0 : static_cast<DWORD>(devices[device].size() - 1);
    line->cControls = static_cast<DWORD>(found->controls.size());
    snprintf(line->szShortName, sizeof line->szShortName, "%s", found->name.c_str());
    return MMSYSERR_NOERROR;
}

MMRESULT CMixerModel::mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* request, DWORD flags)
{
    SCRIPTED("mixerGetLineControlsA");
    const MixerLine* line = Line(object, request->dwLineID);
    DWORD filled = 0;
    for (DWORD i = 0; line && i < line->controls.size() && filled < request->cControls; i++) {
        const MixerControl& control = line->controls[i];
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

MMRESULT CMixerModel::Details(HMIXEROBJ object, MIXERCONTROLDETAILS* details, bool set)
{
    MixerLine* line = Line(object, details->dwControlID & ~0xFFu);
    if (!line || (details->dwControlID & 0xFF) >= line->controls.size())
        return MIXERR_INVALCONTROL;
    Values& current = line->controls[details->dwControlID & 0xFF].values;
    DWORD* values = static_cast<DWORD*>(details->paDetails);
    const size_t count = details->cChannels * std::max<DWORD>(1, details->cMultipleItems);
    if (set)
        current.assign(values, values + count);
    else if (!valuesUnreadable)
        std::copy_n(current.begin(), std::min(count, current.size()), values);
    return MMSYSERR_NOERROR;
}
