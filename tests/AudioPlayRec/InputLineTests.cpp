// The engine's input line against a scripted mixer: which source lines are the microphone
// and the line input, choosing one as the recording source with a volume, reading it back,
// and finding the first device with a usable mixer.
#include "AudioPlayRec.h"
#include "support/FakeMixer.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>

namespace {

const DWORD NONE = static_cast<DWORD>(-1);

struct Line {
    const char* name;
    DWORD type;
};

// Every line has a volume control whose current value tells the line apart: base + index.
FakeMixerDevice& AddDevice(CFakeMixer& mixer, const std::vector<Line>& lines, DWORD base)
{
    FakeMixerDevice& device = mixer.AddDevice();
    for (size_t i = 0; i < lines.size(); i++) {
        device.sources.push_back(FakeLineWithVolume(mixer, lines[i].name, lines[i].type, 2, 0, 65535));
        device.sources.back().controls[0].values.assign(2, base + static_cast<DWORD>(i));
    }
    device.destinationControls.push_back(FakeSwitch(mixer, "Select", MIXERCONTROL_CONTROLTYPE_MUX,
                                                    MIXERCONTROL_CONTROLF_MULTIPLE | MIXERCONTROL_CONTROLF_UNIFORM,
                                                    static_cast<DWORD>(lines.size())));
    return device;
}

class EngineInputLineTest : public ::testing::Test {
protected:
    CFakeMixer mixer;
    CapturedTrace trace;
    CAudioPlayRec engine;

    // The source indexes the engine holds for the microphone and the line input.
    std::pair<DWORD, DWORD> Sources(DWORD base)
    {
        return {engine.GetInputLineVolume(FALSE, nullptr, nullptr) - base,
                engine.GetInputLineVolume(TRUE, nullptr, nullptr) - base};
    }
};

TEST_F(EngineInputLineTest, SelectingADeviceFindsItsMicrophoneAndLineIn)
{
    const DWORD MIC = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, LINE = MIXERLINE_COMPONENTTYPE_SRC_LINE,
                CD = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, AUX = MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY,
                OTHER = MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
    struct Case {
        const char* name;
        std::vector<Line> lines;
        DWORD mic, lineIn;
    } cases[] = {
        {"by component type", {{"CD", CD}, {"Mic", MIC}, {"Line", LINE}}, 1, 2},
        {"by name in any case", {{"MicroPhone Boost", AUX}, {"Rear LINE IN", OTHER}, {"CD", CD}}, 0, 1},
        {"last match wins", {{"Mic", MIC}, {"Line", LINE}, {"microphone 2", OTHER}, {"line in 2", OTHER}}, 2, 3},
        {"both is the microphone", {{"CD", CD}, {"Microphone", LINE}, {"Line In", MIC}}, 2, 0},
        {"neither", {{"CD", CD}, {"Aux", AUX}, {"Microphone", OTHER}}, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeMixer scripted;
        AddDevice(scripted, c.lines, 1000);
        CAudioPlayRec fresh;
        fresh.SetDevice(0);
        EXPECT_EQ(c.mic, fresh.GetInputLineVolume(FALSE, nullptr, nullptr) - 1000);
        EXPECT_EQ(c.lineIn, fresh.GetInputLineVolume(TRUE, nullptr, nullptr) - 1000);
    }
}

TEST_F(EngineInputLineTest, EverySourceLineIsTracedWithItsLowerCaseName)
{
    AddDevice(mixer,
              {{"MIC Boost", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}, {"Line", MIXERLINE_COMPONENTTYPE_SRC_LINE}}, 0);
    engine.SetDevice(0);
    EXPECT_EQ((std::vector<std::string>{"csShortName = mic boost, dwComponentType = 4099\n",
                                        "csShortName = line, dwComponentType = 4098\n"}),
              trace.lines);
    EXPECT_EQ(0, mixer.openMixers);
}

TEST_F(EngineInputLineTest, ADeviceWithoutSuchLinesKeepsThePreviousIndexes)
{
    AddDevice(mixer, {{"CD", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC}, {"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE},
                      {"Line", MIXERLINE_COMPONENTTYPE_SRC_LINE}},
              1000);
    AddDevice(mixer, {{"CD", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC}, {"Aux", MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY},
                      {"Aux", MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY}},
              2000);
    engine.SetDevice(0);
    engine.SetDevice(1);
    EXPECT_EQ(std::make_pair(DWORD(1), DWORD(2)), Sources(2000));
}

TEST_F(EngineInputLineTest, SetInputLineSetsTheVolumeThenSelectsTheLine)
{
    FakeMixerDevice& device = AddDevice(mixer, {{"CD", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC},
                                                {"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE},
                                                {"Line", MIXERLINE_COMPONENTTYPE_SRC_LINE}},
                                        1000);
    device.sources[2].controls[0].minimum = 10;
    device.sources[2].controls[0].maximum = 500;
    engine.SetDevice(0);

    struct Case {
        BOOL bLineIn;
        DWORD requested;
        size_t source;
        DWORD applied;
    } cases[] = {{FALSE, 1234, 1, 1234}, {TRUE, NONE, 2, 500}, {TRUE, 20, 2, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "line in " << c.bLineIn << ", volume " << c.requested);
        mixer.sets.clear();
        engine.SetInputLine(c.bLineIn, c.requested);
        ASSERT_EQ(2u, mixer.sets.size()) << "the volume, then the selector";
        EXPECT_EQ(device.sources[c.source].controls[0].id, mixer.sets[0].controlId);
        EXPECT_EQ((std::vector<DWORD>{c.applied, c.applied}), mixer.sets[0].values);
        EXPECT_EQ(device.destinationControls[0].id, mixer.sets[1].controlId);
        std::vector<DWORD> selected(3, 0);
        selected[c.source] = 1;
        EXPECT_EQ(selected, mixer.sets[1].values);

        DWORD maximum = 0, minimum = 0;
        EXPECT_EQ(c.applied, engine.GetInputLineVolume(c.bLineIn, &maximum, &minimum));
        EXPECT_EQ(c.source == 2 ? 500u : 65535u, maximum);
        EXPECT_EQ(c.source == 2 ? 10u : 0u, minimum);
    }
    EXPECT_EQ(0, mixer.openMixers);
}

TEST_F(EngineInputLineTest, LineWithoutVolumeControlIsNeitherSetNorSelected)
{
    FakeMixerDevice& device = AddDevice(mixer, {{"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}}, 0);
    device.sources[0].controls[0].flags = MIXERCONTROL_CONTROLF_DISABLED;
    engine.SetDevice(0);
    for (DWORD volume : {NONE, DWORD(100)})
        engine.SetInputLine(FALSE, volume);
    EXPECT_TRUE(mixer.sets.empty());
    DWORD maximum = 0, minimum = 0;
    EXPECT_EQ(NONE, engine.GetInputLineVolume(FALSE, &maximum, &minimum));
    EXPECT_EQ(NONE, maximum);
    EXPECT_EQ(NONE, minimum);
}

TEST_F(EngineInputLineTest, NoMixerAtAll)
{
    AddDevice(mixer, {{"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}}, 0);
    mixer.mixerCount = 0;
    engine.SetDevice(0);
    mixer.calls.clear();
    engine.SetInputLine(FALSE, NONE);
    engine.SetInputLine(TRUE, 5);
    DWORD maximum = 0, minimum = 0;
    EXPECT_EQ(NONE, engine.GetInputLineVolume(FALSE, &maximum, &minimum));
    EXPECT_EQ(NONE, maximum);
    EXPECT_EQ(NONE, minimum);
    EXPECT_EQ(-1, engine.FindMixerDevice());
    for (const std::string& call : mixer.calls)
        EXPECT_TRUE(call == "mixerGetNumDevs" || call == "waveInGetNumDevs") << call;
}

TEST_F(EngineInputLineTest, FindMixerDeviceTakesTheFirstWithAUsableVolumeOnItsFirstLine)
{
    EXPECT_EQ(-1, engine.FindMixerDevice()) << "no device at all";

    AddDevice(mixer, {{"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}}, 0).getIdResult = MMSYSERR_NODRIVER;
    AddDevice(mixer, {{"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}}, 0).sources[0].controls[0].flags =
        MIXERCONTROL_CONTROLF_DISABLED;
    FakeMixerDevice& noFirstVolume = AddDevice(mixer, {{"CD", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC},
                                                       {"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}},
                                               0);
    noFirstVolume.sources[0].controls.clear();
    EXPECT_EQ(-1, engine.FindMixerDevice());

    AddDevice(mixer, {{"Line", MIXERLINE_COMPONENTTYPE_SRC_LINE}}, 0);
    AddDevice(mixer, {{"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}}, 0);
    EXPECT_EQ(3, engine.FindMixerDevice());
    EXPECT_EQ(0, mixer.openMixers);
    EXPECT_EQ(0, mixer.openWaveIns);
}

} // namespace
