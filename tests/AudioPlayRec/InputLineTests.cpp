// The engine's input line on a modelled mixer: which source lines are the microphone and the
// line input, choosing one with a volume, and the device the dialog starts with.
#include "AudioPlayRec.h"
#include "support/MixerModel.h"
#include <gtest/gtest.h>

namespace {

const DWORD NONE = static_cast<DWORD>(-1);
const DWORD MIC = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, LINE = MIXERLINE_COMPONENTTYPE_SRC_LINE,
            CD = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, OTHER = MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;

// Each line's volume is `base` + its index, so a volume read tells which line was taken.
MixerDevice Lines(const std::vector<std::pair<const char*, DWORD>>& lines, DWORD base)
{
    MixerDevice device{{}, {Selector(static_cast<DWORD>(lines.size()))}};
    for (const auto& line : lines)
        device.sources.push_back({line.first, line.second, {Volume(base + static_cast<DWORD>(device.sources.size()))}});
    return device;
}

class EngineInputLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (waveInGetNumDevs() < 2)
            GTEST_SKIP() << "fewer than two capture devices";
    }
    CAudioPlayRec engine;
};

// Catches the microphone or line input taken from the wrong line: the user would record the CD.
TEST_F(EngineInputLine, SelectingADeviceFindsItsMicrophoneAndLineIn)
{
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
        CMixerModel mixer({Lines({{"CD", CD}, {"Mic", MIC}, {"Line", LINE}}, 0),
                           Lines(row.lines, 1000)});
        engine.SetDevice(0);
        engine.SetDevice(1);
        EXPECT_EQ(1000 + row.mic, engine.GetInputLineVolume(FALSE, nullptr, nullptr)) << row.lines[0].first;
        EXPECT_EQ(1000 + row.lineIn, engine.GetInputLineVolume(TRUE, nullptr, nullptr)) << row.lines[0].first;
    }
}

// Catches the wrong line set or selected, -1 not meaning the maximum, and a line without a
// usable volume being selected all the same.
TEST_F(EngineInputLine, SetInputLineSetsTheVolumeAndRecordsThatLine)
{
    const struct {
        BOOL lineIn;
        DWORD requested;
        size_t source;
        DWORD volume;
        std::vector<DWORD> selected;
    } rows[] = {{FALSE, 20, 1, 20, {0, 1, 0}}, {FALSE, NONE, 1, 500, {0, 1, 0}},
                {FALSE, 5, 1, 1001, {0, 1, 0}}, {TRUE, NONE, 2, 1002, {0, 0, 0}}};
    for (const auto& row : rows) {
        CMixerModel mixer({Lines({{"CD", CD}, {"Mic", MIC}, {"Line", LINE}}, 1000)});
        MixerDevice& card = mixer.devices[0];
        card.sources[1].controls[0].minimum = 10;
        card.sources[1].controls[0].maximum = 500;
        card.sources[2].controls[0].flags = MIXERCONTROL_CONTROLF_DISABLED;
        engine.SetDevice(0);
        engine.SetInputLine(row.lineIn, row.requested);
        EXPECT_EQ(row.volume, card.sources[row.source].controls[0].values[0]) << row.requested;
        EXPECT_EQ(row.selected, card.destination[0].values) << row.requested;
    }
}

// Catches a start-up device whose volume slider would move nothing.
TEST_F(EngineInputLine, TheDialogStartsWithTheFirstDeviceWithAUsableVolume)
{
    MixerDevice noVolume = Lines({{"CD", CD}, {"Mic", MIC}}, 0), disabled = Lines({{"Mic", MIC}}, 0);
    noVolume.sources[0].controls.clear();
    disabled.sources[0].controls[0].flags = MIXERCONTROL_CONTROLF_DISABLED;
    const MixerDevice usable = Lines({{"Line", LINE}}, 0);
    const struct {
        std::vector<MixerDevice> devices;
        int found;
    } rows[] = {{{usable, usable}, 0}, {{noVolume, usable}, 1}, {{disabled, usable}, 1}, {{noVolume, disabled}, -1},
                {{}, -1}};
    for (const auto& row : rows) {
        CMixerModel mixer(row.devices);
        EXPECT_EQ(row.found, engine.FindMixerDevice()) << row.devices.size() << " devices";
    }
}

} // namespace
