// CFileDialog: the system's open and save dialogs.
#pragma once
#include "String.h"
#include "Wnd.h"
#include <commdlg.h>

class CFileDialog {
public:
    // `filter` uses '|' between its parts, as "Wave files(*.wav)|*.wav||".
    CFileDialog(BOOL openFileDialog, LPCSTR defaultExt, LPCSTR fileName, DWORD flags, LPCSTR filter,
                CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    INT_PTR DoModal();
    CString GetPathName() const { return m_szFileName; }

    OPENFILENAMEA m_ofn{};

private:
    BOOL m_bOpenFileDialog;
    CString m_strFilter;
    CString m_strDefExt;
    char m_szFileName[MAX_PATH] = "";
};
