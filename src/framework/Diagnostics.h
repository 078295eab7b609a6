// Diagnostics: the debug trace and message boxes, each through one replaceable sink,
// debug-build assertions, and the framework's out-of-memory exception.
#pragma once
#include <windows.h>
#include <functional>

// Receives every trace line; the default writes it to OutputDebugStringA.
using TraceSink = std::function<void(const char* text)>;
// Receives every message box; returns what the box would (IDOK, ...).
using MessageBoxSink = std::function<int(HWND owner, const char* text, const char* caption, UINT type)>;

// Both return the previous sink so a test can put it back.
TraceSink AfxSetTraceSink(TraceSink sink);
MessageBoxSink AfxSetMessageBoxSink(MessageBoxSink sink);

// The application registers who owns the boxes AfxMessageBox shows and the caption of boxes
// shown without one. Unregistered: no owner, and the system's caption.
struct MessageBoxDefaults {
    std::function<HWND()> owner;
    std::function<const char*()> caption;
};
void AfxSetMessageBoxDefaults(MessageBoxDefaults defaults);

void AfxTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
int AfxShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);
int AfxMessageBox(const char* text, UINT type = MB_OK);

#define TRACE AfxTrace

void AfxAssertFailedLine(const char* file, int line);
#ifdef _DEBUG
#define ASSERT(f) ((f) ? (void)0 : AfxAssertFailedLine(__FILE__, __LINE__))
#define VERIFY(f) ASSERT(f)
#else
#define ASSERT(f) ((void)0)
#define VERIFY(f) ((void)(f))
#endif

// The one exception the framework throws: an allocation the program cannot do without failed.
class CMemoryException {};
[[noreturn]] void AfxThrowMemoryException();
