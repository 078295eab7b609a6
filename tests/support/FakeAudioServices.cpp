#include "FakeAudioServices.h"
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

template <class Caps>
MMRESULT FillCaps(const std::vector<std::string>& names, UINT_PTR device, Caps* caps, UINT size)
{
    if (device >= names.size())
        return MMSYSERR_BADDEVICEID;
    if (size < sizeof(Caps))
        return MMSYSERR_INVALPARAM;
    *caps = Caps{};
    lstrcpynA(caps->szPname, names[device].c_str(), MAXPNAMELEN);
    return MMSYSERR_NOERROR;
}

MMRESULT ErrorText(MMRESULT error, LPSTR text, UINT size)
{
    snprintf(text, size, "fake error %u", error);
    return MMSYSERR_NOERROR;
}

MMRESULT Prepare(bool open, WAVEHDR* header)
{
    if (!open)
        return MMSYSERR_INVALHANDLE;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT Unprepare(bool open, WAVEHDR* header)
{
    if (!open)
        return MMSYSERR_INVALHANDLE;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

// Puts a prepared header in the device's queue.
MMRESULT Enqueue(bool open, WAVEHDR* header, std::vector<WAVEHDR*>& queue)
{
    if (!open)
        return MMSYSERR_INVALHANDLE;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
    queue.push_back(header);
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

void CFakeAudioServices::HandBack(HWND window, UINT message, WPARAM handle, WAVEHDR* header)
{
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    Notify(window, message, handle, reinterpret_cast<LPARAM>(header));
}

// ---------------------------------------------------------------------------------------
// Wave input

UINT CFakeAudioServices::waveInGetNumDevs()
{
    return Scripted<UINT>("waveInGetNumDevs", nullptr, 0, [&] { return static_cast<UINT>(inDevices.size()); });
}

MMRESULT CFakeAudioServices::waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size)
{
    return Scripted<MMRESULT>("waveInGetDevCapsA", nullptr, device,
                              [&] { return FillCaps(inDevices, device, caps, size); });
}

MMRESULT CFakeAudioServices::waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT size)
{
    return Scripted<MMRESULT>("waveInGetErrorTextA", nullptr, error, [&] { return ErrorText(error, text, size); });
}

MMRESULT CFakeAudioServices::waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format,
                                        DWORD_PTR callback, DWORD_PTR, DWORD flags)
{
    return Scripted<MMRESULT>("waveInOpen", nullptr, device, [&] {
        inDevice = device;
        inFormat = *format;
        inFlags = flags;
        inWindow = reinterpret_cast<HWND>(callback);
        inOpen = true;
        inStarted = false;
        *handle = hWaveIn;
        Notify(inWindow, MM_WIM_OPEN, reinterpret_cast<WPARAM>(hWaveIn), 0);
        return MMSYSERR_NOERROR;
    });
}

MMRESULT CFakeAudioServices::waveInClose(HWAVEIN handle)
{
    return Scripted<MMRESULT>("waveInClose", handle, 0, [&]() -> MMRESULT {
        if (!InOpen(handle))
            return MMSYSERR_INVALHANDLE;
        if (!inQueue.empty())
            return WAVERR_STILLPLAYING;
        inOpen = false;
        Notify(inWindow, MM_WIM_CLOSE, reinterpret_cast<WPARAM>(hWaveIn), 0);
        return MMSYSERR_NOERROR;
    });
}

MMRESULT CFakeAudioServices::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT)
{
    return Scripted<MMRESULT>("waveInPrepareHeader", header, 0, [&] { return Prepare(InOpen(handle), header); });
}

MMRESULT CFakeAudioServices::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT)
{
    return Scripted<MMRESULT>("waveInUnprepareHeader", header, 0, [&] { return Unprepare(InOpen(handle), header); });
}

MMRESULT CFakeAudioServices::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT)
{
    return Scripted<MMRESULT>("waveInAddBuffer", header, header->dwBufferLength, [&] {
        MMRESULT result = Enqueue(InOpen(handle), header, inQueue);
        if (result == MMSYSERR_NOERROR)
            header->dwBytesRecorded = 0;
        return result;
    });
}

MMRESULT CFakeAudioServices::waveInStart(HWAVEIN handle)
{
    return Scripted<MMRESULT>("waveInStart", handle, 0, [&]() -> MMRESULT {
        if (!InOpen(handle))
            return MMSYSERR_INVALHANDLE;
        inStarted = true;
        return MMSYSERR_NOERROR;
    });
}

MMRESULT CFakeAudioServices::waveInReset(HWAVEIN handle)
{
    return Scripted<MMRESULT>("waveInReset", handle, 0, [&]() -> MMRESULT {
        if (!InOpen(handle))
            return MMSYSERR_INVALHANDLE;
        inStarted = false;
        while (!inQueue.empty())
            HandBack(inWindow, MM_WIM_DATA, reinterpret_cast<WPARAM>(hWaveIn), PopFront(inQueue));
        return MMSYSERR_NOERROR;
    });
}

bool CFakeAudioServices::ReturnInput(DWORD bytes)
{
    if (inQueue.empty())
        return false;
    WAVEHDR* header = PopFront(inQueue);
    header->dwBytesRecorded = std::min(bytes, header->dwBufferLength);
    if (fillInput) {
        BYTE* data = reinterpret_cast<BYTE*>(header->lpData);
        for (DWORD i = 0; i < header->dwBytesRecorded; ++i)
            data[i] = PatternByte(returnedInput.size() + i);
        returnedInput.insert(returnedInput.end(), data, data + header->dwBytesRecorded);
    }
    HandBack(inWindow, MM_WIM_DATA, reinterpret_cast<WPARAM>(hWaveIn), header);
    return true;
}

bool CFakeAudioServices::ReturnInput(const std::vector<BYTE>& data)
{
    if (inQueue.empty())
        return false;
    WAVEHDR* header = PopFront(inQueue);
    header->dwBytesRecorded = std::min<DWORD>(static_cast<DWORD>(data.size()), header->dwBufferLength);
    memcpy(header->lpData, data.data(), header->dwBytesRecorded);
    returnedInput.insert(returnedInput.end(), data.begin(), data.begin() + header->dwBytesRecorded);
    HandBack(inWindow, MM_WIM_DATA, reinterpret_cast<WPARAM>(hWaveIn), header);
    return true;
}

// ---------------------------------------------------------------------------------------
// Wave output

UINT CFakeAudioServices::waveOutGetNumDevs()
{
    return Scripted<UINT>("waveOutGetNumDevs", nullptr, 0, [&] { return static_cast<UINT>(outDevices.size()); });
}

MMRESULT CFakeAudioServices::waveOutGetDevCapsA(UINT_PTR device, WAVEOUTCAPSA* caps, UINT size)
{
    return Scripted<MMRESULT>("waveOutGetDevCapsA", nullptr, device,
                              [&] { return FillCaps(outDevices, device, caps, size); });
}

MMRESULT CFakeAudioServices::waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size)
{
    return Scripted<MMRESULT>("waveOutGetErrorTextA", nullptr, error, [&] { return ErrorText(error, text, size); });
}

MMRESULT CFakeAudioServices::waveOutOpen(HWAVEOUT* handle, UINT device, const WAVEFORMATEX* format,
                                         DWORD_PTR callback, DWORD_PTR, DWORD)
{
    return Scripted<MMRESULT>("waveOutOpen", nullptr, device, [&] {
        outDevice = device;
        outFormat = *format;
        outWindow = reinterpret_cast<HWND>(callback);
        outOpen = true;
        *handle = hWaveOut;
        Notify(outWindow, MM_WOM_OPEN, reinterpret_cast<WPARAM>(hWaveOut), 0);
        return MMSYSERR_NOERROR;
    });
}

MMRESULT CFakeAudioServices::waveOutClose(HWAVEOUT handle)
{
    return Scripted<MMRESULT>("waveOutClose", handle, 0, [&]() -> MMRESULT {
        if (!OutOpen(handle))
            return MMSYSERR_INVALHANDLE;
        if (!outQueue.empty())
            return WAVERR_STILLPLAYING;
        outOpen = false;
        Notify(outWindow, MM_WOM_CLOSE, reinterpret_cast<WPARAM>(hWaveOut), 0);
        return MMSYSERR_NOERROR;
    });
}

MMRESULT CFakeAudioServices::waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT)
{
    return Scripted<MMRESULT>("waveOutPrepareHeader", header, 0, [&] { return Prepare(OutOpen(handle), header); });
}

MMRESULT CFakeAudioServices::waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT)
{
    return Scripted<MMRESULT>("waveOutUnprepareHeader", header, 0, [&] { return Unprepare(OutOpen(handle), header); });
}

MMRESULT CFakeAudioServices::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT)
{
    return Scripted<MMRESULT>("waveOutWrite", header, header->dwBufferLength, [&] {
        MMRESULT result = Enqueue(OutOpen(handle), header, outQueue);
        const BYTE* data = reinterpret_cast<const BYTE*>(header->lpData);
        if (result == MMSYSERR_NOERROR)
            written.insert(written.end(), data, data + header->dwBufferLength);
        return result;
    });
}

MMRESULT CFakeAudioServices::waveOutPause(HWAVEOUT handle)
{
    return Scripted<MMRESULT>("waveOutPause", handle, 0,
                              [&] { return OutOpen(handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE; });
}

MMRESULT CFakeAudioServices::waveOutReset(HWAVEOUT handle)
{
    return Scripted<MMRESULT>("waveOutReset", handle, 0, [&]() -> MMRESULT {
        if (!OutOpen(handle))
            return MMSYSERR_INVALHANDLE;
        while (!outQueue.empty())
            HandBack(outWindow, MM_WOM_DONE, reinterpret_cast<WPARAM>(hWaveOut), PopFront(outQueue));
        return MMSYSERR_NOERROR;
    });
}

bool CFakeAudioServices::CompleteOutput()
{
    if (outQueue.empty())
        return false;
    WAVEHDR* header = PopFront(outQueue);
    const BYTE* data = reinterpret_cast<const BYTE*>(header->lpData);
    heard.insert(heard.end(), data, data + header->dwBufferLength);
    HandBack(outWindow, MM_WOM_DONE, reinterpret_cast<WPARAM>(hWaveOut), header);
    return true;
}

// ---------------------------------------------------------------------------------------
// Mixer: none, until a test scripts one.

UINT CFakeAudioServices::mixerGetNumDevs()
{
    return Scripted<UINT>("mixerGetNumDevs", nullptr, 0, [] { return 0u; });
}

MMRESULT CFakeAudioServices::mixerGetID(HMIXEROBJ object, UINT*, DWORD flags)
{
    return Scripted<MMRESULT>("mixerGetID", object, flags, [] { return MMSYSERR_NODRIVER; });
}

MMRESULT CFakeAudioServices::mixerOpen(HMIXER*, UINT id, DWORD_PTR, DWORD_PTR, DWORD)
{
    return Scripted<MMRESULT>("mixerOpen", nullptr, id, [] { return MMSYSERR_NODRIVER; });
}

MMRESULT CFakeAudioServices::mixerClose(HMIXER handle)
{
    return Scripted<MMRESULT>("mixerClose", handle, 0, [] { return MMSYSERR_INVALHANDLE; });
}

MMRESULT CFakeAudioServices::mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA*, DWORD flags)
{
    return Scripted<MMRESULT>("mixerGetLineInfoA", object, flags, [] { return MMSYSERR_INVALHANDLE; });
}

MMRESULT CFakeAudioServices::mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA*, DWORD flags)
{
    return Scripted<MMRESULT>("mixerGetLineControlsA", object, flags, [] { return MMSYSERR_INVALHANDLE; });
}

MMRESULT CFakeAudioServices::mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS*, DWORD flags)
{
    return Scripted<MMRESULT>("mixerGetControlDetailsA", object, flags, [] { return MMSYSERR_INVALHANDLE; });
}

MMRESULT CFakeAudioServices::mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS*, DWORD flags)
{
    return Scripted<MMRESULT>("mixerSetControlDetails", object, flags, [] { return MMSYSERR_INVALHANDLE; });
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

// A failed close still closes, so that no test leaves a file open.
MMRESULT CFakeAudioServices::mmioClose(HMMIO file, UINT flags)
{
    LONG_PTR result;
    bool fail = Call("mmioClose", file, flags, &result);
    MMRESULT closed = m_pPrevious->mmioClose(file, flags);
    return fail ? static_cast<MMRESULT>(result) : closed;
}

LONG CFakeAudioServices::mmioRead(HMMIO file, HPSTR buffer, LONG count)
{
    return Scripted<LONG>("mmioRead", file, static_cast<UINT_PTR>(count),
                          [&] { return m_pPrevious->mmioRead(file, buffer, count); });
}

// A failure given as a short count writes that many bytes first.
LONG CFakeAudioServices::mmioWrite(HMMIO file, const char* buffer, LONG count)
{
    LONG_PTR result;
    if (Call("mmioWrite", file, static_cast<UINT_PTR>(count), &result)) {
        LONG shortCount = std::max<LONG>(0, std::min<LONG>(static_cast<LONG>(result), count));
        if (shortCount > 0)
            m_pPrevious->mmioWrite(file, buffer, shortCount);
        return static_cast<LONG>(result);
    }
    return discardWrites ? count : m_pPrevious->mmioWrite(file, buffer, count);
}

MMRESULT CFakeAudioServices::mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags)
{
    return Scripted<MMRESULT>("mmioCreateChunk", file, flags,
                              [&] { return m_pPrevious->mmioCreateChunk(file, chunk, flags); });
}

MMRESULT CFakeAudioServices::mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags)
{
    return Scripted<MMRESULT>("mmioDescend", file, flags,
                              [&] { return m_pPrevious->mmioDescend(file, chunk, parent, flags); });
}

MMRESULT CFakeAudioServices::mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags)
{
    return Scripted<MMRESULT>("mmioAscend", file, flags, [&] { return m_pPrevious->mmioAscend(file, chunk, flags); });
}

void CFakeAudioServices::Sleep(DWORD milliseconds)
{
    LONG_PTR result;
    Call("Sleep", nullptr, milliseconds, &result);
}
