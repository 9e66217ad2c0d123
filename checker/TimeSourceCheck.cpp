// orvane-timesource-check PLUGIN.dll  (--help, --version)
//
// Tells a time-source author whether the grabber module would take their plug-in: loads it exactly
// as the module does, lists every export the module looks up (found or missing, required or not),
// then calls Initialize, ProcessImageData on a synthetic 64x4 frame stamped with the system clock,
// the host's two queries and Uninitialize, and shows what the plug-in wrote.
//
// Exit code: 0 the module would use it; 1 it would fall back to the system clock; 2 usage.
#include <windows.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "interfaces/ImageHeader.h"
#include "timesource/OrvaneTimeSource.h"
#include "timing/TimeStamp.h"

namespace {

void SystemTime(ImageHeader& header)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::uint64_t us = (ticks - 116444736000000000ull) / 10;
    header.seconds = static_cast<std::int32_t>(us / 1000000);
    header.milliseconds = static_cast<std::uint16_t>(us / 1000 % 1000);
    header.microseconds = static_cast<std::uint16_t>(us % 1000);
}

void PrintTime(const char* what, const ImageHeader& header)
{
    const std::time_t seconds = header.seconds;
    char text[32] = "(out of range)";
    if (const std::tm* utc = std::gmtime(&seconds)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", utc);
    }
    std::printf("  %s %s.%03u%03u UTC\n", what, text, static_cast<unsigned>(header.milliseconds),
                static_cast<unsigned>(header.microseconds));
}

int Bcd(std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

std::int64_t Microseconds(const ImageHeader& h)
{
    return static_cast<std::int64_t>(h.seconds) * 1000000 + h.milliseconds * 1000 + h.microseconds;
}

}  // namespace

#ifndef ORVANE_VERSION
#define ORVANE_VERSION "unknown"
#endif

int main(int argc, char** argv)
{
    CLI::App app("Tells a time-source author whether the grabber module would take their plug-in: loads it as the\n"
                 "module does, lists every export the module looks up, calls Initialize, ProcessImageData on a\n"
                 "synthetic frame and the host's queries, and shows what the plug-in wrote.",
                 "orvane-timesource-check");
    std::string pluginName;
    app.add_option("PLUGIN", pluginName, "the plug-in DLL, found by the platform's search rules as the module finds it")->required();
    app.set_help_flag("-h,--help", "this text");
    app.set_version_flag("--version", std::string(ORVANE_VERSION), "the version of the checker");
    app.footer("Exit codes:\n  0  the module would use the plug-in\n  1  the module would refuse it and fall back to the "
               "system clock\n  2  bad command line\n");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (std::find(arguments.begin(), arguments.end(), "/?") != arguments.end()) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    }
    try {
        app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion& e) {
        std::printf("orvane-timesource-check %s (Orvane grabber module tools)\n", e.what());
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "orvane-timesource-check: error: %s (see --help)\n", e.what());
        return 2;
    }
    if (pluginName.size() >= static_cast<size_t>(CTimeStamp::kNameLength)) {
        std::fprintf(stderr, "orvane-timesource-check: error: the module takes names of at most %d characters\n",
                     static_cast<int>(CTimeStamp::kNameLength) - 1);
        return 2;
    }
    // The module takes the name from the registry in the ANSI code page, and so does this.
    wchar_t name[CTimeStamp::kNameLength] = {};
    MultiByteToWideChar(CP_ACP, 0, pluginName.c_str(), -1, name, CTimeStamp::kNameLength);
    std::printf("Loading %s as the grabber module would\n", pluginName.c_str());
    CTimeStamp plugin(name);
    if (plugin.Library() == nullptr) {
        std::printf("  the library cannot be loaded (error %lu)\n", GetLastError());
        std::printf("The module would fall back to the system clock.\n");
        return 1;
    }
    for (int i = 0; i < kOrvaneTimeSourceExportCount; ++i) {
        const OrvaneTimeSourceExport& e = kOrvaneTimeSourceExports[i];
        const bool found = plugin.Entry(i) != nullptr;
        std::printf("  %-26s %-9s %s\n", e.name, e.required ? "required" : "optional",
                    found ? "found" : (e.required ? "MISSING: the module refuses the plug-in" : "missing (fine)"));
    }
    if (!plugin.Loaded()) {
        std::printf("The module would refuse it and fall back to the system clock.\n");
        return 1;
    }

    int result = 0;
    try {
        const bool ready = plugin.Initialize();
        std::printf("Initialize: %s\n", ready ? "ready" : "returned 0: the module would fall back to the system clock");
        if (!ready) {
            return 1;
        }
        std::vector<std::uint8_t> pixels(64 * 4 * 4, 0);
        ImageHeader header{};
        header.pixels = pixels.data();
        SystemTime(header);
        const ImageHeader before = header;
        std::printf("ProcessImageData on a 64x4 frame:\n");
        PrintTime("stamped by the system clock", before);
        const bool returned = plugin.ProcessImageData(reinterpret_cast<OrvaneFrameHeader*>(&header));
        std::printf("  returned %d (the module ignores it)\n", returned ? 1 : 0);
        PrintTime("time after the plug-in     ", header);
        std::printf("  moved the time by %lld us\n", static_cast<long long>(Microseconds(header) - Microseconds(before)));
        if (header.pixels != before.pixels || header.reserved1 != before.reserved1 || header.reserved2 != before.reserved2) {
            std::printf("  WARNING: it changed header fields that are not its own\n");
            result = 1;
        }
        std::printf("  first four pixel bytes %02X %02X %02X %02X: time code %02d:%02d:%02d:%02d (flags %02X %02X %02X %02X)\n",
                    pixels[0], pixels[1], pixels[2], pixels[3], Bcd(pixels[3] & kTimecodeFieldMask[3]),
                    Bcd(pixels[2] & kTimecodeFieldMask[2]), Bcd(pixels[1] & kTimecodeFieldMask[1]),
                    Bcd(pixels[0] & kTimecodeFieldMask[0]), pixels[3] & ~kTimecodeFieldMask[3] & 0xFF,
                    pixels[2] & ~kTimecodeFieldMask[2] & 0xFF, pixels[1] & ~kTimecodeFieldMask[1] & 0xFF,
                    pixels[0] & ~kTimecodeFieldMask[0] & 0xFF);
        std::printf("GetSynchronizationStatus: %ld\n", static_cast<long>(plugin.GetSynchronizationStatus()));
        std::printf("IsGPSSupported: %u\n", static_cast<unsigned>(plugin.IsGPSSupported()));
        plugin.Uninitialize();
        std::printf("Uninitialize: returned\n");
    } catch (...) {
        // Only reached where the exception can unwind into this program at all; elsewhere the
        // process has ended, as the host's would.
        std::printf("A C++ exception left the plug-in: the module would stop using it until the next grab start.\n"
                    "Catch every exception inside the exports.\n");
        return 1;
    }
    std::printf(result == 0 ? "The module would use this plug-in.\n" : "The module would use it, but see the warnings.\n");
    return result;
}
