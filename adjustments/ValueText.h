#pragma once
// The text an adjustment's value is written with into the CHP file: the format's leading blank,
// then the number. The text has room for 11 characters, enough for every value a board accepts;
// a longer text is refused rather than cut, since a cut number would read back as another value.
#include <cstddef>

namespace orvane {

constexpr std::size_t kValueTextSize = 12;  // 11 characters and the terminator

// False, with `text` empty, when the formatted value does not fit.
bool FormatValueText(char (&text)[kValueTextSize], const char* format, double value);
bool FormatValueText(char (&text)[kValueTextSize], const char* format, int value);

}  // namespace orvane
