// CInputLineVolume on a modelled capture card: which line records, at which volume, and what
// happens when the mixer cannot be used.
#include "InputLineVolume.h"
#include "support/MixerModel.h"
#include <gtest/gtest.h>

namespace {

const DWORD NONE = static_cast<DWORD>(-1);

// A mono microphone, a stereo line input with a narrow volume range and a CD line; the
// recording destination has a volume, a selector (given) and a mute switch that is off.
MixerDevice Card(MixerControl selector = Selector(3))
{
    return {{{"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, {Volume(300)}},
             {"Line In", MIXERLINE_COMPONENTTYPE_SRC_LINE, {Volume(150, 100, 200, 2)}, 2},
             {"CD", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, {Volume(7)}}},
            {Volume(500, 0, 65535, 2), selector, {MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, {0}}}};
}

// Every value of every control of the card, to see that nothing changed.
std::vector<DWORD> AllValues(const MixerDevice& card)
{
    std::vector<DWORD> all;
    for (const MixerLine& line : card.sources)
        for (const MixerControl& control : line.controls)
            all.insert(all.end(), control.values.begin(), control.values.end());
    for (const MixerControl& control : card.destination)
        all.insert(all.end(), control.values.begin(), control.values.end());
    return all;
}

// Catches a selection that records another line, leaves a channel out, or mutes the recording.
TEST(InputLineVolume, SelectingALineRecordsThatLineAloneAndNeverMutes)
{
    const MixerControl onOff{MIXERCONTROL_CONTROLTYPE_ONOFF, 0, {0, 0}};
    const struct {
        MixerControl selector;
        UINT source;
        std::vector<DWORD> selected;
    } rows[] = {{Selector(3), 0, {1, 0, 0}}, {Selector(3), 2, {0, 0, 1}}, {Selector(3, 2), 1, {0, 1, 0, 0, 1, 0}},
                {onOff, 1, {1, 1}}};
    for (const auto& row : rows) {
        CMixerModel mixer({Card(row.selector)});
        CInputLineVolume(row.source, 0).SelectLine();
        const MixerDevice& card = mixer.devices[0];
        EXPECT_EQ(row.selected, card.destination[1].values) << "source " << row.source;
        EXPECT_EQ(std::vector<DWORD>{0}, card.destination[2].values) << "the recording was muted";
        EXPECT_EQ((std::vector<DWORD>{500, 500}), card.destination[0].values);
    }
}

// Catches a volume set outside the control's range, on only one channel, or read back as a
// value the mixer never gave (Wine's mixer answers without one).
TEST(InputLineVolume, VolumeIsSetWithinItsRangeAndReadBack)
{
    const struct {
        UINT source;
        DWORD set;
        std::vector<DWORD> values;
        DWORD read;
        bool unreadable = false;
    } rows[] = {{1, 120, {120, 120}, 120}, {1, 200, {200, 200}, 200}, {1, 99, {150, 150}, 150},
                {1, 201, {150, 150}, 150}, {1, NONE, {150, 150}, 150}, {0, 65535, {65535}, 65535},
                {0, 40, {40}, NONE, true}};
    for (const auto& row : rows) {
        CMixerModel mixer({Card()});
        mixer.valuesUnreadable = row.unreadable;
        CInputLineVolume(row.source, 0).SetVolume(row.set);
        EXPECT_EQ(row.values, mixer.devices[0].sources[row.source].controls[0].values) << "set " << row.set;
        EXPECT_EQ(row.read, CInputLineVolume(row.source, 0).GetVolume()) << "set " << row.set;
    }
}

// Catches a line used although its mixer cannot be reached or it has no usable volume: the
// slider would move a control that does not exist, or the selection would silence the card.
TEST(InputLineVolume, ALineThatCannotBeUsedIsLeftAlone)
{
    const struct {
        const char* failing;
        LONG_PTR result;
        int nth;
        void (*spoil)(MixerDevice&);
        UINT source;
    } rows[] = {
        {"mixerGetNumDevs", 0, 1, nullptr, 0},
        {"waveInOpen", MMSYSERR_ALLOCATED, 1, nullptr, 0},
        {"mixerGetID", MMSYSERR_NODRIVER, 1, nullptr, 0},
        {"mixerOpen", MMSYSERR_NOMEM, 1, nullptr, 0},
        {"mixerGetLineInfoA", MIXERR_INVALLINE, 1, nullptr, 0},
        {"mixerGetLineInfoA", MMSYSERR_ERROR, 2, nullptr, 0},
        {"mixerGetLineControlsA", MMSYSERR_ERROR, 1, nullptr, 0},
        {"", 0, 0, [](MixerDevice& card) { card.sources[0].controls.clear(); }, 0},
        {"", 0, 0, [](MixerDevice& card) { card.sources[0].controls[0].flags = MIXERCONTROL_CONTROLF_DISABLED; }, 0},
        {"", 0, 0, nullptr, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.failing << " " << row.nth << ", source " << row.source);
        CMixerModel mixer({Card()});
        if (row.spoil)
            row.spoil(mixer.devices[0]);
        const std::vector<DWORD> before = AllValues(mixer.devices[0]);
        if (row.nth)
            mixer.Fail(row.failing, row.result, row.nth);
        CInputLineVolume line(row.source, 0);
        EXPECT_FALSE(line.HasVolumeControl());
        EXPECT_EQ(NONE, line.GetVolume());
        EXPECT_EQ(NONE, line.GetVolumeMin());
        EXPECT_EQ(NONE, line.GetVolumeMax());
        line.SetVolume(200);
        line.SelectLine();
        EXPECT_EQ(before, AllValues(mixer.devices[0]));
    }
}

} // namespace
