#include "Diagnostics.h"
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

MessageBoxDefaults& CurrentDefaults()
{
    static MessageBoxDefaults defaults;
    return defaults;
}

} // namespace

void AfxSetMessageBoxDefaults(MessageBoxDefaults defaults)
{
    CurrentDefaults() = std::move(defaults);
}

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
    const MessageBoxDefaults& defaults = CurrentDefaults();
    if (!caption && defaults.caption)
        caption = defaults.caption();
    return CurrentMessageBoxSink()(owner, text, caption, type);
}

int AfxMessageBox(const char* text, UINT type)
{
    const MessageBoxDefaults& defaults = CurrentDefaults();
    return AfxShowMessageBox(defaults.owner ? defaults.owner() : nullptr, text, nullptr, type);
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
