// CTestAudioServices: WinMM itself, installed as the services in use for as long as it lives,
// except that a test can make the nth next call of one of the functions below return a chosen
// result: the failures a real device or disk cannot be made to produce on demand. A modelled
// mixer derives from it and answers the mixer calls.
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

    // The nth next call of `name` (1 = the very next) returns `result`; mmioWrite returns it
    // as its count.
    void Fail(const std::string& name, LONG_PTR result, int nth = 1);
    // Calls of `name` made so far.
    int Count(const std::string& name) const;

    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveInClose(HWAVEIN handle) override;
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutClose(HWAVEOUT handle) override;
    LONG mmioWrite(HMMIO file, const char* buffer, LONG count) override;
    MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags) override;

protected:
    // Counts the call; true, with the scripted result, when this one is to fail.
    bool Failing(const char* name, LONG_PTR* result);

private:
    std::map<std::string, std::vector<std::pair<int, LONG_PTR>>, std::less<>> m_failures;
    std::map<std::string, int, std::less<>> m_counts;
    CAudioServices* m_pPrevious;
};
