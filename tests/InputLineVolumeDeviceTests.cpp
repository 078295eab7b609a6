// The input mixer on the real platform, through the engine: the first capture device with a
// usable mixer, its volume, and what that volume does to recorded samples while a tone plays
// on the default output.
#include "AudioPlayRec.h"
#include "InputLineVolume.h"
#include "support/Sinks.h"
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

const DWORD NONE = static_cast<DWORD>(-1);
const DWORD RATE = 22050;

WAVEFORMATEX MonoFormat()
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = RATE;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = RATE * 2;
    return format;
}

double Rms(const std::vector<short>& samples, size_t from)
{
    double sum = 0;
    for (size_t i = from; i < samples.size(); i++)
        sum += double(samples[i]) * samples[i];
    return samples.size() > from ? std::sqrt(sum / (samples.size() - from)) : 0;
}

// Records `seconds` from the device by polling the header; false if the device fails.
bool Record(UINT device, double seconds, std::vector<short>* samples)
{
    WAVEFORMATEX format = MonoFormat();
    HWAVEIN wave = nullptr;
    if (waveInOpen(&wave, device, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return false;
    samples->assign(static_cast<size_t>(RATE * seconds), 0);
    WAVEHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(samples->data());
    header.dwBufferLength = static_cast<DWORD>(samples->size() * sizeof(short));
    bool done = waveInPrepareHeader(wave, &header, sizeof header) == MMSYSERR_NOERROR &&
                waveInAddBuffer(wave, &header, sizeof header) == MMSYSERR_NOERROR &&
                waveInStart(wave) == MMSYSERR_NOERROR &&
                PumpUntil([&] { return (header.dwFlags & WHDR_DONE) != 0; }, static_cast<DWORD>(seconds * 1000) + 3000);
    waveInReset(wave);
    waveInUnprepareHeader(wave, &header, sizeof header);
    waveInClose(wave);
    samples->resize(header.dwBytesRecorded / sizeof(short));
    return done;
}

// Plays a 1 kHz tone at half of full scale on the default output while alive.
class Tone {
public:
    explicit Tone(double seconds) : m_samples(static_cast<size_t>(RATE * seconds))
    {
        for (size_t i = 0; i < m_samples.size(); i++)
            m_samples[i] = static_cast<short>(16384 * std::sin(2 * 3.14159265358979 * 1000 * i / RATE));
        WAVEFORMATEX format = MonoFormat();
        if (waveOutOpen(&m_wave, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            m_wave = nullptr;
            return;
        }
        m_header.lpData = reinterpret_cast<LPSTR>(m_samples.data());
        m_header.dwBufferLength = static_cast<DWORD>(m_samples.size() * sizeof(short));
        waveOutPrepareHeader(m_wave, &m_header, sizeof m_header);
        waveOutWrite(m_wave, &m_header, sizeof m_header);
    }
    ~Tone()
    {
        if (!m_wave)
            return;
        waveOutReset(m_wave);
        waveOutUnprepareHeader(m_wave, &m_header, sizeof m_header);
        waveOutClose(m_wave);
    }
    Tone(const Tone&) = delete;
    Tone& operator=(const Tone&) = delete;
    bool Playing() const { return m_wave != nullptr; }

private:
    std::vector<short> m_samples;
    HWAVEOUT m_wave = nullptr;
    WAVEHDR m_header{};
};

// Runs `use` on every mute switch of the device's recording destination, through WinMM itself.
template <class Use>
void ForEachDestinationMute(UINT device, Use use)
{
    WAVEFORMATEX format = MonoFormat();
    HWAVEIN wave = nullptr;
    UINT id = 0;
    ASSERT_EQ(MMSYSERR_NOERROR, waveInOpen(&wave, device, &format, 0, 0, CALLBACK_NULL));
    MMRESULT result = mixerGetID(reinterpret_cast<HMIXEROBJ>(wave), &id, MIXER_OBJECTF_HWAVEIN);
    waveInClose(wave);
    ASSERT_EQ(MMSYSERR_NOERROR, result);
    HMIXER mixer = nullptr;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&mixer, id, 0, 0, CALLBACK_NULL));
    HMIXEROBJ object = reinterpret_cast<HMIXEROBJ>(mixer);
    MIXERLINEA destination{};
    destination.cbStruct = sizeof destination;
    destination.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    std::vector<MIXERCONTROLA> controls;
    if (mixerGetLineInfoA(object, &destination, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) == 0 &&
        destination.cControls > 0) {
        MIXERCONTROLA empty{};
        empty.cbStruct = sizeof empty;
        controls.assign(destination.cControls, empty);
        MIXERLINECONTROLSA request{};
        request.cbStruct = sizeof request;
        request.dwLineID = destination.dwLineID;
        request.cControls = destination.cControls;
        request.cbmxctrl = sizeof(MIXERCONTROLA);
        request.pamxctrl = controls.data();
        if (mixerGetLineControlsA(object, &request, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL) != 0)
            controls.clear();
    }
    for (const MIXERCONTROLA& control : controls) {
        if (control.dwControlType != MIXERCONTROL_CONTROLTYPE_MUTE)
            continue;
        MIXERCONTROLDETAILS_BOOLEAN value{};
        MIXERCONTROLDETAILS details{};
        details.cbStruct = sizeof details;
        details.dwControlID = control.dwControlID;
        details.cChannels = 1;
        details.cbDetails = sizeof value;
        details.paDetails = &value;
        use(object, details);
    }
    mixerClose(mixer);
}

class InputLineVolumeDevice : public ::testing::Test {
protected:
    CapturedTrace trace;
    CAudioPlayRec engine;
    int device = -1;

    void SetUp() override
    {
        if (waveInGetNumDevs() == 0 || mixerGetNumDevs() == 0)
            GTEST_SKIP() << "no capture device with a mixer";
        device = engine.FindMixerDevice();
        ASSERT_GE(device, 0) << "no capture device offers a volume control";
        ASSERT_LT(static_cast<UINT>(device), waveInGetNumDevs());
        ASSERT_TRUE(CInputLineVolume(0, device).HasVolumeControl());
        trace.lines.clear();
        engine.SetDevice(device);
    }
};

TEST_F(InputLineVolumeDevice, SelectingTheDeviceTracesItsSourceLines)
{
    ASSERT_FALSE(trace.lines.empty());
    for (const std::string& line : trace.lines)
        EXPECT_EQ(0u, line.find("csShortName = ")) << line;
    printf("%s", trace.All().c_str());
}

TEST_F(InputLineVolumeDevice, VolumeSetThroughTheEngineReadsBackThroughANewObject)
{
    DWORD maximum = NONE, minimum = NONE;
    DWORD before = engine.GetInputLineVolume(FALSE, &maximum, &minimum);
    ASSERT_LT(minimum, maximum);
    DWORD wanted = minimum + (maximum - minimum) / 3;
    engine.SetInputLine(FALSE, wanted);
    DWORD read = engine.GetInputLineVolume(FALSE, nullptr, nullptr);
    // Wine's mixer keeps no value for a source line's volume: it must then read as no value.
    EXPECT_TRUE(read == wanted || read == NONE) << "read " << read << ", set " << wanted;
    RecordProperty("read_back", static_cast<int>(read));
    if (before != NONE)
        engine.SetInputLine(FALSE, before);
}

TEST_F(InputLineVolumeDevice, SelectingTheLineLeavesTheRecordingUnmuted)
{
    ForEachDestinationMute(device, [](HMIXEROBJ mixer, MIXERCONTROLDETAILS& details) {
        mixerSetControlDetails(mixer, &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
    });
    engine.SetInputLine(FALSE, NONE);
    int mutes = 0;
    ForEachDestinationMute(device, [&](HMIXEROBJ mixer, MIXERCONTROLDETAILS& details) {
        mutes++;
        ASSERT_EQ(MMSYSERR_NOERROR, mixerGetControlDetailsA(mixer, &details, MIXER_OBJECTF_HMIXER));
        EXPECT_EQ(0, static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(details.paDetails)->fValue) << "the recording is muted";
    });
    RecordProperty("destination_mutes", mutes);
}

TEST_F(InputLineVolumeDevice, RecordedLevelAtFullAndHalfVolume)
{
    Tone tone(6);
    if (!tone.Playing())
        GTEST_SKIP() << "no output device to play the tone";
    DWORD maximum = NONE, minimum = NONE;
    engine.GetInputLineVolume(FALSE, &maximum, &minimum);
    const DWORD volumes[2] = {maximum, minimum + (maximum - minimum) / 2};
    double levels[2];
    for (int i = 0; i < 2; i++) {
        engine.SetInputLine(FALSE, volumes[i]);
        std::vector<short> samples;
        ASSERT_TRUE(Record(device, 1.0, &samples));
        levels[i] = Rms(samples, samples.size() / 4);
        printf("volume %lu of %lu: rms %.1f\n", volumes[i], maximum, levels[i]);
    }
    // The tone plays at half of full scale: its RMS is about 11585.
    EXPECT_GT(levels[0], 8000) << "the tone did not reach the recording after selecting the line";
    RecordProperty("rms_full", static_cast<int>(levels[0]));
    RecordProperty("rms_half", static_cast<int>(levels[1]));
}

} // namespace
