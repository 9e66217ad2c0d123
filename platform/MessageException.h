#pragma once
// The card's failure signal: a thrown pointer to a constant message text. Only the component
// object's guarded operations catch it, and turn it into an error object for the host.
//
// A text put together at run time (one that names a file, a registry key or serial numbers) cannot
// be a pointer: whatever held it is gone once the exception has left the card. Such a failure is
// thrown as a ComposedMessage, which owns its text, and is caught at the same places.
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

}  // namespace orvane
