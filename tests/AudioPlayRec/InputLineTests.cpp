// The engine's input line on a modelled mixer: which source lines of a device are the
// microphone and the line input, and which device the dialog starts with.
#include "AudioPlayRec.h"
#include "support/MixerModel.h"
#include <gtest/gtest.h>

namespace {

const DWORD MIC = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, LINE = MIXERLINE_COMPONENTTYPE_SRC_LINE,
            CD = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, OTHER = MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;

// Each line's volume is `base` + its index, so a volume read tells which line was taken.
MixerDevice Lines(const std::vector<std::pair<const char*, DWORD>>& lines, DWORD base = 1000)
{
    MixerDevice device{Recording({Selector(static_cast<DWORD>(lines.size()))})};
    for (const auto& line : lines)
        device.push_back({line.first, line.second, {Volume(base + static_cast<DWORD>(device.size()) - 1)}});
    return device;
}

// Catches the microphone or line input taken from the wrong line: the user would record the CD.
TEST(EngineInputLine, SelectingADeviceFindsItsMicrophoneAndLineIn)
{
    CAudioPlayRec engine;
    const struct {
        std::vector<std::pair<const char*, DWORD>> lines;
        DWORD mic, lineIn;
    } rows[] = {
        {{{"Line", LINE}, {"CD", CD}, {"Mic", MIC}}, 2, 0},
        {{{"MicroPhone Boost", OTHER}, {"Rear LINE IN", OTHER}, {"CD", CD}}, 0, 1},
        {{{"Mic", MIC}, {"Line", LINE}, {"microphone 2", OTHER}, {"line in 2", OTHER}}, 2, 3},
        // A line that is both counts as the microphone; without a line input the previous
        // device's index stays.
        {{{"Line In", MIC}, {"Microphone", LINE}, {"CD", CD}}, 1, 2},
        {{{"Microphone", OTHER}, {"Aux", OTHER}, {"CD", CD}}, 0, 2},
    };
    for (const auto& row : rows) {
        CMixerModel mixer({Lines({{"CD", CD}, {"Mic", MIC}, {"Line", LINE}}), Lines(row.lines)});
        engine.SetDevice(0);
        engine.SetDevice(1);
        EXPECT_EQ(1000 + row.mic, engine.GetInputLineVolume(FALSE, nullptr, nullptr)) << row.lines[0].first;
        EXPECT_EQ(1000 + row.lineIn, engine.GetInputLineVolume(TRUE, nullptr, nullptr)) << row.lines[0].first;
    }
}

// Catches a start-up device whose volume sliders would move nothing.
TEST(EngineInputLine, TheDialogStartsWithTheFirstDeviceWithAUsableVolume)
{
    CAudioPlayRec engine;
    MixerDevice noVolume = Lines({{"CD", CD}, {"Mic", MIC}}), disabled = Lines({{"Mic", MIC}});
    noVolume[1].controls.clear();
    disabled[1].controls[0].flags = MIXERCONTROL_CONTROLF_DISABLED;
    const MixerDevice usable = Lines({{"Line", LINE}});
    const struct {
        std::vector<MixerDevice> devices;
        int found;
    } rows[] = {{{usable, usable}, 0}, {{noVolume, usable}, 1}, {{disabled, usable}, 1}, {{noVolume, disabled}, -1}};
    for (const auto& row : rows) {
        CMixerModel mixer(row.devices);
        EXPECT_EQ(row.found, engine.FindMixerDevice());
    }
}

} // namespace
