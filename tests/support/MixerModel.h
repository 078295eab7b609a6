// CMixerModel: WinMM for everything but the mixer, which is data: per wave-input device its
// recording destination (line 0) and source lines, each with its controls (Wine's mixer has one
// source line). A device opened to record is Wine's real one.
#pragma once
#include "support/TestAudioServices.h"
#include <string>
#include <vector>

using Values = std::vector<DWORD>;

struct MixerControl {
    DWORD type, flags;
    Values values; // channel by channel, `items` values per channel for a selector
    DWORD items = 0, minimum = 0, maximum = 65535;
};

struct MixerLine {
    std::string name;
    DWORD type;
    std::vector<MixerControl> controls;
    DWORD channels = 1;
};

using MixerDevice = std::vector<MixerLine>;

inline MixerControl Volume(DWORD value, DWORD minimum = 0, DWORD maximum = 65535, DWORD channels = 1)
{
    return {MIXERCONTROL_CONTROLTYPE_VOLUME, 0, Values(channels, value), 0, minimum, maximum};
}

// A recording selector with nothing selected; a one-channel selector is uniform.
inline MixerControl Selector(DWORD items, DWORD channels = 1)
{
    const DWORD uniform = channels == 1 ? MIXERCONTROL_CONTROLF_UNIFORM : 0;
    return {MIXERCONTROL_CONTROLTYPE_MUX, MIXERCONTROL_CONTROLF_MULTIPLE | uniform, Values(items * channels, 0), items, 0, 1};
}

inline MixerLine Recording(std::vector<MixerControl> controls)
{
    return {"Capture", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, controls, 2};
}

class CMixerModel : public CTestAudioServices {
public:
    explicit CMixerModel(std::vector<MixerDevice> model) : devices(std::move(model)) {}

    std::vector<MixerDevice> devices;
    // Reads succeed without writing a value, as Wine's source-line volumes do.
    bool valuesUnreadable = false;

    UINT waveInGetNumDevs() override { return static_cast<UINT>(devices.size()); }
    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveInClose(HWAVEIN handle) override;
    UINT mixerGetNumDevs() override;
    MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) override;
    MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
    MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) override;
    MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD) override
    {
        return Details(object, details, false);
    }
    MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD) override
    {
        return Details(object, details, true);
    }

private:
    // A line id is the line's place in its device times 256; a control id adds the control's place.
    MixerLine* Line(HMIXEROBJ object, DWORD id);
    MMRESULT Details(HMIXEROBJ object, MIXERCONTROLDETAILS* details, bool set);
};
