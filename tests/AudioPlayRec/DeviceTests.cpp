// The engine on the real wave devices that Wine makes of PulseAudio: recordings of a tone
// played into the null sink, taken from its monitor; playback into the null sink, heard on
// the host from the same monitor; and the device names.
#include "AudioPlayRec.h"
#include "support/HostTools.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kSink[] = "korvalin_out";

int FindDevice(bool bInput, const char* pszName)
{
    CAudioPlayRec probe;
    UINT nCount = bInput ? CAudioPlayRec::GetInDeviceCount() : CAudioPlayRec::GetOutDeviceCount();
    for (UINT i = 0; i < nCount; ++i) {
        CString strName = bInput ? probe.GetInDeviceName(i) : probe.GetOutDeviceName(i);
        if (strName == pszName)
            return static_cast<int>(i);
    }
    return -1;
}

// The number after `label` in sox's "stat" output, or -1.
double StatValue(const std::string& stat, const std::string& label)
{
    size_t at = stat.find(label);
    if (at == std::string::npos)
        return -1;
    at = stat.find(':', at);
    return atof(stat.c_str() + at + 1);
}

// A host program running in the background until the object goes.
class CHostJob {
public:
    CHostJob(const CHostDir& dir, const std::string& name, const std::string& command) : m_dir(dir), m_name(name)
    {
        m_bStarted = RunHost(dir, command + " >" + name + ".log 2>&1 & echo $! >" + name + ".pid") == 0;
    }
    ~CHostJob() { Stop(); }
    bool Started() const { return m_bStarted; }
    void Stop()
    {
        if (m_bStarted)
            RunHost(m_dir, "p=$(cat " + m_name + ".pid); kill $p; while kill -0 $p 2>/dev/null; do sleep 0.05; done");
        m_bStarted = false;
    }

private:
    const CHostDir& m_dir;
    std::string m_name;
    bool m_bStarted;
};

// Runs the engine's window messages for `ms` milliseconds: the length of a recording.
void PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

} // namespace

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (RunHost(dir, std::string("pactl list short sinks | grep -q ") + kSink) != 0)
            GTEST_SKIP() << "no PulseAudio null sink " << kSink << " to play into";
        host.CreateEx(0, AfxRegisterWndClass(0), "host", WS_POPUP | WS_VISIBLE, CRect(0, 0, 440, 240), nullptr, 0);
        GetCurrentDirectoryA(MAX_PATH, m_szPreviousDir);
        SetCurrentDirectoryA(dir.WindowsPath().c_str());
    }
    void TearDown() override
    {
        if (*m_szPreviousDir)
            SetCurrentDirectoryA(m_szPreviousDir);
    }
    bool Initialize(int nDevice)
    {
        CRect rc(20, 20, 420, 220);
        return engine.Initialize(static_cast<UINT>(nDevice), 4096, host, &rc, &DeviceTest::Notify, this);
    }
    static void Notify(UINT message, void* user)
    {
        if (message == MM_WIM_DATA)
            ++static_cast<DeviceTest*>(user)->m_nBlocks;
    }
    LONGLONG FileSize(const std::string& name) const
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(dir.File(name).c_str(), GetFileExInfoStandard, &data))
            return -1;
        return static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    }
    std::string Stat(const std::string& file, int channel)
    {
        std::string out;
        EXPECT_EQ(RunHost(dir, "sox " + file + " -n remix " + std::to_string(channel) + " stat", &out), 0) << out;
        return out;
    }
    std::string Info(const std::string& file)
    {
        std::string out;
        EXPECT_EQ(RunHost(dir, "f=" + file + "; sox --i -c $f; sox --i -r $f; sox --i -b $f; sox --i -e $f", &out), 0);
        return out;
    }

    CHostDir dir;
    CapturedMessageBoxes boxes;
    CWnd host;
    CAudioPlayRec engine;
    int m_nBlocks = 0;

private:
    char m_szPreviousDir[MAX_PATH] = "";
};

struct ToneCase {
    const char* label;
    int nMode;
    int leftHz, rightHz;
    std::vector<std::string> files;
    int fileChannels;
};

class RecordFromMonitor : public DeviceTest, public ::testing::WithParamInterface<ToneCase> {};

TEST_P(RecordFromMonitor, HoldsThePlayedToneInEachChannel)
{
    const ToneCase& c = GetParam();
    const int nDevice = FindDevice(true, "Monitor of Null Output");
    if (nDevice < 0)
        GTEST_SKIP() << "Wine shows no input device \"Monitor of Null Output\"";
    ASSERT_EQ(RunHost(dir, "sox -n -r 22050 -b 16 -c 2 tone.wav synth 10 sine " + std::to_string(c.leftHz) +
                               " sine " + std::to_string(c.rightHz) + " gain -6"),
              0);
    CHostJob player(dir, "paplay", std::string("paplay -d ") + kSink + " tone.wav");
    ASSERT_TRUE(player.Started());
    ASSERT_TRUE(PumpUntil([&] { return RunHost(dir, "pactl list short sink-inputs | grep -q .") == 0; }, 5000));

    ASSERT_TRUE(Initialize(nDevice));
    ASSERT_TRUE(engine.StartRecord(c.nMode, 22050, 16));
    for (size_t i = 0; i < c.files.size(); ++i)
        ASSERT_TRUE(engine.OpenOutputFile(static_cast<int>(i), c.files[i].c_str()));
    // Wine's capture hands back its first buffer a second or more after the start.
    ASSERT_TRUE(PumpUntil([&] { return m_nBlocks > 0; }, 5000));
    PumpFor(2000);
    engine.Stop();
    ASSERT_TRUE(PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }, 3000));
    player.Stop();
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;

    for (size_t i = 0; i < c.files.size(); ++i) {
        const std::string& file = c.files[i];
        EXPECT_EQ(Info(file), std::to_string(c.fileChannels) + "\n22050\n16\nSigned Integer PCM\n") << file;
        for (int channel = 1; channel <= c.fileChannels; ++channel) {
            std::string stat = Stat(file, channel);
            const int hz = c.files.size() == 2 ? (i == 0 ? c.leftHz : c.rightHz)
                                               : (channel == 1 ? c.leftHz : c.rightHz);
            EXPECT_NEAR(StatValue(stat, "Length (seconds)"), 2.0, 0.35) << file << "\n" << stat;
            EXPECT_NEAR(StatValue(stat, "Rough   frequency"), hz, hz * 0.05) << file << " channel " << channel << "\n"
                                                                          << stat;
            EXPECT_GT(StatValue(stat, "RMS     amplitude"), 0.15) << file << "\n" << stat;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RecordFromMonitor,
    ::testing::Values(ToneCase{"Mono", CHANNEL_MONO, 1000, 1000, {"test.wav"}, 1},
                      ToneCase{"Stereo", CHANNEL_STEREO, 1000, 500, {"test.wav"}, 2},
                      ToneCase{"Alone", CHANNEL_ALONE, 1000, 500, {"test_left.wav", "test_right.wav"}, 1}),
    [](const ::testing::TestParamInfo<ToneCase>& info) { return std::string(info.param.label); });

struct PlayCase {
    const char* label;
    const char* soxFormat; // rate, channels
    int rate, channels;
    double seconds;
};

class PlayIntoSink : public DeviceTest, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlayIntoSink, IsHeardWholeOnTheSinksMonitor)
{
    const PlayCase& c = GetParam();
    const int nDevice = FindDevice(false, "Null Output");
    if (nDevice < 0)
        GTEST_SKIP() << "Wine shows no output device \"Null Output\"";
    char seconds[16];
    snprintf(seconds, sizeof seconds, "%.3f", c.seconds);
    ASSERT_EQ(RunHost(dir, std::string("sox -n ") + c.soxFormat + " -b 16 in.wav synth " + seconds + " sine 700 gain -6"),
              0);
    ASSERT_TRUE(Initialize(nDevice));
    CHostJob recorder(dir, "parec",
                      std::string("parec -d ") + kSink + ".monitor --format=s16le --rate=22050 --channels=1 --latency-msec=10 rec.raw");
    ASSERT_TRUE(recorder.Started());
    // The monitor of an idle null sink still streams silence: once some has arrived,
    // everything played from now on is recorded.
    ASSERT_TRUE(PumpUntil([&] { return FileSize("rec.raw") >= 8820; }, 5000));

    ASSERT_TRUE(engine.Play(dir.File("in.wav").c_str()));
    EXPECT_EQ(engine.GetStatus(), STATUS_PLAYING);
    ASSERT_TRUE(PumpUntil([&] { return engine.GetStatus() == STATUS_IDLE; }, static_cast<DWORD>(c.seconds * 1000) + 3000));
    PumpFor(300);
    recorder.Stop();
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;

    std::string out;
    ASSERT_EQ(RunHost(dir,
                      "sox -t raw -r 22050 -e signed -b 16 -c 1 rec.raw -n silence 1 0.005 3% reverse silence 1 0.005 3% "
                      "reverse stat",
                      &out),
              0)
        << out;
    // Nothing cut off; a gap from a busy machine may only make it longer.
    EXPECT_GE(StatValue(out, "Length (seconds)"), c.seconds - 0.06) << out;
    EXPECT_LE(StatValue(out, "Length (seconds)"), c.seconds + 0.25) << out;
    EXPECT_NEAR(StatValue(out, "Rough   frequency"), 700, 35) << out;
    EXPECT_GT(StatValue(out, "RMS     amplitude"), 0.15) << out;
}

INSTANTIATE_TEST_SUITE_P(Files, PlayIntoSink,
                         ::testing::Values(PlayCase{"Mono22050", "-r 22050 -c 1", 22050, 1, 1.5},
                                           PlayCase{"Stereo22050", "-r 22050 -c 2", 22050, 2, 1.2},
                                           PlayCase{"Stereo44100", "-r 44100 -c 2", 44100, 2, 0.9},
                                           PlayCase{"ShorterThanABuffer", "-r 22050 -c 1", 22050, 1, 0.05}),
                         [](const ::testing::TestParamInfo<PlayCase>& info) { return std::string(info.param.label); });

TEST_F(DeviceTest, DeviceNamesAreWinesInIndexOrder)
{
    const UINT nIn = CAudioPlayRec::GetInDeviceCount();
    const UINT nOut = CAudioPlayRec::GetOutDeviceCount();
    if (nIn == 0 || nOut == 0)
        GTEST_SKIP() << "no wave devices";
    for (UINT i = 0; i < nIn; ++i) {
        WAVEINCAPSA caps{};
        ASSERT_EQ(waveInGetDevCapsA(i, &caps, sizeof caps), MMSYSERR_NOERROR);
        EXPECT_EQ(engine.GetInDeviceName(i), caps.szPname);
    }
    for (UINT i = 0; i < nOut; ++i) {
        WAVEOUTCAPSA caps{};
        ASSERT_EQ(waveOutGetDevCapsA(i, &caps, sizeof caps), MMSYSERR_NOERROR);
        EXPECT_EQ(engine.GetOutDeviceName(i), caps.szPname);
    }
    EXPECT_GE(FindDevice(true, "Monitor of Null Output"), 0);
    EXPECT_GE(FindDevice(false, "Null Output"), 0);
    EXPECT_EQ(engine.GetInDeviceName(nIn + 7), "");
    EXPECT_EQ(engine.GetOutDeviceName(nOut + 7), "");
}
