#include "support/TestAudioServices.h"
#include <cstring>

CTestAudioServices::CTestAudioServices() : m_pPrevious(SetAudioServices(this)) {}

CTestAudioServices::~CTestAudioServices()
{
    SetAudioServices(m_pPrevious);
}

void CTestAudioServices::Fail(const std::string& name, LONG_PTR result, int nth, int times)
{
    m_failures[name].push_back({nth, result, times});
}

int CTestAudioServices::Count(const std::string& name) const
{
    auto found = m_counts.find(name);
    return found == m_counts.end() ? 0 : found->second;
}

bool CTestAudioServices::Failing(const char* name, LONG_PTR* result)
{
    // Found before inserted: the capture benchmark goes through here for every write.
    auto counted = m_counts.find(name);
    if (counted == m_counts.end())
        counted = m_counts.emplace(name, 0).first;
    ++counted->second;
    auto found = m_failures.find(name);
    if (found == m_failures.end())
        return false;
    // A scripted call fails once its count reaches 0, as many times as asked; two due at once,
    // only the first.
    bool fail = false;
    for (CFailure& failure : found->second) {
        if (--failure.nth > 0 || failure.times == 0)
            continue;
        if (!fail)
            fail = true, *result = failure.result;
        failure.times -= failure.times > 0;
    }
    return fail;
}

void CTestAudioServices::Held(const void* device, const WAVEHDR* header, MMRESULT prepared)
{
    if (prepared == MMSYSERR_NOERROR) {
        m_held.emplace(device, header);
        m_held.emplace(device, header->lpData);
    }
}

void CTestAudioServices::Closed(const void* device, MMRESULT closed)
{
    if (closed == MMSYSERR_NOERROR)
        m_held.erase(device);
}

HGLOBAL CTestAudioServices::GlobalFree(HGLOBAL memory)
{
    for (const auto& held : m_held)
        freedWhileHeld += held.second == memory;
    return CWinmmServices::GlobalFree(memory);
}

// Each call returns its scripted result, or else goes to WinMM; `after` sees what it gave.
#define FORWARD(Result, name, params, args, after)                                                      \
    Result CTestAudioServices::name params                                                              \
    {                                                                                                   \
        LONG_PTR scripted;                                                                              \
        Result result = Failing(#name, &scripted) ? (Result)scripted : CWinmmServices::name args;       \
        after;                                                                                          \
        return result;                                                                                  \
    }
TEST_AUDIO_CALLS(FORWARD)

// Also as "WriteFile NAME", for the writes to one file, once such a failure is scripted: the
// capture benchmark counts the allocations of every block's write.
BOOL CTestAudioServices::WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done)
{
    LONG_PTR scripted;
    const bool any = Failing("WriteFile", &scripted);
    if ((!m_failures.empty() && Failing(("WriteFile " + m_fileNames[file]).c_str(), &scripted)) || any)
        return static_cast<BOOL>(scripted);
    return CWinmmServices::WriteFile(file, buffer, count, done);
}
