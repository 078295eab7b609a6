// CTestAudioServices: WinMM itself, installed as the services in use for as long as it lives,
// except that a test can make the nth next call of one of the functions below return a chosen
// result: the failures a real device or disk cannot be made to produce on demand. Memory
// prepared on a device counts as held by it until that device has closed; freeing it before is counted.
#pragma once
#include "AudioServices.h"
#include <map>
#include <string>
#include <vector>

// The calls a test can make fail: result, name, parameters, arguments, what to note of the result.
#define TEST_AUDIO_CALLS(X)                                                                                     \
    X(MMRESULT, waveInOpen, (HWAVEIN* h, UINT device, const WAVEFORMATEX* format, DWORD_PTR cb, DWORD_PTR user, \
                             DWORD flags), (h, device, format, cb, user, flags), )                            \
    X(MMRESULT, waveInClose, (HWAVEIN h), (h), Closed(h, result))                                                \
    X(MMRESULT, waveInPrepareHeader, (HWAVEIN h, WAVEHDR* header, UINT size), (h, header, size),                \
      Held(h, header, result))                                                                                  \
    X(MMRESULT, waveInUnprepareHeader, (HWAVEIN h, WAVEHDR* header, UINT size), (h, header, size), )            \
    X(MMRESULT, waveInAddBuffer, (HWAVEIN h, WAVEHDR* header, UINT size), (h, header, size), )                  \
    X(MMRESULT, waveInStart, (HWAVEIN h), (h), )                                                                 \
    X(MMRESULT, waveInReset, (HWAVEIN h), (h), )                                                                 \
    X(MMRESULT, waveOutOpen, (HWAVEOUT* h, UINT device, const WAVEFORMATEX* format, DWORD_PTR cb, DWORD_PTR user, \
                              DWORD flags), (h, device, format, cb, user, flags), )                           \
    X(MMRESULT, waveOutClose, (HWAVEOUT h), (h), Closed(h, result))                                              \
    X(MMRESULT, waveOutPrepareHeader, (HWAVEOUT h, WAVEHDR* header, UINT size), (h, header, size),              \
      Held(h, header, result))                                                                                  \
    X(MMRESULT, waveOutUnprepareHeader, (HWAVEOUT h, WAVEHDR* header, UINT size), (h, header, size), )          \
    X(MMRESULT, waveOutWrite, (HWAVEOUT h, WAVEHDR* header, UINT size), (h, header, size), )                    \
    X(MMRESULT, waveOutPause, (HWAVEOUT h), (h), )                                                               \
    X(MMRESULT, waveOutRestart, (HWAVEOUT h), (h), )                                                             \
    X(MMRESULT, waveOutReset, (HWAVEOUT h), (h), )                                                               \
    X(HANDLE, CreateFileA, (LPCSTR name, DWORD access, DWORD share, DWORD creation), (name, access, share, creation), \
      m_fileNames[result] = strrchr(name, '\\') ? strrchr(name, '\\') + 1 : name)                               \
    X(BOOL, ReadFile, (HANDLE file, void* buffer, DWORD count, DWORD* done), (file, buffer, count, done), )     \
    X(BOOL, SetFilePointerEx, (HANDLE file, LONGLONG offset, LONGLONG* at, DWORD from), (file, offset, at, from), ) \
    X(BOOL, GetFileSizeEx, (HANDLE file, LONGLONG* size), (file, size), )                                       \
    X(BOOL, CloseHandle, (HANDLE handle), (handle), )

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

#define TEST_AUDIO_DECLARE(Result, name, params, args, after) Result name params override;
    TEST_AUDIO_CALLS(TEST_AUDIO_DECLARE)
#undef TEST_AUDIO_DECLARE
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done) override;
    HGLOBAL GlobalFree(HGLOBAL memory) override;

protected:
    // Counts the call; true, with the scripted result, when this one is to fail.
    bool Failing(const char* name, LONG_PTR* result);

private:
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
