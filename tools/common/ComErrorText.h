#pragma once
// Readable text for a failed COM call: the thread's error object description when there is one,
// otherwise the system's text for the result code.
#include <windows.h>

#include <string>

namespace orvane::host {

// Takes (and clears) the calling thread's error object.
std::string TakeErrorDescription();

// "<description> (0x80020009)" or "<system text> (0x...)".
std::string DescribeFailure(HRESULT result);

std::string HresultHex(HRESULT result);

std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);
// Text in the ANSI code page as UTF-8 (JSON is UTF-8).
std::string Utf8(const std::string& text);

}  // namespace orvane::host
