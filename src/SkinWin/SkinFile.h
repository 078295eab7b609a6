// CSkinFile: one skin file (theme.ini) read through the profile functions, with every image it
// names looked for beside it. Both skin readers, the frame's and the push buttons', use it.
#pragma once
#include "mybitmap.h"

class CSkinFile {
public:
    explicit CSkinFile(LPCTSTR iniPath);

    // FALSE for a null path or one too long for a path buffer: such a file is never read.
    BOOL IsReadable() const { return m_bReadable; }
    // At most 999 characters; "" when missing.
    CString ReadString(LPCSTR section, LPCSTR key) const;
    int ReadInt(LPCSTR section, LPCSTR key, int defaultValue) const;
    // Three decimal fields "red green blue"; the default when the value is missing or empty,
    // or when a field is longer than 255 characters.
    COLORREF ReadSkinColor(LPCSTR section, LPCSTR key, COLORREF defaultColor) const;
    // Loads into image the file a file-name key names, taken from beside the skin file. FALSE,
    // with image empty, when the value is empty, too long for a path or does not load.
    BOOL LoadImage(CMyBitmap* image, LPCSTR section, LPCSTR key) const;

private:
    CString m_strPath;
    CString m_strDir;
    BOOL m_bReadable;
};
