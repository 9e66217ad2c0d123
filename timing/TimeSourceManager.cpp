#include "timing/TimeSourceManager.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <memory>

#include "platform/Diagnostics.h"
#include "platform/RegistryKey.h"
#include "timing/FrameStamps.h"

// The plug-in reads the module's image header through its own declaration: the two must agree.
static_assert(sizeof(OrvaneFrameHeader) == sizeof(ImageHeader));
static_assert(offsetof(OrvaneFrameHeader, pixels) == offsetof(ImageHeader, pixels));
static_assert(offsetof(OrvaneFrameHeader, seconds) == offsetof(ImageHeader, seconds));
static_assert(offsetof(OrvaneFrameHeader, milliseconds) == offsetof(ImageHeader, milliseconds));
static_assert(offsetof(OrvaneFrameHeader, microseconds) == offsetof(ImageHeader, microseconds));

namespace {

constexpr DWORD kNameBufferSize = 260;

// A string value as the time source key holds it: REG_SZ or REG_EXPAND_SZ, terminated within the
// buffer. Anything else (another type, no terminator, too long) counts as absent.
bool ReadSourceName(HKEY key, char (&text)[kNameBufferSize])
{
    std::memset(text, 0, sizeof text);
    DWORD type = 0;
    DWORD size = sizeof text;
    if (RegQueryValueExA(key, "TimeSourceDLL", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS) {
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        std::memset(text, 0, sizeof text);
        return false;
    }
    if (size == 0 || std::memchr(text, '\0', size) == nullptr) {
        std::memset(text, 0, sizeof text);
        return false;
    }
    return true;
}

// A 32-bit value: data of at most 4 bytes, whatever its registry type, taken as the low bytes of a
// little-endian number; absent or longer data gives 0.
std::int32_t ReadNumber(HKEY key, const wchar_t* name)
{
    if (key == nullptr) {
        return 0;
    }
    BYTE data[4] = {};
    DWORD size = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, nullptr, data, &size) != ERROR_SUCCESS || size > sizeof data) {
        return 0;
    }
    std::uint32_t value = 0;
    for (DWORD i = 0; i < size; ++i) {
        value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

CTimeSourceManager::~CTimeSourceManager()
{
    Replace(nullptr);
}

CTimeSourceManager::QueryScope::QueryScope(const CTimeSourceManager& owner) noexcept : owner_(owner)
{
    // Announce first, then look: whoever unpublishes the plug-in after this either is seen here
    // as null or sees the count (both sequentially consistent).
    owner_.queriesInside_.fetch_add(1, std::memory_order_seq_cst);
    plugin_ = owner_.held_.load(std::memory_order_seq_cst);
}

CTimeSourceManager::QueryScope::~QueryScope()
{
    owner_.queriesInside_.fetch_sub(1, std::memory_order_release);
}

void CTimeSourceManager::WaitForQueries() const noexcept
{
    // Only host queries can be inside; each is one short plug-in call.
    while (queriesInside_.load(std::memory_order_seq_cst) != 0) {
        Sleep(1);
    }
}

void CTimeSourceManager::Replace(CTimeStamp* next) noexcept
{
    CTimeStamp* previous = held_.exchange(next, std::memory_order_seq_cst);
    CTimeStamp* retired = retired_.exchange(nullptr, std::memory_order_acq_rel);
    if (previous == nullptr && retired == nullptr) {
        return;
    }
    WaitForQueries();
    delete previous;
    delete retired;
}

void CTimeSourceManager::DropAfterFailure() noexcept
{
    CTimeStamp* dropped = held_.exchange(nullptr, std::memory_order_acq_rel);
    if (dropped == nullptr) {
        return;
    }
    // At most one plug-in is held per grab period and each start empties this slot first, so it
    // is free here.
    retired_.store(dropped, std::memory_order_release);
    dropToReport_.store(true, std::memory_order_release);
}

void CTimeSourceManager::ReportDrop() const noexcept
{
    if (dropToReport_.load(std::memory_order_relaxed) && dropToReport_.exchange(false, std::memory_order_acq_rel)) {
        orvane::Trace("The time source failed on a frame. Defaulting to system clock.");
    }
}

void CTimeSourceManager::LoadTimeSource(const wchar_t* registryPath)
{
    char sourceName[kNameBufferSize] = "System";
    orvane::RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, registryPath != nullptr ? registryPath : L"") != ERROR_SUCCESS) {
        orvane::Trace("Could not find specific time source. Defaulting to system clock.");
    } else {
        char configured[kNameBufferSize];
        if (ReadSourceName(key.Get(), configured) && configured[0] != '\0') {
            std::memcpy(sourceName, configured, sizeof sourceName);
            orvane::TraceFormat("Time Source: %s", sourceName);
        }
    }

    if (std::strcmp(sourceName, "System") == 0) {
        Replace(nullptr);
    } else {
        // Room for the longest name and its terminator: a conversion told the buffer is smaller
        // fails, and a name of 259 characters would then depend on what the failure left behind.
        wchar_t wideName[kNameBufferSize] = {};
        MultiByteToWideChar(CP_ACP, 0, sourceName, -1, wideName, kNameBufferSize);
        // Built, and initialised, while the old one is still held: a library configured again
        // under the same name stays loaded throughout, and a host query never meets a plug-in
        // that is not ready. Only then does the old one go.
        auto next = std::make_unique<CTimeStamp>(wideName);
        if (!next->Loaded()) {
            orvane::Trace("Loading the time source failed. Defaulting to system clock.");
            next.reset();
        } else if (!next->Initialize()) {
            orvane::Trace("Could not initialize the time source. Defaulting to system clock.");
            next.reset();
        }
        Replace(next.release());
    }

    timeSourceOffset_ = ReadNumber(key.Get(), L"TimeSourceOffset");
    // Only the low eight bits of the time-code offset count, read as a signed 8-bit number: 0x1FF
    // is -1, not 511. The range limit below then applies to what they give.
    timecodeOffset_ = static_cast<std::int8_t>(static_cast<std::uint8_t>(ReadNumber(key.Get(), L"LTCTimeSourceOffset") & 0xFF));
    timecodeFrameRate_ = orvane::timing::TimecodeRateForMode(ReadNumber(key.Get(), L"LTCTimeSourceMode"));

    // Offsets the arithmetic cannot carry are limited, and said so once per start.
    if (timeSourceOffset_ < orvane::timing::kLowestTimeOffset) {
        orvane::TraceFormat("Time Source: offset %ld us is out of range; using %ld us.",
                            static_cast<long>(timeSourceOffset_), static_cast<long>(orvane::timing::kLowestTimeOffset));
        timeSourceOffset_ = orvane::timing::kLowestTimeOffset;
    }
    const std::int32_t lowest = orvane::timing::LowestTimecodeOffset(timecodeFrameRate_);
    const std::int32_t highest = orvane::timing::HighestTimecodeOffset(timecodeFrameRate_);
    if (timecodeOffset_ < lowest || timecodeOffset_ > highest) {
        const std::int32_t limited = timecodeOffset_ < lowest ? lowest : highest;
        orvane::TraceFormat("Time Source: time code offset %ld frames is out of range at %ld frames per second; using %ld.",
                            static_cast<long>(timecodeOffset_), static_cast<long>(timecodeFrameRate_),
                            static_cast<long>(limited));
        timecodeOffset_ = limited;
    }
}

void CTimeSourceManager::ClearEvents()
{
    if (CTimeStamp* plugin = held_.load(std::memory_order_acquire)) {
        plugin->ClearEvents();
    }
}

void CTimeSourceManager::Uninitialize()
{
    // A capture thread that outlived the stop may drop the plug-in meanwhile; it is only retired
    // then, so it stays valid for this call.
    if (CTimeStamp* plugin = held_.load(std::memory_order_acquire)) {
        plugin->Uninitialize();
    }
}

bool CTimeSourceManager::ProcessImageData(ImageHeader* header) const
{
    CTimeStamp* plugin = held_.load(std::memory_order_acquire);
    if (plugin == nullptr) {
        return false;
    }
    return plugin->ProcessImageData(reinterpret_cast<OrvaneFrameHeader*>(header));
}

void CTimeSourceManager::ApplyOffsets(ImageHeader& header) const noexcept
{
    if (timeSourceOffset_ != 0) {
        ApplyTimeSourceOffset(header);
    }
    if (timecodeOffset_ != 0) {
        ApplyTimecodeOffset(header);
    }
}

void CTimeSourceManager::ApplyTimeSourceOffset(ImageHeader& header) const noexcept
{
    orvane::timing::ApplyTimeSourceOffset(header.seconds, header.milliseconds, header.microseconds, timeSourceOffset_);
}

void CTimeSourceManager::ApplyTimecodeOffset(ImageHeader& header) const noexcept
{
    orvane::timing::ApplyTimecodeOffset(static_cast<std::uint8_t*>(header.pixels), timecodeOffset_, timecodeFrameRate_);
}

std::int32_t CTimeSourceManager::GetSynchronizationStatus() const
{
    const QueryScope scope(*this);
    return scope.Plugin() != nullptr ? scope.Plugin()->GetSynchronizationStatus() : 0;
}

std::uint8_t CTimeSourceManager::IsGPSSupported() const
{
    const QueryScope scope(*this);
    return scope.Plugin() != nullptr ? scope.Plugin()->IsGPSSupported() : 0;
}

void CTimeSourceManager::GetGPSData(std::uint32_t word, bool flag) const
{
    const QueryScope scope(*this);
    if (scope.Plugin() != nullptr) {
        scope.Plugin()->GetGPSData(word, flag);
    }
}

void CTimeSourceManager::StopReadingGPSData() const
{
    const QueryScope scope(*this);
    if (scope.Plugin() != nullptr) {
        scope.Plugin()->StopReadingGPSData();
    }
}
