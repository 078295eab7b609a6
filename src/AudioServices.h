// CAudioServices: the seam through which the engine and the mixer control reach WinMM's
// wave, mixer and RIFF file functions. The program uses WinMM itself; tests install, with
// SetAudioServices, services that make a chosen call fail.
#pragma once
#include <windows.h>
#include <mmsystem.h>

class CAudioServices {
public:
    virtual ~CAudioServices() = default;

    virtual UINT waveInGetNumDevs() = 0;
    virtual MMRESULT waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size) = 0;
    virtual MMRESULT waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT size) = 0;
    virtual MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                                DWORD_PTR instance, DWORD flags) = 0;
    virtual MMRESULT waveInClose(HWAVEIN handle) = 0;
    virtual MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
    virtual MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
    virtual MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
    virtual MMRESULT waveInStart(HWAVEIN handle) = 0;
    virtual MMRESULT waveInReset(HWAVEIN handle) = 0;

    virtual UINT waveOutGetNumDevs() = 0;
    virtual MMRESULT waveOutGetDevCapsA(UINT_PTR device, WAVEOUTCAPSA* caps, UINT size) = 0;
    virtual MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size) = 0;
    virtual MMRESULT waveOutOpen(HWAVEOUT* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                                 DWORD_PTR instance, DWORD flags) = 0;
    virtual MMRESULT waveOutClose(HWAVEOUT handle) = 0;
    virtual MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
    virtual MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
    virtual MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
    virtual MMRESULT waveOutPause(HWAVEOUT handle) = 0;
    virtual MMRESULT waveOutReset(HWAVEOUT handle) = 0;

    virtual UINT mixerGetNumDevs() = 0;
    virtual MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) = 0;
    virtual MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) = 0;
    virtual MMRESULT mixerClose(HMIXER handle) = 0;
    virtual MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) = 0;
    virtual MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
    virtual MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
    virtual MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) = 0;

    virtual HMMIO mmioOpenA(LPSTR name, MMIOINFO* info, DWORD flags) = 0;
    virtual MMRESULT mmioClose(HMMIO file, UINT flags) = 0;
    virtual LONG mmioRead(HMMIO file, HPSTR buffer, LONG count) = 0;
    virtual LONG mmioWrite(HMMIO file, const char* buffer, LONG count) = 0;
    virtual MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags) = 0;
    virtual MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) = 0;
    virtual MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags) = 0;
    virtual LONG mmioSeek(HMMIO file, LONG offset, int origin) = 0;

    // The fixed pause at the end of a recording.
    virtual void Sleep(DWORD milliseconds) = 0;
};

// The services in use: WinMM unless a test has installed others.
CAudioServices& AudioServices();
// Installs `services` (null restores WinMM) and returns the previous ones.
CAudioServices* SetAudioServices(CAudioServices* services);
