// CInputLineVolume against a scripted mixer: adoption of a source line, selection of the
// recording source, volume, failures at each call, notifications and the enumeration.
#include "InputLineVolume.h"
#include "support/FakeMixer.h"
#include "support/Sinks.h"
#include <functional>
#include <gtest/gtest.h>

namespace {

const DWORD NONE = static_cast<DWORD>(-1);

std::string Traced(const std::string& text)
{
    return ".InputXxxVolume: " + text + "\n";
}

std::vector<std::string> Tail(const std::vector<std::string>& lines, size_t count)
{
    return std::vector<std::string>(lines.end() - std::min(count, lines.size()), lines.end());
}

// A capture card: a mono microphone, a stereo line input and a CD line; on the destination
// a recording volume, a three-item recording selector and a mute switch.
FakeMixerDevice& AddCard(CFakeMixer& mixer)
{
    FakeMixerDevice& card = mixer.AddDevice();
    card.sources.push_back(FakeLineWithVolume(mixer, "Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 1));
    card.sources.push_back(FakeLineWithVolume(mixer, "Line In", MIXERLINE_COMPONENTTYPE_SRC_LINE, 2, 100, 200));
    card.sources.push_back(FakeLineWithVolume(mixer, "CD", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, 2));
    card.destinationControls.push_back(FakeLineWithVolume(mixer, "Rec", 0, 2).controls[0]);
    card.destinationControls.push_back(
        FakeSwitch(mixer, "Record Select", MIXERCONTROL_CONTROLTYPE_MUX, MIXERCONTROL_CONTROLF_MULTIPLE, 3));
    card.destinationControls.push_back(
        FakeSwitch(mixer, "Mute", MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM));
    return card;
}

class InputLineVolumeTest : public ::testing::Test {
protected:
    CFakeMixer mixer;
    CapturedTrace trace;
    FakeMixerDevice& card = AddCard(mixer);

    DWORD VolumeId(size_t source) { return card.sources[source].controls[0].id; }
    DWORD SelectorId() { return card.destinationControls[1].id; }
    void ExpectNoVolume(CInputLineVolume& line) { ExpectNoVolume(line, mixer); }
    static void ExpectNoVolume(CInputLineVolume& line, CFakeMixer& services)
    {
        EXPECT_FALSE(line.HasVolumeControl());
        EXPECT_EQ(NONE, line.GetVolume());
        EXPECT_EQ(NONE, line.GetVolumeMin());
        EXPECT_EQ(NONE, line.GetVolumeMax());
        EXPECT_EQ(NONE, line.GetVolumeSteps());
        size_t calls = services.calls.size();
        line.SetVolume(150);
        line.SelectLine();
        EXPECT_EQ(calls, services.calls.size()) << "a line without volume control called the mixer";
    }
};

TEST_F(InputLineVolumeTest, AdoptsTheSourceLineAndItsVolumeControl)
{
    card.sources[1].controls[0].values = {170, 180};
    {
        CInputLineVolume line(1, 0);
        EXPECT_EQ(&line, CInputLineVolume::s_pCurrent);
        EXPECT_TRUE(line.HasVolumeControl());
        EXPECT_EQ(100u, line.GetVolumeMin());
        EXPECT_EQ(200u, line.GetVolumeMax());
        EXPECT_EQ(100u, line.GetVolumeSteps());
        EXPECT_EQ(170u, line.GetVolume());
        EXPECT_EQ((std::vector<std::string>{Traced("Initializing for the Source Line (1) .."),
                                            Traced("\"Line In\" Source Line adopted."),
                                            Traced("\"Line In Volume\" Volume control for the Source Line adopted"),
                                            Traced("Microphone Source Line \"Mic\" has been found.")}),
                  trace.lines);

        ASSERT_EQ(1u, mixer.probeFormats.size());
        const WAVEFORMATEX& probe = mixer.probeFormats[0];
        EXPECT_EQ(WAVE_FORMAT_PCM, probe.wFormatTag);
        EXPECT_EQ(1, probe.nChannels);
        EXPECT_EQ(22050u, probe.nSamplesPerSec);
        EXPECT_EQ(16, probe.wBitsPerSample);
        EXPECT_EQ(2, probe.nBlockAlign);
        EXPECT_EQ(44100u, probe.nAvgBytesPerSec);
        EXPECT_EQ(0, probe.cbSize);
        EXPECT_EQ(0, mixer.openWaveIns) << "the probe stays open";

        ASSERT_EQ(1u, mixer.openCallbacks.size());
        EXPECT_EQ(static_cast<DWORD>(CALLBACK_WINDOW), mixer.openFlags[0]);
        HWND window = reinterpret_cast<HWND>(mixer.openCallbacks[0]);
        char className[64] = "", title[64] = "";
        GetClassNameA(window, className, sizeof className);
        GetWindowTextA(window, title, sizeof title);
        EXPECT_STREQ("Input Volume Msg Wnd Class", className);
        EXPECT_STREQ("Input Volume Msg Wnd", title);
        EXPECT_FALSE(IsWindowVisible(window));
    }
    EXPECT_EQ(nullptr, CInputLineVolume::s_pCurrent);
    EXPECT_EQ(0, mixer.openMixers);
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(mixer.openCallbacks[0])));
}

TEST_F(InputLineVolumeTest, SelectorGetsExactlyTheSourceItemOnEveryChannel)
{
    for (bool uniform : {false, true}) {
        card.destinationControls[1].flags =
            MIXERCONTROL_CONTROLF_MULTIPLE | (uniform ? MIXERCONTROL_CONTROLF_UNIFORM : 0);
        for (UINT source = 0; source < 3; source++) {
            SCOPED_TRACE(testing::Message() << "uniform " << uniform << ", source " << source);
            mixer.sets.clear();
            trace.lines.clear();
            CInputLineVolume(source, 0).SelectLine();

            ASSERT_EQ(1u, mixer.sets.size()) << "only the selector is set, not the mute switch";
            const FakeSetCall& set = mixer.sets[0];
            EXPECT_EQ(SelectorId(), set.controlId);
            EXPECT_EQ(uniform ? 1u : 2u, set.channels);
            EXPECT_EQ(3u, set.items);
            ASSERT_EQ(set.channels * 3, set.values.size());
            for (DWORD channel = 0; channel < set.channels; channel++) {
                for (DWORD item = 0; item < 3; item++)
                    EXPECT_EQ(item == source ? 1u : 0u, set.values[channel * 3 + item])
                        << "channel " << channel << " item " << item;
            }
            EXPECT_EQ(Traced("Enabling Line: Line control \"Record Select\" has been enabled."), trace.lines.back());
        }
    }
}

TEST_F(InputLineVolumeTest, SingleSwitchGetsEveryChannelOn)
{
    card.destinationControls[1] = FakeSwitch(mixer, "Capture Switch", MIXERCONTROL_CONTROLTYPE_ONOFF, 0);
    CInputLineVolume(2, 0).SelectLine();

    ASSERT_EQ(1u, mixer.sets.size());
    EXPECT_EQ(card.destinationControls[1].id, mixer.sets[0].controlId);
    EXPECT_EQ(2u, mixer.sets[0].channels);
    EXPECT_EQ(0u, mixer.sets[0].items);
    EXPECT_EQ((std::vector<DWORD>{1, 1}), mixer.sets[0].values);
    EXPECT_EQ(Traced("Enabling Line: Line control \"Capture Switch\" has been enabled."), trace.lines.back());
}

TEST_F(InputLineVolumeTest, DestinationWithoutSettableSwitchSaysSoLast)
{
    struct Case {
        const char* name;
        std::function<void(FakeMixerDevice&)> script;
    } cases[] = {
        {"volume only", [](FakeMixerDevice& d) { d.destinationControls.resize(1); }},
        {"selector refuses", [](FakeMixerDevice& d) { d.destinationControls[1].setResult = MMSYSERR_ERROR; }},
        {"mute only",
         [](FakeMixerDevice& d) { d.destinationControls.erase(d.destinationControls.begin() + 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeMixer scripted;
        c.script(AddCard(scripted));
        trace.lines.clear();
        CInputLineVolume(0, 0).SelectLine();
        EXPECT_EQ(Traced("WARNING: No controls were found for enabling the line."), trace.lines.back());
        EXPECT_EQ(trace.All().find("has been enabled"), std::string::npos);
        for (const FakeSetCall& set : scripted.sets)
            EXPECT_NE(MMSYSERR_NOERROR, scripted.Control(set.controlId)->setResult)
                << "control " << set.controlId << " was set";
    }
}

TEST_F(InputLineVolumeTest, SelectorTooLargeForMemoryIsReported)
{
    card.destinationChannels = 0xFFFFFFFF;
    card.destinationControls[1].items = 0xFFFFFFFF;
    CInputLineVolume(0, 0).SelectLine();
    EXPECT_EQ((std::vector<std::string>{Traced("FAILURE: Out of memory while enabling the line."),
                                        Traced("WARNING: No controls were found for enabling the line.")}),
              Tail(trace.lines, 2));
    EXPECT_TRUE(mixer.sets.empty());
}

TEST_F(InputLineVolumeTest, LineWithoutUsableVolumeControl)
{
    struct Case {
        const char* name;
        std::function<void(FakeMixerDevice&)> script;
        std::string traced;
    } cases[] = {
        {"disabled", [](FakeMixerDevice& d) { d.sources[0].controls[0].flags = MIXERCONTROL_CONTROLF_DISABLED; },
         Traced("WARNING: The Volume Control is disabled.")},
        {"none", [](FakeMixerDevice& d) { d.sources[0].controls.clear(); },
         Traced("WARNING: Could not get the requested Source Line Volume Control for the requested line while "
                "initilaizing. mmResult=1025")},
        {"query fails", [](FakeMixerDevice& d) { d.volumeControlResult = MMSYSERR_NOMEM; },
         Traced("WARNING: Could not get the requested Source Line Volume Control for the requested line while "
                "initilaizing. mmResult=7")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeMixer scripted;
        c.script(AddCard(scripted));
        trace.lines.clear();

        CInputLineVolume line(0, 0);
        ASSERT_EQ(4u, trace.lines.size());
        EXPECT_EQ(c.traced, trace.lines[2]);
        EXPECT_EQ(1, scripted.openMixers) << "the line is adopted all the same";
        EXPECT_EQ(&line, CInputLineVolume::s_pCurrent);
        ExpectNoVolume(line, scripted);
    }
}

TEST_F(InputLineVolumeTest, NoMixerAtAll)
{
    mixer.mixerCount = 0;
    CInputLineVolume line(0, 0);
    EXPECT_EQ(nullptr, CInputLineVolume::s_pCurrent);
    EXPECT_EQ(std::vector<std::string>{"mixerGetNumDevs"}, mixer.calls);
    EXPECT_TRUE(trace.lines.empty());
    ExpectNoVolume(line);
}

TEST_F(InputLineVolumeTest, SourceIndexOutOfRangeLeavesTheObjectClosed)
{
    for (UINT index : {3u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(index);
        trace.lines.clear();
        CInputLineVolume line(index, 0);
        EXPECT_EQ((std::vector<std::string>{
                      Traced("Initializing for the Source Line (" + std::to_string(static_cast<int>(index)) + ") .."),
                      Traced("FAILURE: Invalid Source Line index passed.")}),
                  trace.lines);
        EXPECT_EQ(nullptr, CInputLineVolume::s_pCurrent);
        EXPECT_EQ(0, mixer.openMixers);
        EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(mixer.openCallbacks.back())));
        ExpectNoVolume(line);
    }
}

TEST_F(InputLineVolumeTest, SetVolumeWithinBoundsOnly)
{
    CInputLineVolume line(1, 0);
    trace.lines.clear();
    for (DWORD outside : {DWORD(99), DWORD(201), NONE, DWORD(0)})
        line.SetVolume(outside);
    EXPECT_TRUE(mixer.sets.empty());
    EXPECT_TRUE(trace.lines.empty());

    for (DWORD inside : {DWORD(100), DWORD(200), DWORD(150)}) {
        line.SetVolume(inside);
        EXPECT_EQ((std::vector<DWORD>{inside, inside}), mixer.Control(VolumeId(1))->values);
        EXPECT_EQ(inside, line.GetVolume());
    }
    EXPECT_TRUE(trace.lines.empty());
}

TEST_F(InputLineVolumeTest, VolumeTheMixerDoesNotWriteIsNoValue)
{
    card.getDetailsWritesNothing = true;
    for (int i = 0; i < 3; i++) {
        CInputLineVolume line(1, 0);
        line.SetVolume(150);
        EXPECT_EQ(NONE, line.GetVolume());
    }
}

TEST_F(InputLineVolumeTest, FailureAtEachCall)
{
    struct Case {
        const char* name;
        std::function<void(FakeMixerDevice&)> before;
        std::function<void(FakeMixerDevice&, CInputLineVolume&)> after;
        std::vector<std::string> traced;
        bool adopted;
    } cases[] = {
        {"waveInOpen", [](FakeMixerDevice& d) { d.waveInOpenResult = MMSYSERR_ALLOCATED; }, nullptr,
         {Traced("FAILURE: Could not open WaveIn Mapper. mmResult=4")}, false},
        {"mixerGetID", [](FakeMixerDevice& d) { d.getIdResult = MMSYSERR_NODRIVER; }, nullptr,
         {Traced("FAILURE: WaveIn Mapper in Mixer is not available. mmResult=6")}, false},
        {"mixerOpen", [](FakeMixerDevice& d) { d.openResult = MMSYSERR_NOMEM; }, nullptr,
         {Traced("FAILURE: Could not open Mixer. mmResult=7")}, false},
        {"destination", [](FakeMixerDevice& d) { d.destinationResult = MIXERR_INVALLINE; }, nullptr,
         {Traced("Initializing for the Source Line (0) .."),
          Traced("FAILURE: Could not get WaveIn Destionation Line for the requested source while initilaizing. "
                 "mmResult=1024")},
         false},
        {"source line", [](FakeMixerDevice& d) { d.sources[0].infoResult = MMSYSERR_ERROR; }, nullptr,
         {Traced("Initializing for the Source Line (0) .."),
          Traced("FAILURE: Could not get the requested Source Line while initilaizing. mmResult=1")},
         false},
        {"get volume", nullptr,
         [](FakeMixerDevice& d, CInputLineVolume& line) {
             d.getDetailsResult = MMSYSERR_INVALPARAM;
             EXPECT_EQ(NONE, line.GetVolume());
         },
         {Traced("FAILURE: Could not get volume. mmResult=11")}, true},
        {"set volume", nullptr,
         [](FakeMixerDevice& d, CInputLineVolume& line) {
             d.sources[0].controls[0].setResult = MMSYSERR_NOTSUPPORTED;
             line.SetVolume(5);
         },
         {Traced("FAILURE: Could not set volume(5) mmResult=8")}, true},
        {"destination while enabling", nullptr,
         [](FakeMixerDevice& d, CInputLineVolume& line) {
             d.destinationResult = MIXERR_INVALLINE;
             line.SelectLine();
         },
         {Traced("FAILURE: Could not get the Destination Line while enabling. mmResult=1024")}, true},
        {"controls while enabling", nullptr,
         [](FakeMixerDevice& d, CInputLineVolume& line) {
             d.allControlsResult = MMSYSERR_NOMEM;
             line.SelectLine();
         },
         {Traced("FAILURE: Could not get the line's controls while enabling. mmResult=7"),
          Traced("WARNING: No controls were found for enabling the line.")},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeMixer scripted;
        FakeMixerDevice& device = AddCard(scripted);
        if (c.before)
            c.before(device);
        trace.lines.clear();
        {
            CInputLineVolume line(0, 0);
            EXPECT_EQ(c.adopted, line.HasVolumeControl());
            EXPECT_EQ(c.adopted ? &line : nullptr, CInputLineVolume::s_pCurrent);
            if (c.after)
                c.after(device, line);
            EXPECT_EQ(c.traced, Tail(trace.lines, c.traced.size()));
            EXPECT_EQ(0, scripted.openWaveIns);
            EXPECT_EQ(c.adopted ? 1 : 0, scripted.openMixers);
            EXPECT_EQ(c.adopted, FindWindowA("Input Volume Msg Wnd Class", nullptr) != nullptr)
                << "the notification window lives exactly as long as the open mixer";
        }
        EXPECT_EQ(0, scripted.openMixers);
    }
}

TEST_F(InputLineVolumeTest, FailedCloseIsReported)
{
    card.closeResult = MMSYSERR_INVALHANDLE;
    { CInputLineVolume line(0, 0); }
    EXPECT_EQ(Traced("WARNING: Could not close Mixer."), trace.lines.back());
}

TEST_F(InputLineVolumeTest, MicrophoneIsTheFirstLineOfThatType)
{
    struct Case {
        const char* name;
        std::function<void(FakeMixerDevice&)> script;
        std::string traced;
    } cases[] = {
        {"found", [](FakeMixerDevice&) {}, Traced("Microphone Source Line \"Mic\" has been found.")},
        {"first wins",
         [](FakeMixerDevice& d) {
             d.sources[1].componentType = d.sources[2].componentType = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
         },
         Traced("Microphone Source Line \"Mic\" has been found.")},
        {"unreadable lines skipped",
         [](FakeMixerDevice& d) {
             d.sources[0].infoResult = MMSYSERR_ERROR;
             d.sources[2].componentType = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
         },
         Traced("Microphone Source Line \"CD\" has been found.")},
        {"name is not enough",
         [](FakeMixerDevice& d) {
             d.sources[0].componentType = MIXERLINE_COMPONENTTYPE_SRC_LINE;
             d.sources[0].name = "Microphone";
         },
         Traced("WARNING: Could not retrieve Microphone Source Line.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeMixer scripted;
        c.script(AddCard(scripted));
        trace.lines.clear();
        CInputLineVolume line(1, 0);
        EXPECT_EQ(c.traced, trace.lines.back());
        EXPECT_TRUE(line.HasVolumeControl());
    }
}

TEST_F(InputLineVolumeTest, DeselectLineOnlySaysItCannot)
{
    CInputLineVolume line(0, 0);
    size_t calls = mixer.calls.size();
    line.DeselectLine();
    EXPECT_EQ(calls, mixer.calls.size());
    EXPECT_EQ(Traced("WARNING: Disable line has no sense. The function not implemented."), trace.lines.back());
}

struct Notified {
    int count = 0;
    DWORD volume = 0;
    DWORD_PTR user = 0;
} g_notified;

void OnVolumeChange(DWORD volume, DWORD_PTR user)
{
    g_notified.count++;
    g_notified.volume = volume;
    g_notified.user = user;
}

TEST_F(InputLineVolumeTest, VolumeChangeNotificationReachesTheCurrentObject)
{
    g_notified = Notified();
    CInputLineVolume line(0, 0);
    const DWORD_PTR user = static_cast<DWORD_PTR>(0x123456789ABCull);
    line.SetChangeNotify(OnVolumeChange, user);
    mixer.Control(VolumeId(0))->values = {4321};
    HWND window = reinterpret_cast<HWND>(mixer.openCallbacks[0]);

    // Another control's change must be ignored; the volume's comes after it in the queue.
    PostMessageA(window, MM_MIXM_CONTROL_CHANGE, 0, SelectorId());
    PostMessageA(window, MM_MIXM_CONTROL_CHANGE, 0, VolumeId(0));
    ASSERT_TRUE(PumpUntil([] { return g_notified.count > 0; }));
    EXPECT_EQ(1, g_notified.count);
    EXPECT_EQ(4321u, g_notified.volume);
    EXPECT_EQ(user, g_notified.user);
}

struct Visit {
    UINT index;
    DWORD source;
    std::string name;
    DWORD_PTR user;
};

struct Visitor {
    std::vector<Visit> visits;
    UINT stopAt = NONE;

    static BOOL Proc(UINT index, MIXERLINEA* line, DWORD_PTR user)
    {
        Visitor* self = reinterpret_cast<Visitor*>(user);
        self->visits.push_back({index, line->dwSource, line->szShortName, user});
        return index != self->stopAt;
    }
};

TEST_F(InputLineVolumeTest, EnumSourceLinesVisitsEveryLineInOrder)
{
    EXPECT_FALSE(CInputLineVolume::EnumSourceLines(0, nullptr, 0));
    EXPECT_TRUE(mixer.calls.empty());

    Visitor all;
    EXPECT_TRUE(CInputLineVolume::EnumSourceLines(0, Visitor::Proc, reinterpret_cast<DWORD_PTR>(&all)));
    ASSERT_EQ(3u, all.visits.size());
    const char* names[] = {"Mic", "Line In", "CD"};
    for (UINT i = 0; i < 3; i++) {
        EXPECT_EQ(i, all.visits[i].index);
        EXPECT_EQ(i, all.visits[i].source);
        EXPECT_EQ(names[i], all.visits[i].name);
        EXPECT_EQ(reinterpret_cast<DWORD_PTR>(&all), all.visits[i].user);
    }
    EXPECT_EQ(0u, mixer.openCallbacks[0]);
    EXPECT_EQ(static_cast<DWORD>(CALLBACK_NULL), mixer.openFlags[0]);
    EXPECT_EQ(0, mixer.openMixers);
    EXPECT_EQ(0, mixer.openWaveIns);

    Visitor stopping;
    stopping.stopAt = 1;
    EXPECT_TRUE(CInputLineVolume::EnumSourceLines(0, Visitor::Proc, reinterpret_cast<DWORD_PTR>(&stopping)));
    EXPECT_EQ(2u, stopping.visits.size());
    EXPECT_EQ(0, mixer.openMixers);
    EXPECT_TRUE(trace.lines.empty());
}

TEST_F(InputLineVolumeTest, EnumSourceLinesFailures)
{
    struct Case {
        const char* name;
        std::function<void(FakeMixerDevice&)> script;
        std::string traced;
        size_t visited;
    } cases[] = {
        {"waveInOpen", [](FakeMixerDevice& d) { d.waveInOpenResult = MMSYSERR_BADDEVICEID; },
         Traced("FAILURE: Could not open WaveIn Mapper. mmResult=2"), 0},
        {"mixerGetID", [](FakeMixerDevice& d) { d.getIdResult = MMSYSERR_NODRIVER; },
         Traced("FAILURE: WaveIn Mapper in Mixer is not available. mmResult=6"), 0},
        {"mixerOpen", [](FakeMixerDevice& d) { d.openResult = MMSYSERR_ALLOCATED; },
         Traced("FAILURE: Could not open Mixer. mmResult=4"), 0},
        {"destination", [](FakeMixerDevice& d) { d.destinationResult = MIXERR_INVALLINE; },
         Traced("FAILURE: Could not get WaveIn Destionation Line for the requested source while enumerating. "
                "mmResult=1024"),
         0},
        {"source line", [](FakeMixerDevice& d) { d.sources[1].infoResult = MMSYSERR_ERROR; },
         Traced("FAILURE: Could not get the interated Source Line while enumerating. mmResult=1"), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeMixer scripted;
        c.script(AddCard(scripted));
        trace.lines.clear();
        Visitor visitor;
        EXPECT_FALSE(CInputLineVolume::EnumSourceLines(0, Visitor::Proc, reinterpret_cast<DWORD_PTR>(&visitor)));
        EXPECT_EQ(std::vector<std::string>{c.traced}, trace.lines);
        EXPECT_EQ(c.visited, visitor.visits.size());
        EXPECT_EQ(0, scripted.openMixers);
        EXPECT_EQ(0, scripted.openWaveIns);
    }
}

} // namespace
