#include "FakeAudioServices.h"
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

template <class Caps>
MMRESULT FillCaps(const std::vector<std::string>& names, UINT_PTR device, Caps* caps)
{
    if (device >= names.size())
        return MMSYSERR_BADDEVICEID;
    *caps = Caps{};
    lstrcpynA(caps->szPname, names[device].c_str(), MAXPNAMELEN);
    return MMSYSERR_NOERROR;
}

MMRESULT ErrorText(MMRESULT error, LPSTR text, UINT size)
{
    snprintf(text, size, "fake error %u", error);
    return MMSYSERR_NOERROR;
}

} // namespace

// The queues keep their room, so that handing buffers back allocates nothing.
CFakeAudioServices::CFakeAudioServices() : m_pPrevious(SetAudioServices(this))
{
    inQueue.reserve(64);
    outQueue.reserve(64);
}

CFakeAudioServices::~CFakeAudioServices()
{
    SetAudioServices(m_pPrevious);
}

void CFakeAudioServices::Fail(const std::string& name, LONG_PTR result, int nth)
{
    m_failures[name].push_back({nth, result});
}

bool CFakeAudioServices::Call(const char* name, const void* object, UINT_PTR value, LONG_PTR* result)
{
    if (logCalls)
        log.push_back({name, object, value});
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

std::vector<std::string> CFakeAudioServices::Names(const std::string& prefix) const
{
    std::vector<std::string> names;
    for (const FakeCall& call : log) {
        if (call.name.compare(0, prefix.size(), prefix) == 0)
            names.push_back(call.name);
    }
    return names;
}

int CFakeAudioServices::Count(const std::string& name) const
{
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const FakeCall& c) { return c.name == name; }));
}

BYTE CFakeAudioServices::PatternByte(size_t position)
{
    return static_cast<BYTE>(position * 7 + position / 251);
}

// ---------------------------------------------------------------------------------------
// Wave input

UINT CFakeAudioServices::waveInGetNumDevs()
{
    LONG_PTR result;
    if (Call("waveInGetNumDevs", nullptr, 0, &result))
        return static_cast<UINT>(result);
    return static_cast<UINT>(inDevices.size());
}

MMRESULT CFakeAudioServices::waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT)
{
    LONG_PTR result;
    if (Call("waveInGetDevCapsA", nullptr, device, &result))
        return static_cast<MMRESULT>(result);
    return FillCaps(inDevices, device, caps);
}

MMRESULT CFakeAudioServices::waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT size)
{
    LONG_PTR result;
    if (Call("waveInGetErrorTextA", nullptr, error, &result))
        return static_cast<MMRESULT>(result);
    return ErrorText(error, text, size);
}

MMRESULT CFakeAudioServices::waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format,
                                        DWORD_PTR callback, DWORD_PTR, DWORD flags)
{
    LONG_PTR result;
    if (Call("waveInOpen", nullptr, device, &result))
        return static_cast<MMRESULT>(result);
    inDevice = device;
    inFormat = *format;
    inFlags = flags;
    inWindow = reinterpret_cast<HWND>(callback);
    inOpen = true;
    inStarted = false;
    *handle = hWaveIn;
    Notify(inWindow, MM_WIM_OPEN, reinterpret_cast<WPARAM>(hWaveIn), 0);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveInClose(HWAVEIN handle)
{
    LONG_PTR result;
    if (Call("waveInClose", handle, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!inOpen || handle != hWaveIn)
        return MMSYSERR_INVALHANDLE;
    if (!inQueue.empty())
        return WAVERR_STILLPLAYING;
    inOpen = false;
    Notify(inWindow, MM_WIM_CLOSE, reinterpret_cast<WPARAM>(hWaveIn), 0);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT)
{
    LONG_PTR result;
    if (Call("waveInPrepareHeader", header, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!inOpen || handle != hWaveIn)
        return MMSYSERR_INVALHANDLE;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT)
{
    LONG_PTR result;
    if (Call("waveInUnprepareHeader", header, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!inOpen || handle != hWaveIn)
        return MMSYSERR_INVALHANDLE;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT)
{
    LONG_PTR result;
    if (Call("waveInAddBuffer", header, header->dwBufferLength, &result))
        return static_cast<MMRESULT>(result);
    if (!inOpen || handle != hWaveIn)
        return MMSYSERR_INVALHANDLE;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
    header->dwBytesRecorded = 0;
    inQueue.push_back(header);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveInStart(HWAVEIN handle)
{
    LONG_PTR result;
    if (Call("waveInStart", handle, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!inOpen || handle != hWaveIn)
        return MMSYSERR_INVALHANDLE;
    inStarted = true;
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveInReset(HWAVEIN handle)
{
    LONG_PTR result;
    if (Call("waveInReset", handle, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!inOpen || handle != hWaveIn)
        return MMSYSERR_INVALHANDLE;
    inStarted = false;
    while (!inQueue.empty()) {
        WAVEHDR* header = PopFront(inQueue);
        header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        Notify(inWindow, MM_WIM_DATA, reinterpret_cast<WPARAM>(hWaveIn), reinterpret_cast<LPARAM>(header));
    }
    return MMSYSERR_NOERROR;
}

bool CFakeAudioServices::ReturnInput(DWORD bytes)
{
    if (inQueue.empty())
        return false;
    WAVEHDR* header = PopFront(inQueue);
    bytes = std::min(bytes, header->dwBufferLength);
    if (fillInput) {
        BYTE* data = reinterpret_cast<BYTE*>(header->lpData);
        for (DWORD i = 0; i < bytes; ++i)
            data[i] = PatternByte(returnedInput.size() + i);
        returnedInput.insert(returnedInput.end(), data, data + bytes);
    }
    HandBackInput(header, bytes);
    return true;
}

bool CFakeAudioServices::ReturnInput(const std::vector<BYTE>& data)
{
    if (inQueue.empty())
        return false;
    WAVEHDR* header = PopFront(inQueue);
    DWORD bytes = std::min<DWORD>(static_cast<DWORD>(data.size()), header->dwBufferLength);
    memcpy(header->lpData, data.data(), bytes);
    returnedInput.insert(returnedInput.end(), data.begin(), data.begin() + bytes);
    HandBackInput(header, bytes);
    return true;
}

WAVEHDR* CFakeAudioServices::PopFront(std::vector<WAVEHDR*>& queue)
{
    WAVEHDR* header = queue.front();
    queue.erase(queue.begin());
    return header;
}

void CFakeAudioServices::Notify(HWND window, UINT message, WPARAM handle, LPARAM header)
{
    if (sendEvents)
        ::SendMessageA(window, message, handle, header);
    else
        ::PostMessageA(window, message, handle, header);
}

void CFakeAudioServices::HandBackInput(WAVEHDR* header, DWORD bytes)
{
    header->dwBytesRecorded = bytes;
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    Notify(inWindow, MM_WIM_DATA, reinterpret_cast<WPARAM>(hWaveIn), reinterpret_cast<LPARAM>(header));
}

// ---------------------------------------------------------------------------------------
// Wave output

UINT CFakeAudioServices::waveOutGetNumDevs()
{
    LONG_PTR result;
    if (Call("waveOutGetNumDevs", nullptr, 0, &result))
        return static_cast<UINT>(result);
    return static_cast<UINT>(outDevices.size());
}

MMRESULT CFakeAudioServices::waveOutGetDevCapsA(UINT_PTR device, WAVEOUTCAPSA* caps, UINT)
{
    LONG_PTR result;
    if (Call("waveOutGetDevCapsA", nullptr, device, &result))
        return static_cast<MMRESULT>(result);
    return FillCaps(outDevices, device, caps);
}

MMRESULT CFakeAudioServices::waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size)
{
    LONG_PTR result;
    if (Call("waveOutGetErrorTextA", nullptr, error, &result))
        return static_cast<MMRESULT>(result);
    return ErrorText(error, text, size);
}

MMRESULT CFakeAudioServices::waveOutOpen(HWAVEOUT* handle, UINT device, const WAVEFORMATEX* format,
                                         DWORD_PTR callback, DWORD_PTR, DWORD)
{
    LONG_PTR result;
    if (Call("waveOutOpen", nullptr, device, &result))
        return static_cast<MMRESULT>(result);
    outDevice = device;
    outFormat = *format;
    outWindow = reinterpret_cast<HWND>(callback);
    outOpen = true;
    *handle = hWaveOut;
    Notify(outWindow, MM_WOM_OPEN, reinterpret_cast<WPARAM>(hWaveOut), 0);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveOutClose(HWAVEOUT handle)
{
    LONG_PTR result;
    if (Call("waveOutClose", handle, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!outOpen || handle != hWaveOut)
        return MMSYSERR_INVALHANDLE;
    if (!outQueue.empty())
        return WAVERR_STILLPLAYING;
    outOpen = false;
    Notify(outWindow, MM_WOM_CLOSE, reinterpret_cast<WPARAM>(hWaveOut), 0);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT)
{
    LONG_PTR result;
    if (Call("waveOutPrepareHeader", header, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!outOpen || handle != hWaveOut)
        return MMSYSERR_INVALHANDLE;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT)
{
    LONG_PTR result;
    if (Call("waveOutUnprepareHeader", header, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!outOpen || handle != hWaveOut)
        return MMSYSERR_INVALHANDLE;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT)
{
    LONG_PTR result;
    if (Call("waveOutWrite", header, header->dwBufferLength, &result))
        return static_cast<MMRESULT>(result);
    if (!outOpen || handle != hWaveOut)
        return MMSYSERR_INVALHANDLE;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    header->dwFlags = (header->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
    outQueue.push_back(header);
    const BYTE* data = reinterpret_cast<const BYTE*>(header->lpData);
    written.insert(written.end(), data, data + header->dwBufferLength);
    return MMSYSERR_NOERROR;
}

MMRESULT CFakeAudioServices::waveOutPause(HWAVEOUT handle)
{
    LONG_PTR result;
    if (Call("waveOutPause", handle, 0, &result))
        return static_cast<MMRESULT>(result);
    return outOpen && handle == hWaveOut ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT CFakeAudioServices::waveOutReset(HWAVEOUT handle)
{
    LONG_PTR result;
    if (Call("waveOutReset", handle, 0, &result))
        return static_cast<MMRESULT>(result);
    if (!outOpen || handle != hWaveOut)
        return MMSYSERR_INVALHANDLE;
    while (!outQueue.empty()) {
        WAVEHDR* header = PopFront(outQueue);
        header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        Notify(outWindow, MM_WOM_DONE, reinterpret_cast<WPARAM>(hWaveOut), reinterpret_cast<LPARAM>(header));
    }
    return MMSYSERR_NOERROR;
}

bool CFakeAudioServices::CompleteOutput()
{
    if (outQueue.empty())
        return false;
    WAVEHDR* header = PopFront(outQueue);
    const BYTE* data = reinterpret_cast<const BYTE*>(header->lpData);
    heard.insert(heard.end(), data, data + header->dwBufferLength);
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    Notify(outWindow, MM_WOM_DONE, reinterpret_cast<WPARAM>(hWaveOut), reinterpret_cast<LPARAM>(header));
    return true;
}

// ---------------------------------------------------------------------------------------
// Mixer: none, until a test scripts one.

UINT CFakeAudioServices::mixerGetNumDevs()
{
    LONG_PTR result;
    if (Call("mixerGetNumDevs", nullptr, 0, &result))
        return static_cast<UINT>(result);
    return 0;
}

MMRESULT CFakeAudioServices::mixerGetID(HMIXEROBJ object, UINT*, DWORD flags)
{
    LONG_PTR result;
    if (Call("mixerGetID", object, flags, &result))
        return static_cast<MMRESULT>(result);
    return MMSYSERR_NODRIVER;
}

MMRESULT CFakeAudioServices::mixerOpen(HMIXER*, UINT id, DWORD_PTR, DWORD_PTR, DWORD)
{
    LONG_PTR result;
    if (Call("mixerOpen", nullptr, id, &result))
        return static_cast<MMRESULT>(result);
    return MMSYSERR_NODRIVER;
}

MMRESULT CFakeAudioServices::mixerClose(HMIXER handle)
{
    LONG_PTR result;
    if (Call("mixerClose", handle, 0, &result))
        return static_cast<MMRESULT>(result);
    return MMSYSERR_INVALHANDLE;
}

MMRESULT CFakeAudioServices::mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA*, DWORD flags)
{
    LONG_PTR result;
    if (Call("mixerGetLineInfoA", object, flags, &result))
        return static_cast<MMRESULT>(result);
    return MMSYSERR_INVALHANDLE;
}

MMRESULT CFakeAudioServices::mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA*, DWORD flags)
{
    LONG_PTR result;
    if (Call("mixerGetLineControlsA", object, flags, &result))
        return static_cast<MMRESULT>(result);
    return MMSYSERR_INVALHANDLE;
}

MMRESULT CFakeAudioServices::mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS*, DWORD flags)
{
    LONG_PTR result;
    if (Call("mixerGetControlDetailsA", object, flags, &result))
        return static_cast<MMRESULT>(result);
    return MMSYSERR_INVALHANDLE;
}

MMRESULT CFakeAudioServices::mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS*, DWORD flags)
{
    LONG_PTR result;
    if (Call("mixerSetControlDetails", object, flags, &result))
        return static_cast<MMRESULT>(result);
    return MMSYSERR_INVALHANDLE;
}

// ---------------------------------------------------------------------------------------
// RIFF files: the real ones (the services the fake replaced), so tests can read the bytes back.

HMMIO CFakeAudioServices::mmioOpenA(LPSTR name, MMIOINFO* info, DWORD flags)
{
    LONG_PTR result;
    if (Call("mmioOpenA", nullptr, flags, &result))
        return nullptr;
    return m_pPrevious->mmioOpenA(name, info, flags);
}

MMRESULT CFakeAudioServices::mmioClose(HMMIO file, UINT flags)
{
    LONG_PTR result;
    if (Call("mmioClose", file, flags, &result)) {
        m_pPrevious->mmioClose(file, flags);
        return static_cast<MMRESULT>(result);
    }
    return m_pPrevious->mmioClose(file, flags);
}

LONG CFakeAudioServices::mmioRead(HMMIO file, HPSTR buffer, LONG count)
{
    LONG_PTR result;
    if (Call("mmioRead", file, static_cast<UINT_PTR>(count), &result))
        return static_cast<LONG>(result);
    return m_pPrevious->mmioRead(file, buffer, count);
}

LONG CFakeAudioServices::mmioWrite(HMMIO file, const char* buffer, LONG count)
{
    LONG_PTR result;
    if (Call("mmioWrite", file, static_cast<UINT_PTR>(count), &result)) {
        LONG shortCount = std::max<LONG>(0, std::min<LONG>(static_cast<LONG>(result), count));
        if (shortCount > 0)
            m_pPrevious->mmioWrite(file, buffer, shortCount);
        return static_cast<LONG>(result);
    }
    if (discardWrites)
        return count;
    return m_pPrevious->mmioWrite(file, buffer, count);
}

MMRESULT CFakeAudioServices::mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags)
{
    LONG_PTR result;
    if (Call("mmioCreateChunk", file, flags, &result))
        return static_cast<MMRESULT>(result);
    return m_pPrevious->mmioCreateChunk(file, chunk, flags);
}

MMRESULT CFakeAudioServices::mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags)
{
    LONG_PTR result;
    if (Call("mmioDescend", file, flags, &result))
        return static_cast<MMRESULT>(result);
    return m_pPrevious->mmioDescend(file, chunk, parent, flags);
}

MMRESULT CFakeAudioServices::mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags)
{
    LONG_PTR result;
    if (Call("mmioAscend", file, flags, &result))
        return static_cast<MMRESULT>(result);
    return m_pPrevious->mmioAscend(file, chunk, flags);
}

void CFakeAudioServices::Sleep(DWORD milliseconds)
{
    LONG_PTR result;
    Call("Sleep", nullptr, milliseconds, &result);
}
