#pragma once
// The card's failure signal: a thrown pointer to a constant message text. Only the component
// object's guarded operations catch it, and turn it into an error object for the host.

namespace orvane {

using MessageException = const char*;

[[noreturn]] inline void RaiseMessage(const char* text)
{
    throw static_cast<MessageException>(text);
}

}  // namespace orvane
