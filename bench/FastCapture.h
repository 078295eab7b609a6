// CFastCapture: a capture device that gives each queued buffer back as soon as the benchmark
// has samples for it, as WinMM gives back a filled one, so the engine runs at full speed; the
// mixer probe and everything else is WinMM.
#pragma once
#include "support/TestAudioServices.h"
#include <algorithm>
#include <cstring>
#include <vector>

class CFastCapture : public CTestAudioServices {
public:
    // Reserved up front: a queue that allocated as it cycles would be counted as the engine's.
    CFastCapture() { m_queue.reserve(16); }

    MMRESULT waveInOpen(HWAVEIN* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags) override
    {
        if ((flags & CALLBACK_TYPEMASK) != CALLBACK_WINDOW)
            return CTestAudioServices::waveInOpen(handle, device, format, callback, instance, flags);
        m_hWindow = reinterpret_cast<HWND>(callback);
        *handle = Handle();
        return MMSYSERR_NOERROR;
    }
    MMRESULT waveInClose(HWAVEIN handle) override
    {
        if (handle != Handle())
            return CTestAudioServices::waveInClose(handle);
        PostMessageA(m_hWindow, MM_WIM_CLOSE, reinterpret_cast<WPARAM>(handle), 0);
        return MMSYSERR_NOERROR;
    }
    MMRESULT waveInPrepareHeader(HWAVEIN, WAVEHDR* header, UINT) override
    {
        header->dwFlags |= WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }
    MMRESULT waveInUnprepareHeader(HWAVEIN, WAVEHDR* header, UINT) override
    {
        header->dwFlags &= ~WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }
    MMRESULT waveInAddBuffer(HWAVEIN, WAVEHDR* header, UINT) override
    {
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        m_queue.push_back(header);
        return MMSYSERR_NOERROR;
    }
    MMRESULT waveInStart(HWAVEIN) override { return MMSYSERR_NOERROR; }
    // Every queued buffer comes back, as empty as WinMM returns it after a reset.
    MMRESULT waveInReset(HWAVEIN) override
    {
        while (!m_queue.empty())
            PostMessageA(m_hWindow, MM_WIM_DATA, reinterpret_cast<WPARAM>(Handle()),
                         reinterpret_cast<LPARAM>(Next(nullptr, 0)));
        return MMSYSERR_NOERROR;
    }

    // Hands the oldest queued buffers back holding the `cb` bytes of `pData`, as many as they
    // take (the engine's buffers may be smaller than a block); false when too few are queued.
    bool Feed(const BYTE* pData, DWORD cb)
    {
        if (m_queue.empty() || (pData && m_queue.size() * m_queue.front()->dwBufferLength < cb))
            return false;
        do {
            WAVEHDR* header = Next(pData, cb);
            // Taken before the engine queues the header again, which clears it.
            const DWORD cbHanded = header->dwBytesRecorded;
            SendMessageA(m_hWindow, MM_WIM_DATA, reinterpret_cast<WPARAM>(Handle()), reinterpret_cast<LPARAM>(header));
            if (pData) {
                pData += cbHanded;
                cb -= cbHanded;
            }
        } while (pData && cb > 0);
        return true;
    }

private:
    HWAVEIN Handle() { return reinterpret_cast<HWAVEIN>(this); }
    WAVEHDR* Next(const BYTE* pData, DWORD cb)
    {
        WAVEHDR* header = m_queue.front();
        m_queue.erase(m_queue.begin());
        header->dwBytesRecorded = pData ? std::min(cb, header->dwBufferLength) : 0;
        if (pData)
            std::memcpy(header->lpData, pData, header->dwBytesRecorded);
        header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        return header;
    }

    HWND m_hWindow = nullptr;
    std::vector<WAVEHDR*> m_queue;
};
