// CFakeAudioServices: a scripted wave-in and wave-out device, a stand-in mixer and the real
// RIFF file functions, installed as the services in use for as long as it lives.
// Every call is logged in order; any call can be made to fail with a chosen result; the
// device hands buffers back (as MM_WIM_DATA / MM_WOM_DONE posted to the window given at
// open) only when the test says so, in the order they were queued.
#pragma once
#include "AudioServices.h"
#include <map>
#include <string>
#include <vector>

struct FakeCall {
    std::string name;
    const void* object; // the header, handle or file the call was about
    UINT_PTR value;     // device index, flags or byte count, as the call has one
};

class CFakeAudioServices : public CAudioServices {
public:
    CFakeAudioServices();
    ~CFakeAudioServices() override;
    CFakeAudioServices(const CFakeAudioServices&) = delete;
    CFakeAudioServices& operator=(const CFakeAudioServices&) = delete;

    // The nth next call of `name` (1 = the very next) returns `result` and does nothing else.
    // For mmioOpenA any result means "no file"; mmioWrite/mmioRead return it as their count.
    void Fail(const std::string& name, LONG_PTR result, int nth = 1);

    std::vector<FakeCall> log;
    // False: calls are not logged (a benchmark's millions of calls).
    bool logCalls = true;
    // True: device events are sent (handled before the call returns) instead of posted.
    bool sendEvents = false;
    // The logged call names in order, optionally only those starting with `prefix`.
    std::vector<std::string> Names(const std::string& prefix = "") const;
    int Count(const std::string& name) const;
    void ClearLog() { log.clear(); }

    std::vector<std::string> inDevices{"Fake Input"};
    std::vector<std::string> outDevices{"Fake Output"};

    // Wave input: what the engine opened and the buffers it has queued, oldest first.
    HWAVEIN const hWaveIn = reinterpret_cast<HWAVEIN>(0x1001);
    HWND inWindow = nullptr;
    WAVEFORMATEX inFormat{};
    DWORD inFlags = 0;
    UINT inDevice = 0;
    bool inOpen = false;
    bool inStarted = false;
    std::vector<WAVEHDR*> inQueue;
    // Hands the oldest queued buffer back with `bytes` recorded, filled from a running byte
    // pattern (or from `data`), and posts MM_WIM_DATA. False when nothing is queued.
    bool ReturnInput(DWORD bytes);
    bool ReturnInput(const std::vector<BYTE>& data);
    // Every byte handed back so far, in order.
    std::vector<BYTE> returnedInput;
    static BYTE PatternByte(size_t position);
    // False: ReturnInput(bytes) leaves the buffer's bytes as they are and keeps no copy.
    bool fillInput = true;

    // Wave output: the blocks written, oldest first, and what was heard.
    HWAVEOUT const hWaveOut = reinterpret_cast<HWAVEOUT>(0x2001);
    HWND outWindow = nullptr;
    WAVEFORMATEX outFormat{};
    UINT outDevice = 0;
    bool outOpen = false;
    std::vector<WAVEHDR*> outQueue;
    std::vector<BYTE> written; // every block written, in order
    std::vector<BYTE> heard;   // blocks that finished playing (not those handed back by a reset)
    // Finishes the oldest written block and posts MM_WOM_DONE. False when nothing is queued.
    bool CompleteOutput();

    // mmioWrite reports every byte written without writing it (for files of gigabytes).
    bool discardWrites = false;

    UINT waveInGetNumDevs() override;
    MMRESULT waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size) override;
    MMRESULT waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT size) override;
    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveInClose(HWAVEIN handle) override;
    MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveInStart(HWAVEIN handle) override;
    MMRESULT waveInReset(HWAVEIN handle) override;

    UINT waveOutGetNumDevs() override;
    MMRESULT waveOutGetDevCapsA(UINT_PTR device, WAVEOUTCAPSA* caps, UINT size) override;
    MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size) override;
    MMRESULT waveOutOpen(HWAVEOUT* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                         DWORD_PTR instance, DWORD flags) override;
    MMRESULT waveOutClose(HWAVEOUT handle) override;
    MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
    MMRESULT waveOutPause(HWAVEOUT handle) override;
    MMRESULT waveOutReset(HWAVEOUT handle) override;

    UINT mixerGetNumDevs() override;
    MMRESULT mixerGetID(HMIXEROBJ object, UINT* id, DWORD flags) override;
    MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
    MMRESULT mixerClose(HMIXER handle) override;
    MMRESULT mixerGetLineInfoA(HMIXEROBJ object, MIXERLINEA* line, DWORD flags) override;
    MMRESULT mixerGetLineControlsA(HMIXEROBJ object, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT mixerGetControlDetailsA(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;
    MMRESULT mixerSetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;

    HMMIO mmioOpenA(LPSTR name, MMIOINFO* info, DWORD flags) override;
    MMRESULT mmioClose(HMMIO file, UINT flags) override;
    LONG mmioRead(HMMIO file, HPSTR buffer, LONG count) override;
    LONG mmioWrite(HMMIO file, const char* buffer, LONG count) override;
    MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags) override;
    MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) override;
    MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags) override;

    void Sleep(DWORD milliseconds) override;

private:
    // Logs the call; true (and the scripted result) when it is to fail.
    bool Call(const char* name, const void* object, UINT_PTR value, LONG_PTR* result);
    // Logs the call and returns the scripted failure, or else what `work` returns.
    template <class Result, class Work>
    Result Scripted(const char* name, const void* object, UINT_PTR value, Work work)
    {
        LONG_PTR result;
        return Call(name, object, value, &result) ? static_cast<Result>(result) : static_cast<Result>(work());
    }
    bool InOpen(HWAVEIN handle) const { return inOpen && handle == hWaveIn; }
    bool OutOpen(HWAVEOUT handle) const { return outOpen && handle == hWaveOut; }
    // Marks the header done and tells the window.
    void HandBack(HWND window, UINT message, WPARAM handle, WAVEHDR* header);
    void Notify(HWND window, UINT message, WPARAM handle, LPARAM header);
    static WAVEHDR* PopFront(std::vector<WAVEHDR*>& queue);
    // Looked up by the call's name without making a string of it.
    std::map<std::string, std::vector<std::pair<int, LONG_PTR>>, std::less<>> m_failures;
    CAudioServices* m_pPrevious;
};
