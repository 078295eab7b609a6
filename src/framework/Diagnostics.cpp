#include "Diagnostics.h"
#include "WinApp.h"
#include <cstdarg>
#include <cstdio>
#include <utility>

namespace {

TraceSink& CurrentTraceSink()
{
    static TraceSink sink = [](const char* text) { OutputDebugStringA(text); };
    return sink;
}

MessageBoxSink& CurrentMessageBoxSink()
{
    static MessageBoxSink sink = [](HWND owner, const char* text, const char* caption, UINT type) {
        return ::MessageBoxA(owner, text, caption, type);
    };
    return sink;
}

} // namespace

TraceSink AfxSetTraceSink(TraceSink sink)
{
    return std::exchange(CurrentTraceSink(), std::move(sink));
}

MessageBoxSink AfxSetMessageBoxSink(MessageBoxSink sink)
{
    return std::exchange(CurrentMessageBoxSink(), std::move(sink));
}

void AfxTrace(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    CurrentTraceSink()(text);
}

int AfxShowMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    return CurrentMessageBoxSink()(owner, text, caption ? caption : AfxGetAppName(), type);
}

int AfxMessageBox(const char* text, UINT type)
{
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    return AfxShowMessageBox(owner, text, nullptr, type);
}

void AfxAssertFailedLine(const char* file, int line)
{
    char text[512];
    snprintf(text, sizeof text, "Assertion failed: File %s, Line %d\n", file, line);
    AfxTrace("%s", text);
    AfxShowMessageBox(nullptr, text, nullptr, MB_OK | MB_ICONHAND);
}

void AfxThrowMemoryException()
{
    throw CMemoryException();
}
