// CFakeMixer: scripted wave-input devices, each with one mixer whose recording destination
// has source lines and controls. It installs itself with SetAudioServices; every mixer call is
// logged and checked (sizes, channel and item counts, open handles; queries must pass the mixer
// handle with the object-type bits of the flags zero), and each call can be made to fail.
#pragma once
#include "AudioServices.h"
#include <string>
#include <vector>

struct FakeControl {
    DWORD id = 0;
    DWORD type = MIXERCONTROL_CONTROLTYPE_VOLUME;
    DWORD flags = 0;
    DWORD items = 0;
    std::string name;
    DWORD minimum = 0;
    DWORD maximum = 65535;
    DWORD steps = 0;
    // Current values, channel by channel (items per channel for a multiple-item control).
    std::vector<DWORD> values;
    MMRESULT setResult = MMSYSERR_NOERROR;
};

struct FakeSourceLine {
    std::string name;
    DWORD componentType = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
    DWORD channels = 1;
    std::vector<FakeControl> controls;
    MMRESULT infoResult = MMSYSERR_NOERROR;
};

// One wave-input device and its mixer; every result can be set to an error code.
struct FakeMixerDevice {
    std::string name = "Fake In";
    DWORD destinationChannels = 2;
    std::vector<FakeSourceLine> sources;
    std::vector<FakeControl> destinationControls;

    MMRESULT waveInOpenResult = MMSYSERR_NOERROR;
    MMRESULT getIdResult = MMSYSERR_NOERROR;
    MMRESULT openResult = MMSYSERR_NOERROR;
    MMRESULT closeResult = MMSYSERR_NOERROR;
    MMRESULT destinationResult = MMSYSERR_NOERROR;
    MMRESULT volumeControlResult = MMSYSERR_NOERROR;
    MMRESULT allControlsResult = MMSYSERR_NOERROR;
    MMRESULT getDetailsResult = MMSYSERR_NOERROR;
    // Reading a value succeeds without writing it, as Wine's source-line controls do.
    bool getDetailsWritesNothing = false;
};

// One successful or failed mixerSetControlDetails.
struct FakeSetCall {
    DWORD controlId;
    DWORD channels;
    DWORD items;
    std::vector<DWORD> values;
};

class CFakeMixer : public CAudioServices {
public:
    // Installs itself for its lifetime.
    CFakeMixer();
    ~CFakeMixer() override;
    CFakeMixer(const CFakeMixer&) = delete;
    CFakeMixer& operator=(const CFakeMixer&) = delete;

    FakeMixerDevice& AddDevice();
    // Finds a control of any line of any device by id.
    FakeControl* Control(DWORD id);
    // Control ids, unique across all devices.
    DWORD NewId() { return ++m_lastId; }

    std::vector<FakeMixerDevice> devices;
    // What mixerGetNumDevs answers; -1 means one mixer per device.
    UINT mixerCount = static_cast<UINT>(-1);

    std::vector<std::string> calls;
    std::vector<FakeSetCall> sets;
    std::vector<WAVEFORMATEX> probeFormats;
    std::vector<DWORD_PTR> openCallbacks;
    std::vector<DWORD> openFlags;
    int openMixers = 0;
    int openWaveIns = 0;

    UINT waveInGetNumDevs() override;
    MMRESULT waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size) override;
    MMRESULT waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT size) override;
    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveInClose(HWAVEIN handle) override;
    MMRESULT waveInPrepareHeader(HWAVEIN, WAVEHDR*, UINT) override { return MMSYSERR_NOTSUPPORTED; }
    MMRESULT waveInUnprepareHeader(HWAVEIN, WAVEHDR*, UINT) override { return MMSYSERR_NOTSUPPORTED; }
    MMRESULT waveInAddBuffer(HWAVEIN, WAVEHDR*, UINT) override { return MMSYSERR_NOTSUPPORTED; }
    MMRESULT waveInStart(HWAVEIN) override { return MMSYSERR_NOTSUPPORTED; }
    MMRESULT waveInReset(HWAVEIN) override { return MMSYSERR_NOTSUPPORTED; }

    UINT waveOutGetNumDevs() override { return 0; }
    MMRESULT waveOutGetDevCapsA(UINT_PTR, WAVEOUTCAPSA*, UINT) override { return MMSYSERR_BADDEVICEID; }
    MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size) override;
    MMRESULT waveOutOpen(HWAVEOUT*, UINT, const WAVEFORMATEX*, DWORD_PTR, DWORD_PTR, DWORD) override
    {
        return MMSYSERR_BADDEVICEID;
    }
    MMRESULT waveOutClose(HWAVEOUT) override { return MMSYSERR_INVALHANDLE; }
    MMRESULT waveOutPrepareHeader(HWAVEOUT, WAVEHDR*, UINT) override { return MMSYSERR_INVALHANDLE; }
    MMRESULT waveOutUnprepareHeader(HWAVEOUT, WAVEHDR*, UINT) override { return MMSYSERR_INVALHANDLE; }
    MMRESULT waveOutWrite(HWAVEOUT, WAVEHDR*, UINT) override { return MMSYSERR_INVALHANDLE; }
    MMRESULT waveOutPause(HWAVEOUT) override { return MMSYSERR_INVALHANDLE; }
    MMRESULT waveOutReset(HWAVEOUT) override { return MMSYSERR_INVALHANDLE; }

    UINT mixerGetNumDevs() override;
    MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) override;
    MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
    MMRESULT mixerClose(HMIXER handle) override;
    MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) override;
    MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;
    MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;

    HMMIO mmioOpenA(LPSTR, MMIOINFO*, DWORD) override { return nullptr; }
    MMRESULT mmioClose(HMMIO, UINT) override { return MMIOERR_CANNOTCLOSE; }
    LONG mmioRead(HMMIO, HPSTR, LONG) override { return -1; }
    LONG mmioWrite(HMMIO, const char*, LONG) override { return -1; }
    MMRESULT mmioCreateChunk(HMMIO, MMCKINFO*, UINT) override { return MMIOERR_CANNOTWRITE; }
    MMRESULT mmioDescend(HMMIO, MMCKINFO*, const MMCKINFO*, UINT) override { return MMIOERR_CHUNKNOTFOUND; }
    MMRESULT mmioAscend(HMMIO, MMCKINFO*, UINT) override { return MMIOERR_CANNOTWRITE; }

    void Sleep(DWORD) override {}

private:
    FakeMixerDevice* OpenDevice(HMIXEROBJ object);
    std::vector<FakeControl>* LineControls(FakeMixerDevice& device, DWORD lineId, DWORD* channels);
    FakeControl* FindControl(DWORD id, DWORD* channels);

    CAudioServices* m_previous;
    DWORD m_lastId = 0;
    std::vector<size_t> m_openMixerDevices;
};

// A source line with one volume control, as most capture mixers offer.
FakeSourceLine FakeLineWithVolume(CFakeMixer& mixer, const std::string& name, DWORD componentType, DWORD channels,
                                  DWORD minimum = 0, DWORD maximum = 65535);
// A boolean control of the recording destination: a selector when items > 0.
FakeControl FakeSwitch(CFakeMixer& mixer, const std::string& name, DWORD type, DWORD flags, DWORD items = 0);
