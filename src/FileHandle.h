// CFileHandle: a file of the program's own, opened and closed through the audio services, so
// that tests can make a chosen call fail.
#pragma once
#include "AudioServices.h"

class CFileHandle {
public:
    CFileHandle() = default;
    ~CFileHandle() { Close(); }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    BOOL Open(LPCSTR pszFileName, DWORD dwAccess, DWORD dwShare, DWORD dwCreation);
    BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_hFile; }
    // FALSE unless all cb bytes went to the file at llOffset (-1: where the file stands).
    BOOL WriteAt(LONGLONG llOffset, const void* pData, DWORD cb, DWORD* pcbDone = nullptr);
    BOOL Seek(LONGLONG llOffset);
    // What was read at llOffset, short at the end of the file; FALSE on a read error.
    BOOL ReadAt(LONGLONG llOffset, void* pBuffer, DWORD cb, DWORD* pcbDone);
    // FALSE when closing failed.
    BOOL Close();

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
