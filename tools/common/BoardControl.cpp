#include "tools/common/BoardControl.h"

namespace orvane::host {

namespace {

// SimBoard_SetPainting's modes (SIMBOARD_PAINT_PICTURE, SIMBOARD_PAINT_HEADER_ONLY of the
// simulated board's control header, which a host program does not include).
constexpr int kPaintPicture = 0;
constexpr int kPaintHeaderOnly = 1;

template <typename Function>
Function Find(HMODULE module, const char* name)
{
    return module != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

BoardControl::BoardControl(const wchar_t* library) noexcept : module_(LoadLibraryW(library))
{
    getCounter_ = Find<GetCounter>(module_, "SimBoard_GetCounter");
    resetCounters_ = Find<ResetCountersFunction>(module_, "SimBoard_ResetCounters");
    getFillTime_ = Find<GetFillTime>(module_, "SimBoard_GetFillTime");
    setFrameRate_ = Find<SetFrameRateFunction>(module_, "SimBoard_SetFrameRate");
    setPainting_ = Find<SetPaintingFunction>(module_, "SimBoard_SetPainting");
}

BoardControl::~BoardControl()
{
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

BoardCounters BoardControl::ReadCounters() const noexcept
{
    BoardCounters c;
    if (!HasCounters()) {
        return c;
    }
    auto read = [this](const char* name) {
        const long long value = getCounter_(name);
        return value < 0 ? 0 : static_cast<std::int64_t>(value);
    };
    c.produced = read("framesProduced");
    c.delivered = read("framesDelivered");
    c.released = read("framesReleased");
    c.droppedNoBlock = read("framesDroppedNoBlock");
    c.droppedInjected = read("framesDroppedInjected");
    c.ticksSkipped = read("ticksSkipped");
    c.ticksNoSignal = read("ticksNoSignal");
    return c;
}

void BoardControl::ResetCounters() const noexcept
{
    if (HasCounters()) {
        resetCounters_();
    }
}

LONGLONG BoardControl::FillTime(const void* block) const noexcept
{
    LONGLONG filled = 0;
    if (getFillTime_ == nullptr || getFillTime_(block, &filled) != 0) {
        return 0;
    }
    return filled;
}

bool BoardControl::SetFrameRate(double framesPerSecond) const noexcept
{
    return setFrameRate_ != nullptr && setFrameRate_(framesPerSecond) == 0;
}

bool BoardControl::SetHeaderOnly(bool headerOnly) const noexcept
{
    return setPainting_ != nullptr && setPainting_(headerOnly ? kPaintHeaderOnly : kPaintPicture) == 0;
}

std::string BoardControl::MissingFigures() const
{
    std::string missing;
    auto add = [&missing](const char* figures) {
        missing += missing.empty() ? "" : "; ";
        missing += figures;
    };
    if (!HasFillTimes()) {
        add("board fill times (latency fill->frame)");
    }
    if (!HasCounters()) {
        add("board counts (produced, dropped, ticks skipped)");
    }
    return missing;
}

}  // namespace orvane::host
