#include "AudioServices.h"

namespace {

// Every call goes straight to WinMM.
class CWinmmServices : public CAudioServices {
public:
    UINT waveInGetNumDevs() override { return ::waveInGetNumDevs(); }
    MMRESULT waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size) override
    {
        return ::waveInGetDevCapsA(device, caps, size);
    }
    MMRESULT waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT size) override
    {
        return ::waveInGetErrorTextA(error, text, size);
    }
    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override
    {
        return ::waveInOpen(handle, device, format, callback, instance, flags);
    }
    MMRESULT waveInClose(HWAVEIN handle) override { return ::waveInClose(handle); }
    MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override
    {
        return ::waveInPrepareHeader(handle, header, size);
    }
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override
    {
        return ::waveInUnprepareHeader(handle, header, size);
    }
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override
    {
        return ::waveInAddBuffer(handle, header, size);
    }
    MMRESULT waveInStart(HWAVEIN handle) override { return ::waveInStart(handle); }
    MMRESULT waveInReset(HWAVEIN handle) override { return ::waveInReset(handle); }

    UINT waveOutGetNumDevs() override { return ::waveOutGetNumDevs(); }
    MMRESULT waveOutGetDevCapsA(UINT_PTR device, WAVEOUTCAPSA* caps, UINT size) override
    {
        return ::waveOutGetDevCapsA(device, caps, size);
    }
    MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size) override
    {
        return ::waveOutGetErrorTextA(error, text, size);
    }
    MMRESULT waveOutOpen(HWAVEOUT* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                         DWORD_PTR instance, DWORD flags) override
    {
        return ::waveOutOpen(handle, device, format, callback, instance, flags);
    }
    MMRESULT waveOutClose(HWAVEOUT handle) override { return ::waveOutClose(handle); }
    MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override
    {
        return ::waveOutPrepareHeader(handle, header, size);
    }
    MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override
    {
        return ::waveOutUnprepareHeader(handle, header, size);
    }
    MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) override
    {
        return ::waveOutWrite(handle, header, size);
    }
    MMRESULT waveOutPause(HWAVEOUT handle) override { return ::waveOutPause(handle); }
    MMRESULT waveOutReset(HWAVEOUT handle) override { return ::waveOutReset(handle); }

    UINT mixerGetNumDevs() override { return ::mixerGetNumDevs(); }
    MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) override { return ::mixerGetID(object, id, flags); }
    MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override
    {
        return ::mixerOpen(handle, id, callback, instance, flags);
    }
    MMRESULT mixerClose(HMIXER handle) override { return ::mixerClose(handle); }
    MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) override
    {
        return ::mixerGetLineInfoA(object, line, flags);
    }
    MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) override
    {
        return ::mixerGetLineControlsA(object, controls, flags);
    }
    MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override
    {
        return ::mixerGetControlDetailsA(object, details, flags);
    }
    MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override
    {
        return ::mixerSetControlDetails(object, details, flags);
    }

    HMMIO mmioOpenA(LPSTR name, MMIOINFO* info, DWORD flags) override
    {
        // Wine's MMIO_DELETE leaves the file open instead of deleting it, so that the file
        // can then be neither deleted nor created: delete it as WinMM documents.
        if (flags & MMIO_DELETE)
            return reinterpret_cast<HMMIO>(static_cast<UINT_PTR>(::DeleteFileA(name)));
        return ::mmioOpenA(name, info, flags);
    }
    MMRESULT mmioClose(HMMIO file, UINT flags) override { return ::mmioClose(file, flags); }
    LONG mmioRead(HMMIO file, HPSTR buffer, LONG count) override { return ::mmioRead(file, buffer, count); }
    LONG mmioWrite(HMMIO file, const char* buffer, LONG count) override { return ::mmioWrite(file, buffer, count); }
    MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags) override
    {
        return ::mmioCreateChunk(file, chunk, flags);
    }
    MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) override
    {
        return ::mmioDescend(file, chunk, parent, flags);
    }
    MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags) override { return ::mmioAscend(file, chunk, flags); }
    LONG mmioSeek(HMMIO file, LONG offset, int origin) override { return ::mmioSeek(file, offset, origin); }

    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
};

CWinmmServices g_winmm;
CAudioServices* g_services = &g_winmm;

} // namespace

CAudioServices& AudioServices()
{
    return *g_services;
}

CAudioServices* SetAudioServices(CAudioServices* services)
{
    CAudioServices* previous = g_services;
    g_services = services ? services : &g_winmm;
    return previous;
}
