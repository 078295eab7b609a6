#include "FileDialog.h"

CFileDialog::CFileDialog(BOOL openFileDialog, LPCSTR defaultExt, LPCSTR fileName, DWORD flags, LPCSTR filter,
                         CWnd* parent)
    : m_bOpenFileDialog(openFileDialog), m_strFilter(filter), m_strDefExt(defaultExt)
{
    if (fileName)
        lstrcpynA(m_szFileName, fileName, MAX_PATH);
    // The system wants the parts separated by NULs and the list ended by two.
    // By characters: a Chinese description may hold a second byte with the value of '|'.
    char* text = m_strFilter.GetBuffer(0);
    for (int i = 0; i < m_strFilter.GetLength(); i += IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? 2 : 1)
        if (text[i] == '|')
            text[i] = '\0';
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
    m_ofn.lpstrFilter = filter ? static_cast<LPCSTR>(m_strFilter) : nullptr;
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrDefExt = defaultExt ? static_cast<LPCSTR>(m_strDefExt) : nullptr;
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
    if (m_ofn.lpstrDefExt && *m_ofn.lpstrDefExt == '.')
        ++m_ofn.lpstrDefExt;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    return ok ? IDOK : IDCANCEL;
}
