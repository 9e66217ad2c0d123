#pragma once
// The card's failure signals, caught only by the component object's guarded operations:
// - a message exception, a thrown pointer to a constant message text, which becomes an error
//   object and DISP_E_EXCEPTION;
// - an illegal call, a host call made in a grab state that does not allow it (see
//   docs/threads.md), which becomes an error object and E_ILLEGAL_METHOD_CALL.
#include <string>

namespace orvane {

using MessageException = const char*;

[[noreturn]] inline void RaiseMessage(const char* text)
{
    throw static_cast<MessageException>(text);
}

// A message put together at run time (with the board's own text, say). It is kept per thread
// until that thread raises the next one, so the pointer thrown stays valid while it is caught.
[[noreturn]] inline void RaiseBuiltMessage(std::string text)
{
    thread_local std::string kept;
    kept = std::move(text);
    throw static_cast<MessageException>(kept.c_str());
}

struct IllegalCallException {
    const char* text;  // names the call and says why; a constant text
};

[[noreturn]] inline void RaiseIllegalCall(const char* text)
{
    throw IllegalCallException{text};
}

}  // namespace orvane
