#pragma once
// The card's failure signals, caught only by the component object's guarded operations:
// - a message exception, a thrown pointer to a constant message text, which becomes an error
//   object and DISP_E_EXCEPTION;
// - a composed message, for a text put together at run time (one that names a file, a registry
//   key, serial numbers or the board's own reason). It cannot be a pointer: whatever held it is
//   gone once the exception has left the card. It owns its text, and is caught at the same places
//   and reported the same way;
// - an illegal call, a host call made in a grab state that does not allow it (see
//   docs/threads.md), which becomes an error object and E_ILLEGAL_METHOD_CALL.
#include <string>
#include <utility>

namespace orvane {

using MessageException = const char*;

[[noreturn]] inline void RaiseMessage(const char* text)
{
    throw static_cast<MessageException>(text);
}

class ComposedMessage {
public:
    explicit ComposedMessage(std::string text) : text_(std::move(text)) {}
    const char* Text() const noexcept { return text_.c_str(); }

private:
    std::string text_;
};

[[noreturn]] inline void RaiseComposedMessage(std::string text)
{
    throw ComposedMessage(std::move(text));
}

struct IllegalCallException {
    const char* text;  // names the call and says why; a constant text
};

[[noreturn]] inline void RaiseIllegalCall(const char* text)
{
    throw IllegalCallException{text};
}

}  // namespace orvane
