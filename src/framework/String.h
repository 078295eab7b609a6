// CString: an ANSI string value (code page 936 at run time).
#pragma once
#include <windows.h>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_str(text ? text : "") {}
    CString(const char* text, int length) : m_str(text, length) {}
    CString(const std::string& text) : m_str(text) {}

    operator LPCSTR() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    char GetAt(int index) const { return m_str[index]; }

    CString Left(int count) const { return m_str.substr(0, count); }
    CString Right(int count) const;
    CString Mid(int first, int count = -1) const;
    int Find(const char* sub, int start = 0) const;
    // The last single-byte character ch; never the second byte of a double-byte one.
    int ReverseFind(char ch) const;

    // Lower-cases ASCII letters only, stepping over double-byte characters.
    CString& MakeLower();

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Room for a Windows call to write into; ReleaseBuffer trims at the terminator.
    char* GetBuffer(int minLength);
    void ReleaseBuffer();

    CString& operator+=(const CString& other) { m_str += other.m_str; return *this; }
    CString& operator+=(const char* other) { m_str += other; return *this; }
    CString& operator+=(char ch) { m_str += ch; return *this; }
    friend CString operator+(const CString& a, const CString& b) { return a.m_str + b.m_str; }
    friend CString operator+(const CString& a, const char* b) { return a.m_str + b; }
    friend CString operator+(const char* a, const CString& b) { return a + b.m_str; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.m_str == b; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_str != b.m_str; }

private:
    std::string m_str;
};
