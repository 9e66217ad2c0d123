#include "adjustments/ValueText.h"

#include <cstdio>

namespace orvane {

namespace {

template <typename Value>
bool Format(char (&text)[kValueTextSize], const char* format, Value value)
{
    // snprintf never writes past the buffer and tells how long the whole text would have been.
    const int length = std::snprintf(text, sizeof text, format, value);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) {
        text[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

bool FormatValueText(char (&text)[kValueTextSize], const char* format, double value)
{
    return Format(text, format, value);
}

bool FormatValueText(char (&text)[kValueTextSize], const char* format, int value)
{
    return Format(text, format, value);
}

}  // namespace orvane
