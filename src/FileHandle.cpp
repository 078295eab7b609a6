#include "FileHandle.h"

BOOL CFileHandle::Open(LPCSTR pszFileName, DWORD dwAccess, DWORD dwShare, DWORD dwCreation)
{
    Close();
    m_hFile = AudioServices().CreateFileA(pszFileName, dwAccess, dwShare, dwCreation);
    if (!m_hFile)
        m_hFile = INVALID_HANDLE_VALUE;
    return IsOpen();
}

BOOL CFileHandle::Seek(LONGLONG llOffset)
{
    LONGLONG llAt = -1;
    return AudioServices().SetFilePointerEx(m_hFile, llOffset, &llAt, FILE_BEGIN) && llAt == llOffset;
}

BOOL CFileHandle::WriteAt(LONGLONG llOffset, const void* pData, DWORD cb, DWORD* pcbDone)
{
    DWORD cbDone = 0;
    const BOOL bWritten = (llOffset < 0 || Seek(llOffset)) && AudioServices().WriteFile(m_hFile, pData, cb, &cbDone);
    if (!bWritten)
        cbDone = 0;
    if (pcbDone)
        *pcbDone = cbDone;
    return bWritten && cbDone == cb;
}

BOOL CFileHandle::ReadAt(LONGLONG llOffset, void* pBuffer, DWORD cb, DWORD* pcbDone)
{
    *pcbDone = 0;
    return Seek(llOffset) && AudioServices().ReadFile(m_hFile, pBuffer, cb, pcbDone);
}

BOOL CFileHandle::Close()
{
    if (!IsOpen())
        return TRUE;
    const BOOL bClosed = AudioServices().CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    return bClosed;
}
