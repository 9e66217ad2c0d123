#pragma once
// Turns a failure text into the platform's error object for the calling thread, the way a host
// reads it back with GetErrorInfo: description = the text, source = the grabber's ProgID.
#include <windows.h>

namespace orvane {

// E_ILLEGAL_METHOD_CALL: a call the object's state does not allow (not every SDK declares it).
inline constexpr HRESULT kIllegalMethodCall = static_cast<HRESULT>(0x8000000EL);

// Installs the error object and answers `result`, or DISP_E_EXCEPTION when `result` is S_OK (0).
// The text is 8-bit, in the thread's ANSI code page. E_OUTOFMEMORY when it cannot be converted.
HRESULT ReportError(const char* message, HRESULT result) noexcept;

}  // namespace orvane
