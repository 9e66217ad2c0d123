#pragma once
// A grabber object living inside another object (COM aggregation). The outer object holds this
// inner IUnknown, which has a reference count of its own and is the only way to reach the
// grabber's interfaces without going through the outer object; the grabber's interfaces, in turn,
// delegate their IUnknown to the outer object.
#include <windows.h>

#include <atomic>

#include "module/CorvathOrvane.h"

namespace orvane {

class CAggregatedOrvane final : public IUnknown {
public:
    explicit CAggregatedOrvane(IUnknown* outer) noexcept : object_(outer) {}
    CAggregatedOrvane(const CAggregatedOrvane&) = delete;
    CAggregatedOrvane& operator=(const CAggregatedOrvane&) = delete;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

private:
    ~CAggregatedOrvane() = default;

    std::atomic<LONG> refCount_{0};  // taken and released from the host's several threads
    CCorvathOrvane object_;
};

}  // namespace orvane
