#include "SkinFile.h"
#include "StringPath.h"
#include <cstdlib>
#include <cstring>

namespace {

const int PROFILE_BUFFER = 1000;
const size_t MAX_COLOR_FIELD = 255;

} // namespace

CSkinFile::CSkinFile(LPCTSTR iniPath) : m_bReadable(iniPath && FitsPathBuffer(iniPath))
{
    if (m_bReadable) {
        m_strPath = iniPath;
        m_strDir = GetFileDir(iniPath);
    }
}

CString CSkinFile::ReadString(LPCSTR section, LPCSTR key) const
{
    char value[PROFILE_BUFFER] = "";
    if (m_bReadable)
        ::GetPrivateProfileStringA(section, key, "", value, PROFILE_BUFFER, m_strPath);
    return CString(value);
}

int CSkinFile::ReadInt(LPCSTR section, LPCSTR key, int defaultValue) const
{
    if (!m_bReadable)
        return defaultValue;
    return static_cast<int>(::GetPrivateProfileIntA(section, key, defaultValue, m_strPath));
}

COLORREF CSkinFile::ReadSkinColor(LPCSTR section, LPCSTR key, COLORREF defaultColor) const
{
    CString value = ReadString(section, key);
    if (value.IsEmpty())
        return defaultColor;
    // A token is never longer than the value it comes from.
    char text[PROFILE_BUFFER], field[PROFILE_BUFFER];
    lstrcpynA(text, value, PROFILE_BUFFER);
    char* rest = text;
    int parts[3];
    for (int& part : parts) {
        rest = CopyToken(rest, field, nullptr);
        if (std::strlen(field) > MAX_COLOR_FIELD)
            return defaultColor;
        part = std::atoi(field) & 0xFF;
    }
    return RGB(parts[0], parts[1], parts[2]);
}

BOOL CSkinFile::LoadImage(CMyBitmap* image, LPCSTR section, LPCSTR key) const
{
    image->DeleteObject();
    CString value = ReadString(section, key);
    if (value.IsEmpty() || !FitsPathBuffer(value))
        return FALSE;
    CString path = m_strDir + "/" + GetFileName(value);
    return FitsPathBuffer(path) && image->LoadBitmapFile(path);
}
