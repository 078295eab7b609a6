#include "String.h"
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

CString CString::Right(int count) const
{
    if (count >= GetLength())
        return *this;
    return m_str.substr(m_str.size() - count);
}

CString CString::Mid(int first, int count) const
{
    if (first >= GetLength())
        return CString();
    return count < 0 ? m_str.substr(first) : m_str.substr(first, count);
}

int CString::Find(const char* sub, int start) const
{
    size_t pos = m_str.find(sub, start);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const
{
    // Forward by characters: a double-byte character's second byte may equal ch ('\\').
    int found = -1;
    for (int i = 0; i < GetLength(); i += IsDBCSLeadByte(static_cast<BYTE>(m_str[i])) ? 2 : 1)
        if (m_str[i] == ch)
            found = i;
    return found;
}

CString& CString::MakeLower()
{
    for (size_t i = 0; i < m_str.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(m_str[i])) && i + 1 < m_str.size())
            ++i;
        else if (m_str[i] >= 'A' && m_str[i] <= 'Z')
            m_str[i] = static_cast<char>(m_str[i] - 'A' + 'a');
    }
    return *this;
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> text(length > 0 ? length + 1 : 1);
    vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    m_str.assign(text.data(), length > 0 ? length : 0);
}

char* CString::GetBuffer(int minLength)
{
    if (static_cast<int>(m_str.size()) < minLength)
        m_str.resize(minLength);
    return &m_str[0];
}

void CString::ReleaseBuffer()
{
    m_str.resize(strlen(m_str.c_str()));
}
