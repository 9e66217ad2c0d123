#pragma once
// Part (e) of the benchmark: the video source's one copy per frame, from the module's packed,
// top-down rows into a DirectShow sample (bottom-up and padded for RGB), against a plain memcpy of
// the same bytes, at 1920x1080 and 3840x2160.

namespace orvane::bench {

// Measures and prints the figures; `rounds` copies of each kind, medians shown.
void RunVideoSourceCopy(int rounds);

}  // namespace orvane::bench
