// CWaveDevice: what the wave-in and the wave-out device have in common: the open handle and
// the buffers handed to it, each with its header and a state the object keeps itself rather
// than reading it from the header's flags: prepared, queued on the device, or back with us.
// A buffer is freed only once the device that held it has closed; a device whose close fails
// keeps its buffers.
#pragma once
#include "AudioServices.h"
#include "framework/Afx.h"
#include <algorithm>
#include <memory>
#include <vector>

// Device supplies the calls for its kind, as static functions: PrepareHeader, UnprepareHeader,
// QueueHeader, ResetHandle, CloseHandle, and KIND for the trace.
template <class Device, class Handle>
class CWaveDevice {
public:
    CWaveDevice() = default;
    CWaveDevice(const CWaveDevice&) = delete;
    CWaveDevice& operator=(const CWaveDevice&) = delete;
    ~CWaveDevice() { Release(); }

    BOOL IsOpen() const { return m_hDevice != nullptr; }
    Handle GetHandle() const { return m_hDevice; }
    int GetBufferCount() const { return static_cast<int>(m_buffers.size()); }
    int GetQueued() const { return m_nQueued; }
    BYTE* GetData(int i) const { return m_buffers[i].pData; }
    // What the device put in (or was given from) buffer i, never more than the buffer holds.
    DWORD GetBytes(int i) const
    {
        const WAVEHDR* pHeader = m_buffers[i].pHeader;
        return std::min(pHeader->dwBytesRecorded, m_cbBuffer);
    }

    // Prepares buffer i for cbData bytes (the whole buffer when 0); nothing to do if it is.
    MMRESULT Prepare(int i, DWORD cbData)
    {
        CBuffer& buffer = m_buffers[i];
        if (buffer.bPrepared)
            return MMSYSERR_NOERROR;
        *buffer.pHeader = WAVEHDR{};
        buffer.pHeader->lpData = reinterpret_cast<LPSTR>(buffer.pData);
        buffer.pHeader->dwBufferLength = cbData ? std::min(cbData, m_cbBuffer) : m_cbBuffer;
        buffer.pHeader->dwBytesRecorded = cbData;
        buffer.pHeader->dwUser = static_cast<DWORD_PTR>(i);
        MMRESULT mmr = Device::PrepareHeader(m_hDevice, buffer.pHeader);
        buffer.bPrepared = mmr == MMSYSERR_NOERROR;
        return mmr;
    }

    // Hands prepared buffer i to the device, behind those already queued.
    MMRESULT Queue(int i)
    {
        CBuffer& buffer = m_buffers[i];
        MMRESULT mmr = Device::QueueHeader(m_hDevice, buffer.pHeader);
        if (mmr != MMSYSERR_NOERROR)
            return mmr;
        buffer.bQueued = TRUE;
        m_ring[(m_nFirst + m_nQueued) % m_ring.size()] = i;
        ++m_nQueued;
        return MMSYSERR_NOERROR;
    }

    // The oldest queued buffer if the device has handed it back, else -1: the device gives
    // them back in queue order, so each is taken once and in order whatever its message says.
    int TakeReturned()
    {
        if (m_nQueued == 0)
            return -1;
        const int i = m_ring[m_nFirst];
        if (!(m_buffers[i].pHeader->dwFlags & WHDR_DONE))
            return -1;
        m_buffers[i].bQueued = FALSE;
        m_nFirst = (m_nFirst + 1) % static_cast<int>(m_ring.size());
        --m_nQueued;
        return i;
    }

    // Waits until the device has marked every queued buffer done, at most dwMilliseconds: after
    // a reset, a driver may do so a moment after the call returned.
    void AwaitReturned(DWORD dwMilliseconds)
    {
        const DWORD dwStart = GetTickCount();
        auto allDone = [this] {
            for (int n = 0; n < m_nQueued; ++n)
                if (!(m_buffers[m_ring[(m_nFirst + n) % m_ring.size()]].pHeader->dwFlags & WHDR_DONE))
                    return false;
            return true;
        };
        while (!allDone() && GetTickCount() - dwStart < dwMilliseconds)
            Sleep(1);
    }

    // Buffer i must be back; a buffer the device still holds stays prepared.
    MMRESULT Unprepare(int i)
    {
        CBuffer& buffer = m_buffers[i];
        if (!buffer.bPrepared || buffer.bQueued)
            return buffer.bQueued ? WAVERR_STILLPLAYING : MMSYSERR_NOERROR;
        MMRESULT mmr = Device::UnprepareHeader(m_hDevice, buffer.pHeader);
        buffer.bPrepared = mmr != MMSYSERR_NOERROR;
        return mmr;
    }

    // Stops the device; on success every queued buffer is back, for TakeReturned.
    MMRESULT Reset() { return Device::ResetHandle(m_hDevice); }

    // Unprepares what is back and closes; whether the device still holds a buffer, the close
    // says. The buffers are freed only when it succeeds; otherwise the device keeps them, and
    // the handle, for a later try.
    MMRESULT Close()
    {
        for (int i = 0; i < GetBufferCount(); ++i)
            Unprepare(i);
        MMRESULT mmr = Device::CloseHandle(m_hDevice);
        if (mmr != MMSYSERR_NOERROR) {
            TRACE("%s close failed (%u): the device keeps its %d buffers\n", Device::KIND, mmr, GetBufferCount());
            return mmr;
        }
        m_hDevice = nullptr;
        FreeBuffers();
        return mmr;
    }

protected:
    // Allocates the buffers, then lets open() open the handle; the buffers go again if it fails.
    template <class OpenCall>
    MMRESULT OpenWith(int nBuffers, DWORD cbBuffer, OpenCall open)
    {
        AllocBuffers(nBuffers, cbBuffer);
        MMRESULT mmr = open(&m_hDevice);
        if (mmr != MMSYSERR_NOERROR) {
            m_hDevice = nullptr;
            FreeBuffers();
        }
        return mmr;
    }

private:
    struct CBuffer {
        HGLOBAL hMemory;
        WAVEHDR* pHeader;
        BYTE* pData;
        BOOL bPrepared;
        BOOL bQueued;
    };

    // Header and samples in one block each; an allocation failure is the framework's exception.
    void AllocBuffers(int nBuffers, DWORD cbBuffer)
    {
        m_cbBuffer = cbBuffer;
        m_buffers.reserve(static_cast<size_t>(nBuffers));
        m_ring.assign(static_cast<size_t>(nBuffers), 0);
        for (int i = 0; i < nBuffers; ++i) {
            HGLOBAL hMemory = AudioServices().GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(WAVEHDR) + cbBuffer);
            if (!hMemory) {
                FreeBuffers();
                AfxThrowMemoryException();
            }
            WAVEHDR* pHeader = static_cast<WAVEHDR*>(hMemory);
            m_buffers.push_back({hMemory, pHeader, reinterpret_cast<BYTE*>(pHeader + 1), FALSE, FALSE});
        }
    }

    void FreeBuffers()
    {
        for (CBuffer& buffer : m_buffers)
            AudioServices().GlobalFree(buffer.hMemory);
        m_buffers.clear();
        m_ring.clear();
        m_nFirst = m_nQueued = 0;
    }

    // Gives up the device: stopped and closed if it can be; otherwise its buffers are left to
    // it for good rather than freed under it.
    void Release()
    {
        if (m_hDevice) {
            Reset();
            while (TakeReturned() >= 0) {
            }
            if (Close() != MMSYSERR_NOERROR && m_hDevice) {
                TRACE("%s given up: its %d buffers stay allocated\n", Device::KIND, GetBufferCount());
                m_buffers.clear();
            }
        }
        FreeBuffers();
    }

    Handle m_hDevice = nullptr;
    std::vector<CBuffer> m_buffers;
    std::vector<int> m_ring;
    int m_nFirst = 0;
    int m_nQueued = 0;
    DWORD m_cbBuffer = 0;
};
