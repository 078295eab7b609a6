// CAudioServices, CWinmmServices: the seam through which the engine and the mixer control
// reach WinMM's wave and mixer functions, the files of the WAV and MP3 outputs and the buffer
// memory, and Windows behind it. The program uses Windows itself; tests install, with
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
    virtual MMRESULT waveOutRestart(HWAVEOUT handle) = 0;
    virtual MMRESULT waveOutReset(HWAVEOUT handle) = 0;

    virtual UINT mixerGetNumDevs() = 0;
    virtual MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) = 0;
    virtual MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) = 0;
    virtual MMRESULT mixerClose(HMIXER handle) = 0;
    virtual MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) = 0;
    virtual MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
    virtual MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
    virtual MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) = 0;

    virtual HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, DWORD creation) = 0;
    virtual BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done) = 0;
    virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done) = 0;
    virtual BOOL SetFilePointerEx(HANDLE file, LONGLONG offset, LONGLONG* position, DWORD origin) = 0;
    virtual BOOL GetFileSizeEx(HANDLE file, LONGLONG* size) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual BOOL DeleteFileA(LPCSTR name) = 0;

    // The memory of the buffers handed to a device, so that tests can see one freed while a
    // device may still write into it.
    virtual HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) = 0;
    virtual HGLOBAL GlobalFree(HGLOBAL memory) = 0;
};

// Every call goes straight to WinMM: the services the program uses.
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
    MMRESULT waveOutRestart(HWAVEOUT handle) override { return ::waveOutRestart(handle); }
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

    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, DWORD creation) override
    {
        return ::CreateFileA(name, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done) override
    {
        return ::ReadFile(file, buffer, count, done, nullptr);
    }
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done) override
    {
        return ::WriteFile(file, buffer, count, done, nullptr);
    }
    BOOL SetFilePointerEx(HANDLE file, LONGLONG offset, LONGLONG* position, DWORD origin) override
    {
        LARGE_INTEGER distance, moved;
        distance.QuadPart = offset;
        const BOOL bDone = ::SetFilePointerEx(file, distance, &moved, origin);
        if (bDone && position)
            *position = moved.QuadPart;
        return bDone;
    }
    BOOL GetFileSizeEx(HANDLE file, LONGLONG* size) override
    {
        LARGE_INTEGER got;
        const BOOL bDone = ::GetFileSizeEx(file, &got);
        if (bDone)
            *size = got.QuadPart;
        return bDone;
    }
    BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }
    BOOL DeleteFileA(LPCSTR name) override { return ::DeleteFileA(name); }

    HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) override { return ::GlobalAlloc(flags, bytes); }
    HGLOBAL GlobalFree(HGLOBAL memory) override { return ::GlobalFree(memory); }
};

// The services in use: WinMM unless a test has installed others.
CAudioServices& AudioServices();
// Installs `services` (null restores WinMM) and returns the previous ones.
CAudioServices* SetAudioServices(CAudioServices* services);
