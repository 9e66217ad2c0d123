#pragma once
// The module's one way of telling what it does: single lines on the platform's debug output,
// read with any debug viewer. There are no levels and no log file.

namespace orvane {

// Writes the text as one line, unchanged.
void Trace(const char* text);
// The same for a wide text (names of files and libraries keep every character).
void TraceWide(const wchar_t* text);

// printf-style; the line is cut at 1023 characters rather than overrunning anything.
void TraceFormat(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace orvane
