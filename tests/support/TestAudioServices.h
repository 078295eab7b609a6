// CTestAudioServices: WinMM itself, installed as the services in use for as long as it lives,
// except that a test can make the nth next call of one of the functions below return a chosen
// result: the failures a real device or disk cannot be made to produce on demand. It also
// watches the buffer memory: memory prepared on a device counts as held by it until that
// device has closed, and freeing it before then is counted. A modelled mixer derives from it
// and answers the mixer calls.
#pragma once
#include "AudioServices.h"
#include <map>
#include <string>
#include <vector>

class CTestAudioServices : public CWinmmServices {
public:
    CTestAudioServices();
    ~CTestAudioServices() override;
    CTestAudioServices(const CTestAudioServices&) = delete;
    CTestAudioServices& operator=(const CTestAudioServices&) = delete;

    // The nth next call of `name` (1 = the very next) returns `result`, and so do the `times` - 1
    // calls after it (every one for -1). A file call that fails this way does nothing; "WriteFile
    // NAME" names the writes to one file.
    void Fail(const std::string& name, LONG_PTR result, int nth = 1, int times = 1);
    // Calls of `name` made so far.
    int Count(const std::string& name) const;
    // Frees of memory that a device not yet closed had been given.
    int freedWhileHeld = 0;

    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveInClose(HWAVEIN handle) override;
    MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInStart(HWAVEIN handle) override;
    MMRESULT waveInReset(HWAVEIN handle) override;
    MMRESULT waveOutOpen(HWAVEOUT* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                         DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveOutClose(HWAVEOUT handle) override;
    MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutPause(HWAVEOUT handle) override;
    MMRESULT waveOutRestart(HWAVEOUT handle) override;
    MMRESULT waveOutReset(HWAVEOUT handle) override;
    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, DWORD creation) override;
    BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done) override;
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done) override;
    BOOL SetFilePointerEx(HANDLE file, LONGLONG offset, LONGLONG* position, DWORD origin) override;
    BOOL GetFileSizeEx(HANDLE file, LONGLONG* size) override;
    BOOL CloseHandle(HANDLE handle) override;
    HGLOBAL GlobalFree(HGLOBAL memory) override;

protected:
    // Counts the call; true, with the scripted result, when this one is to fail.
    bool Failing(const char* name, LONG_PTR* result);

private:
    // What a device was given, by the device.
    void Held(const void* device, const WAVEHDR* header, MMRESULT prepared);
    void Closed(const void* device, MMRESULT closed);

    struct CFailure {
        int nth;
        LONG_PTR result;
        int times;
    };
    std::map<std::string, std::vector<CFailure>, std::less<>> m_failures;
    std::map<std::string, int, std::less<>> m_counts;
    std::multimap<const void*, const void*> m_held;
    std::map<HANDLE, std::string> m_fileNames;
    CAudioServices* m_pPrevious;
};
