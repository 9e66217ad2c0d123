#include "timing/TimeStamp.h"

#include <cwchar>

#include "platform/Diagnostics.h"

namespace {

// Converts an export's address to the entry's own type. The loader hands out every export as the
// same generic function pointer; this is the one place that reinterprets it.
template <typename Fn>
void Bind(Fn& entry, FARPROC address) noexcept
{
    entry = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

CTimeStamp::CTimeStamp(const wchar_t* name)
{
    if (name != nullptr) {
        std::wcsncpy(name_, name, kNameLength - 1);
    }
    library_ = LoadLibraryW(name_);
    if (library_ == nullptr) {
        // Built larger than any name can make it, so a long name is never cut or overrun.
        constexpr wchar_t kPrefix[] = L"Time Source Manager: Failed to load ";
        wchar_t line[sizeof kPrefix / sizeof kPrefix[0] + kNameLength] = {};
        std::wcscpy(line, kPrefix);
        std::wcscat(line, name_);
        orvane::TraceWide(line);
        return;
    }
    FARPROC found[kOrvaneTimeSourceExportCount] = {};
    bool complete = true;
    for (int i = 0; i < kOrvaneTimeSourceExportCount; ++i) {
        found[i] = GetProcAddress(library_, kOrvaneTimeSourceExports[i].name);
        if (found[i] == nullptr && kOrvaneTimeSourceExports[i].required) {
            complete = false;
        }
    }
    Bind(getName_, found[0]);
    Bind(getInfo_, found[1]);
    Bind(initialize_, found[2]);
    Bind(microSecond_, found[3]);
    Bind(uninitialize_, found[4]);
    Bind(clearEvents_, found[5]);
    Bind(setDroppedFrames_, found[6]);
    Bind(setReference_, found[7]);
    Bind(getReference_, found[8]);
    Bind(getSynchronizationStatus_, found[9]);
    Bind(isGPSSupported_, found[10]);
    Bind(getGPSData_, found[11]);
    Bind(stopReadingGPSData_, found[12]);
    Bind(getReferenceTimeb_, found[13]);
    Bind(getCurrentTimeStamp_, found[14]);
    Bind(getRelativeTimeStamp_, found[15]);
    Bind(processImageData_, found[16]);
    loaded_ = complete;
}

CTimeStamp::~CTimeStamp()
{
    if (library_ != nullptr) {
        FreeLibrary(library_);
    }
}

FARPROC CTimeStamp::Entry(int index) const noexcept
{
    if (library_ == nullptr || index < 0 || index >= kOrvaneTimeSourceExportCount) {
        return nullptr;
    }
    return GetProcAddress(library_, kOrvaneTimeSourceExports[index].name);
}
