// CTestAudioServices: WinMM itself, installed as the services in use for as long as it lives,
// except that a test can make the nth next call of a function return a chosen result without
// reaching WinMM. For failures a real device or file cannot be made to produce; a modelled
// mixer derives from it and overrides the mixer calls.
#pragma once
#include "AudioServices.h"
#include <map>
#include <string>
#include <vector>

class CTestAudioServices : public CAudioServices {
public:
    CTestAudioServices();
    ~CTestAudioServices() override;
    CTestAudioServices(const CTestAudioServices&) = delete;
    CTestAudioServices& operator=(const CTestAudioServices&) = delete;

    // The nth next call of `name` (1 = the very next) returns `result`. For mmioOpenA any
    // result means "no file"; mmioWrite and mmioRead return it as their count.
    void Fail(const std::string& name, LONG_PTR result, int nth = 1);
    // Calls of `name` made so far.
    int Count(const std::string& name) const;

    UINT waveInGetNumDevs() override;
    MMRESULT waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size) override;
    MMRESULT waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT size) override;
    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveInClose(HWAVEIN handle) override;
    MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInStart(HWAVEIN handle) override;
    MMRESULT waveInReset(HWAVEIN handle) override;

    UINT waveOutGetNumDevs() override;
    MMRESULT waveOutGetDevCapsA(UINT_PTR device, WAVEOUTCAPSA* caps, UINT size) override;
    MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size) override;
    MMRESULT waveOutOpen(HWAVEOUT* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                         DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveOutClose(HWAVEOUT handle) override;
    MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutPause(HWAVEOUT handle) override;
    MMRESULT waveOutReset(HWAVEOUT handle) override;

    UINT mixerGetNumDevs() override;
    MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) override;
    MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
    MMRESULT mixerClose(HMIXER handle) override;
    MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) override;
    MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;
    MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;

    HMMIO mmioOpenA(LPSTR name, MMIOINFO* info, DWORD flags) override;
    MMRESULT mmioClose(HMMIO file, UINT flags) override;
    LONG mmioRead(HMMIO file, HPSTR buffer, LONG count) override;
    LONG mmioWrite(HMMIO file, const char* buffer, LONG count) override;
    MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags) override;
    MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) override;
    MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags) override;
    LONG mmioSeek(HMMIO file, LONG offset, int origin) override;

    void Sleep(DWORD milliseconds) override;

protected:
    // Counts the call; true, with the scripted result, when this one is to fail.
    bool Failing(const char* name, LONG_PTR* result);
    CAudioServices& Real() { return *m_pReal; }

private:
    std::map<std::string, std::vector<std::pair<int, LONG_PTR>>, std::less<>> m_failures;
    std::map<std::string, int, std::less<>> m_counts;
    CAudioServices* m_pReal;
};
