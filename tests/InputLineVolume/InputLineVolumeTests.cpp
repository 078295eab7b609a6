// CInputLineVolume on a modelled capture card: which line records at which volume once a
// volume is set and the line selected, also when the mixer cannot be used.
#include "InputLineVolume.h"
#include "support/MixerModel.h"
#include <gtest/gtest.h>

namespace {

const DWORD NONE = static_cast<DWORD>(-1);

// The recording destination has a volume, the given selector and a mute switch that is off;
// then a microphone, a stereo line input with a narrow range and a CD line.
MixerDevice Card(const MixerControl& selector)
{
    return {Recording({Volume(500), selector, {MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, {0}}}),
            {"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, {Volume(300)}},
            {"Line In", MIXERLINE_COMPONENTTYPE_SRC_LINE, {Volume(150, 100, 200, 2)}, 2},
            {"CD", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, {Volume(7)}}};
}

// Catches another line recorded, a channel left out, the recording muted, a volume outside its
// range or set where the mixer cannot be used, and a volume read that the mixer never gave.
TEST(InputLineVolume, SetAndSelectRecordThatLineAtThatVolume)
{
    const Values untouched{500, 0, 0, 0, 0, 300, 150, 150, 7};
    const struct {
        UINT source;
        DWORD set;
        Values after;
        DWORD read;
        MixerControl selector = Selector(3);
        const char* failing = nullptr;
        LONG_PTR result = MMSYSERR_ERROR;
        int nth = 1;
        bool unreadable = false;
    } rows[] = {
        {0, 40, {500, 1, 0, 0, 0, 40, 150, 150, 7}, 40},
        {2, 65535, {500, 0, 0, 1, 0, 300, 150, 150, 65535}, 65535},
        {1, 200, {500, 0, 1, 0, 0, 1, 0, 0, 300, 200, 200, 7}, 200, Selector(3, 2)},
        {1, 120, {500, 1, 1, 0, 300, 120, 120, 7}, 120, {MIXERCONTROL_CONTROLTYPE_ONOFF, 0, {0, 0}}},
        {1, 99, {500, 0, 1, 0, 0, 300, 150, 150, 7}, 150},
        {1, 201, {500, 0, 1, 0, 0, 300, 150, 150, 7}, 150},
        {1, NONE, {500, 0, 1, 0, 0, 300, 150, 150, 7}, 150},
        {0, 40, {500, 1, 0, 0, 0, 40, 150, 150, 7}, NONE, Selector(3), nullptr, 0, 1, true},
        {3, 40, untouched, NONE},
        {0, 40, untouched, NONE, Selector(3), "mixerGetNumDevs", 0},
        {0, 40, untouched, NONE, Selector(3), "waveInOpen", MMSYSERR_ALLOCATED},
        {0, 40, untouched, NONE, Selector(3), "mixerGetID"},
        {0, 40, untouched, NONE, Selector(3), "mixerOpen"},
        {0, 40, untouched, NONE, Selector(3), "mixerGetLineInfoA"},
        {0, 40, untouched, NONE, Selector(3), "mixerGetLineInfoA", MMSYSERR_ERROR, 2},
        {0, 40, untouched, NONE, Selector(3), "mixerGetLineControlsA"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "source " << row.source << ", volume " << row.set << ", failing "
                                        << (row.failing ? row.failing : "nothing") << " " << row.nth);
        CMixerModel mixer({Card(row.selector)});
        mixer.valuesUnreadable = row.unreadable;
        if (row.failing)
            mixer.Fail(row.failing, row.result, row.nth);
        CInputLineVolume line(row.source, 0);
        line.SetVolume(row.set);
        line.SelectLine();
        Values all; // every value of the card, line by line in the order above
        for (const MixerLine& card : mixer.devices[0])
            for (const MixerControl& control : card.controls)
                all.insert(all.end(), control.values.begin(), control.values.end());
        EXPECT_EQ(row.after, all);
        EXPECT_EQ(row.read, line.GetVolume());
    }
}

} // namespace
