// CFileHandle: an open file of the program's own, closed through the audio services when it
// goes; move-only.
#pragma once
#include "AudioServices.h"
#include <utility>

class CFileHandle {
public:
    CFileHandle() = default;
    explicit CFileHandle(HANDLE hFile) : m_hFile(hFile == INVALID_HANDLE_VALUE ? nullptr : hFile) {}
    CFileHandle(CFileHandle&& other) noexcept : m_hFile(std::exchange(other.m_hFile, nullptr)) {}
    CFileHandle& operator=(CFileHandle&& other) noexcept
    {
        std::swap(m_hFile, other.m_hFile);
        return *this;
    }
    ~CFileHandle() { Close(); }

    explicit operator bool() const { return m_hFile != nullptr; }
    HANDLE Get() const { return m_hFile; }
    // FALSE when the system could not close it (what it still buffered may be lost).
    BOOL Close() { return !m_hFile || AudioServices().CloseHandle(std::exchange(m_hFile, nullptr)); }

private:
    HANDLE m_hFile = nullptr;
};
