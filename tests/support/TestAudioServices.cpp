#include "support/TestAudioServices.h"

CTestAudioServices::CTestAudioServices() : m_pReal(SetAudioServices(this)) {}

CTestAudioServices::~CTestAudioServices()
{
    SetAudioServices(m_pReal);
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
        return Failing(#name, &result) ? (Result)result : m_pReal->name args;                          \
    }

FORWARD(UINT, waveInGetNumDevs, (), ())
FORWARD(MMRESULT, waveInGetDevCapsA, (UINT_PTR device, WAVEINCAPSA* caps, UINT size), (device, caps, size))
FORWARD(MMRESULT, waveInGetErrorTextA, (MMRESULT error, LPSTR text, UINT size), (error, text, size))
FORWARD(MMRESULT, waveInOpen,
        (HWAVEIN * handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance,
         DWORD flags),
        (handle, device, format, callback, instance, flags))
FORWARD(MMRESULT, waveInClose, (HWAVEIN handle), (handle))
FORWARD(MMRESULT, waveInPrepareHeader, (HWAVEIN handle, WAVEHDR* header, UINT size), (handle, header, size))
FORWARD(MMRESULT, waveInUnprepareHeader, (HWAVEIN handle, WAVEHDR* header, UINT size), (handle, header, size))
FORWARD(MMRESULT, waveInAddBuffer, (HWAVEIN handle, WAVEHDR* header, UINT size), (handle, header, size))
FORWARD(MMRESULT, waveInStart, (HWAVEIN handle), (handle))
FORWARD(MMRESULT, waveInReset, (HWAVEIN handle), (handle))

FORWARD(UINT, waveOutGetNumDevs, (), ())
FORWARD(MMRESULT, waveOutGetDevCapsA, (UINT_PTR device, WAVEOUTCAPSA* caps, UINT size), (device, caps, size))
FORWARD(MMRESULT, waveOutGetErrorTextA, (MMRESULT error, LPSTR text, UINT size), (error, text, size))
FORWARD(MMRESULT, waveOutOpen,
        (HWAVEOUT * handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance,
         DWORD flags),
        (handle, device, format, callback, instance, flags))
FORWARD(MMRESULT, waveOutClose, (HWAVEOUT handle), (handle))
FORWARD(MMRESULT, waveOutPrepareHeader, (HWAVEOUT handle, WAVEHDR* header, UINT size), (handle, header, size))
FORWARD(MMRESULT, waveOutUnprepareHeader, (HWAVEOUT handle, WAVEHDR* header, UINT size), (handle, header, size))
FORWARD(MMRESULT, waveOutWrite, (HWAVEOUT handle, WAVEHDR* header, UINT size), (handle, header, size))
FORWARD(MMRESULT, waveOutPause, (HWAVEOUT handle), (handle))
FORWARD(MMRESULT, waveOutReset, (HWAVEOUT handle), (handle))

FORWARD(UINT, mixerGetNumDevs, (), ())
FORWARD(MMRESULT, mixerGetID, (HMIXEROBJ object, UINT* id, DWORD flags), (object, id, flags))
FORWARD(MMRESULT, mixerOpen, (HMIXER * handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags),
        (handle, id, callback, instance, flags))
FORWARD(MMRESULT, mixerClose, (HMIXER handle), (handle))
FORWARD(MMRESULT, mixerGetLineInfoA, (HMIXEROBJ object, MIXERLINEA* line, DWORD flags), (object, line, flags))
FORWARD(MMRESULT, mixerGetLineControlsA, (HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags),
        (object, controls, flags))
FORWARD(MMRESULT, mixerGetControlDetailsA, (HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags),
        (object, details, flags))
FORWARD(MMRESULT, mixerSetControlDetails, (HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags),
        (object, details, flags))

FORWARD(HMMIO, mmioOpenA, (LPSTR name, MMIOINFO* info, DWORD flags), (name, info, flags))
FORWARD(MMRESULT, mmioClose, (HMMIO file, UINT flags), (file, flags))
FORWARD(LONG, mmioRead, (HMMIO file, HPSTR buffer, LONG count), (file, buffer, count))
FORWARD(LONG, mmioWrite, (HMMIO file, const char* buffer, LONG count), (file, buffer, count))
FORWARD(MMRESULT, mmioCreateChunk, (HMMIO file, MMCKINFO* chunk, UINT flags), (file, chunk, flags))
FORWARD(MMRESULT, mmioDescend, (HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags),
        (file, chunk, parent, flags))
FORWARD(MMRESULT, mmioAscend, (HMMIO file, MMCKINFO* chunk, UINT flags), (file, chunk, flags))
FORWARD(LONG, mmioSeek, (HMMIO file, LONG offset, int origin), (file, offset, origin))

void CTestAudioServices::Sleep(DWORD milliseconds)
{
    m_pReal->Sleep(milliseconds);
}
