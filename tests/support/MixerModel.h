// CMixerModel: WinMM for everything but the mixer, which is data: per wave-input device a
// recording destination with its controls and source lines with theirs. Wine's own mixer has
// one source line; choosing between lines needs a card with several.
#pragma once
#include "support/TestAudioServices.h"
#include <string>
#include <vector>

struct MixerControl {
    DWORD type;
    DWORD flags;
    // Channel by channel; a selector holds `items` values per channel.
    std::vector<DWORD> values;
    DWORD items = 0;
    DWORD minimum = 0;
    DWORD maximum = 65535;
};

struct MixerLine {
    std::string name;
    DWORD type;
    std::vector<MixerControl> controls;
    DWORD channels = 1;
};

struct MixerDevice {
    std::vector<MixerLine> sources;
    std::vector<MixerControl> destination;
    DWORD channels = 2;
};

inline MixerControl Volume(DWORD value, DWORD minimum = 0, DWORD maximum = 65535, DWORD channels = 1)
{
    return {MIXERCONTROL_CONTROLTYPE_VOLUME, 0, std::vector<DWORD>(channels, value), 0, minimum, maximum};
}

// A recording selector with nothing selected; uniform ones hold one channel.
inline MixerControl Selector(DWORD items, DWORD channels = 1)
{
    DWORD uniform = channels == 1 ? MIXERCONTROL_CONTROLF_UNIFORM : 0;
    return {MIXERCONTROL_CONTROLTYPE_MUX, MIXERCONTROL_CONTROLF_MULTIPLE | uniform,
            std::vector<DWORD>(items * channels, 0), items, 0, 1};
}

class CMixerModel : public CTestAudioServices {
public:
    explicit CMixerModel(std::vector<MixerDevice> model) : devices(std::move(model)) {}

    std::vector<MixerDevice> devices;
    // Reads succeed without writing a value, as Wine's source-line volumes do.
    bool valuesUnreadable = false;

    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override;
    UINT mixerGetNumDevs() override;
    MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) override;
    MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
    MMRESULT mixerClose(HMIXER handle) override;
    MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) override;
    MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;
    MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;

private:
    MixerDevice* Device(HMIXEROBJ object);
    // Slot 0 is the destination, slot n the source line n - 1.
    std::vector<MixerControl>* Controls(MixerDevice& device, DWORD slot, DWORD* channels);
    MixerControl* Control(HMIXEROBJ object, DWORD id);

    UINT m_probedDevice = 0;
};
