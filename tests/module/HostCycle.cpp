#include "tests/module/HostCycle.h"

#include <cstring>

#include "interfaces/ImageHeader.h"

namespace orvane::test {

HostCycle::HostCycle(ICorvathGenericGrabber* grabber, bool slowGrab) : grabber_(grabber)
{
    grabThread_ = std::make_unique<BoundedThread>([this, slowGrab] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (int call = 1; grabbing_; ++call) {
            grabber_->GrabNext();
            if (slowGrab) {
                Sleep(call % 50 == 0 ? 20 : 1);
            }
        }
        CoUninitialize();
    });
    readThread_ = std::make_unique<BoundedThread>([this] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ReadLoop();
        CoUninitialize();
    });
}

HostCycle::~HostCycle()
{
    StopGrabbing();
    draining_ = true;
    readThread_->JoinNudging(10000, [this] { grabber_->SignalReadEvent(); });
}

void HostCycle::ReadLoop()
{
    for (;;) {
        ULONG_PTR address = 0;
        grabber_->GetCurrent(&address);
        if (address == 0) {
            // Woken without a frame: the end, once the stop has been asked for (no frame can
            // arrive after DisableGrab, so the ready list is empty for good).
            if (draining_) {
                return;
            }
            continue;
        }
        const auto* pixels = static_cast<const unsigned char*>(reinterpret_cast<const ImageHeader*>(address)->pixels);
        if (pixels != nullptr && std::memcmp(pixels + 8, "OHDF", 4) == 0) {
            std::uint32_t number = 0;
            std::memcpy(&number, pixels + 4, sizeof number);
            if (tally_.last < 0) {
                tally_.first = number;
            } else if (number <= tally_.last) {
                ++tally_.backwards;
            } else {
                tally_.gaps += number - tally_.last - 1;
            }
            tally_.last = number;
        } else {
            ++tally_.unmarked;
        }
        ++tally_.frames;
        grabber_->ReleaseCurrent();
        ++read_;
    }
}

bool HostCycle::WaitForFrames(std::int64_t frames, DWORD milliseconds) const
{
    return WaitUntil(milliseconds, [&] { return read_.load() >= frames; });
}

bool HostCycle::StopGrabbing()
{
    grabbing_ = false;
    return grabThread_->JoinNudging(10000, [this] { grabber_->SignalGrabEvent(); });
}

bool HostCycle::DrainAndStop()
{
    draining_ = true;
    return readThread_->JoinNudging(10000, [this] { grabber_->SignalReadEvent(); });
}

}  // namespace orvane::test
