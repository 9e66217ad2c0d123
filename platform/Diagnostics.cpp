#include "platform/Diagnostics.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace orvane {

void Trace(const char* text)
{
    OutputDebugStringA(text != nullptr ? text : "");
}

void TraceWide(const wchar_t* text)
{
    OutputDebugStringW(text != nullptr ? text : L"");
}

void TraceFormat(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (written < 0) {
        line[0] = '\0';
    }
    OutputDebugStringA(line);
}

}  // namespace orvane
