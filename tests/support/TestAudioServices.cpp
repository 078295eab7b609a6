#include "support/TestAudioServices.h"

CTestAudioServices::CTestAudioServices() : m_pPrevious(SetAudioServices(this)) {}

CTestAudioServices::~CTestAudioServices()
{
    SetAudioServices(m_pPrevious);
}

void CTestAudioServices::Fail(const std::string& name, LONG_PTR result, int nth)
{
    m_failures[name].push_back({nth, result});
}

int CTestAudioServices::Count(const std::string& name) const
{
    auto found = m_counts.find(name);
    return found == m_counts.end() ? 0 : found->second;
}

bool CTestAudioServices::Failing(const char* name, LONG_PTR* result)
{
    ++m_counts[name];
    auto found = m_failures.find(name);
    if (found == m_failures.end())
        return false;
    bool fail = false;
    auto& pending = found->second;
    for (auto it = pending.begin(); it != pending.end();) {
        if (--it->first == 0 && !fail) {
            fail = true;
            *result = it->second;
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
    return fail;
}

// Each call returns its scripted result, or else goes to WinMM.
#define FORWARD(Result, name, params, args)                                                             \
    Result CTestAudioServices::name params                                                              \
    {                                                                                                   \
        LONG_PTR result;                                                                                \
        return Failing(#name, &result) ? (Result)result : CWinmmServices::name args;                   \
    }

FORWARD(MMRESULT, waveInOpen,
        (HWAVEIN * handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance,
         DWORD flags),
        (handle, device, format, callback, instance, flags))
FORWARD(MMRESULT, waveInClose, (HWAVEIN handle), (handle))
FORWARD(MMRESULT, waveInAddBuffer, (HWAVEIN handle, WAVEHDR* header, UINT size), (handle, header, size))
FORWARD(MMRESULT, waveOutClose, (HWAVEOUT handle), (handle))
FORWARD(LONG, mmioWrite, (HMMIO file, const char* buffer, LONG count), (file, buffer, count))
FORWARD(MMRESULT, mmioAscend, (HMMIO file, MMCKINFO* chunk, UINT flags), (file, chunk, flags))
