#include "StringPath.h"
#include <cstring>

namespace {

const char DEFAULT_SEPARATORS[] = " \t\n";

bool IsLeadByte(unsigned char byte)
{
    return byte > 0x80;
}

bool IsSeparator(char byte)
{
    return byte != 0 && std::strchr(DEFAULT_SEPARATORS, byte) != nullptr;
}

// Index just after the last separator of path, 0 when there is none. Walked forward by
// characters: the second byte of a double-byte character may have the value of '\\'.
size_t SplitPoint(const char* path)
{
    char* p = const_cast<char*>(path);
    size_t split = 0;
    for (int ch; (ch = GetNextChar(&p)) != 0;)
        if (ch == '\\' || ch == '/')
            split = static_cast<size_t>(p - path);
    return split;
}

} // namespace

int GetNextChar(char** p)
{
    if (!p || !*p || **p == 0)
        return 0;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(*p);
    if (!IsLeadByte(bytes[0])) {
        ++*p;
        return bytes[0];
    }
    if (bytes[1] == 0)
        return 0;
    *p += 2;
    return bytes[0] * 256 + bytes[1];
}

int PutChar(char** p, int ch)
{
    if (!p || !*p)
        return 0;
    if (ch < 0x100) {
        *(*p)++ = static_cast<char>(ch);
        return 1;
    }
    *(*p)++ = static_cast<char>(ch / 256);
    *(*p)++ = static_cast<char>(ch % 256);
    return 2;
}

void TrimString(const char* src, char* dst)
{
    if (!src || !dst)
        return;
    const char* end = src + std::strlen(src);
    while (IsSeparator(*src))
        ++src;
    while (end > src && (end[-1] == 0 || IsSeparator(end[-1])))
        --end;
    size_t length = static_cast<size_t>(end - src);
    std::memmove(dst, src, length);
    dst[length] = 0;
}

char* CopyToken(char* src, char* dst, const char* stopSet)
{
    if (!stopSet)
        stopSet = DEFAULT_SEPARATORS;
    char* token = dst;
    for (;;) {
        int ch = GetNextChar(&src);
        // The set holds single-byte characters: a double-byte one never stops the token.
        if (ch == 0 || (ch < 0x100 && std::strchr(stopSet, ch) != nullptr))
            break;
        PutChar(&dst, ch);
    }
    PutChar(&dst, 0);
    TrimString(token, token);
    return src;
}

CString GetFileDir(const char* path)
{
    if (!path || !FitsPathBuffer(path))
        return CString();
    return CString(path, static_cast<int>(SplitPoint(path)));
}

CString GetFileName(const char* path)
{
    if (!path || !FitsPathBuffer(path))
        return CString();
    return CString(path + SplitPoint(path));
}

BOOL FitsPathBuffer(const char* path)
{
    return std::strlen(path) < static_cast<size_t>(SKIN_MAX_PATH);
}
