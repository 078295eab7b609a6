// Character stepping in code page 936, trimming, tokens, and the directory and file-name
// parts of paths, for the skin file readers.
#pragma once
#include "framework/String.h"

// Paths are handled in buffers of this size, terminator included.
const int SKIN_MAX_PATH = 260;

// The character at *p (lead byte * 256 + trail byte for a double-byte one), advancing *p
// past it; 0 without advancing at the end of the string, also when a lead byte is the
// string's last byte.
int GetNextChar(char** p);
// Writes ch (one byte below 0x100, else two) and advances; returns the bytes written.
int PutChar(char** p, int ch);
// Copies src to dst without leading and trailing blanks, tabs and newlines; dst may be src.
void TrimString(const char* src, char* dst);
// Copies src up to the first character of stopSet (default " \t\n") into dst, trimmed;
// returns the position after the stop character. dst must hold strlen(src) + 1 bytes.
char* CopyToken(char* src, char* dst, const char* stopSet = nullptr);
// The part of path up to and including its last '\' or '/'; empty when it has neither
// or when the path does not fit a path buffer.
CString GetFileDir(const char* path);
// The part of path after its last '\' or '/'; empty when the path does not fit.
CString GetFileName(const char* path);
// Whether path fits a path buffer with its terminator.
BOOL FitsPathBuffer(const char* path);
