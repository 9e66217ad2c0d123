// ICorvathGenericGrabber: creating the card, and the buffer and grab operations, each forwarded to
// exactly one card operation at the interface boundary.
#include "module/CorvathOrvane.h"

#include "card/OrvaneCard.h"
#include "platform/Diagnostics.h"
#include "platform/ErrorReporting.h"
#include "platform/UniqueBstr.h"

namespace {

// S_FALSE with this text tells the host that GrabNext or GetCurrent had to wait.
constexpr const char* kOverrun = "overrun";

}  // namespace

STDMETHODIMP CCorvathOrvane::InitializeGrabber(BSTR registryPath)
{
    return orvane::CallAtInterface([&]() -> HRESULT {
        if (card_) {
            // A second card would find the board already open; the first one stays in charge.
            return E_UNEXPECTED;
        }
        orvane::Trace("Orvane - Loading Orvane");
        bool copied = false;
        const orvane::UniqueBstr path = orvane::UniqueBstr::Copy(registryPath, copied);
        if (!copied) {
            return E_OUTOFMEMORY;
        }
        // A failure here leaves the object as it was: no card and no pointers into one.
        card_ = std::make_unique<COrvaneCard>(path.Get());
        SetAdjustmentSupport(card_.get());
        SetSettings(card_.get());
        SetTimeSourceCard(&card_->TimeSources());
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::AllocateBuffers(SHORT count)
{
    return WithCard([&](COrvaneCard& card) {
        card.AllocateBuffers(count);
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::ReallocateBuffers()
{
    return WithCard([](COrvaneCard& card) {
        card.ReallocateBuffers();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::DeleteCurrent()
{
    return WithCard([](COrvaneCard& card) {
        card.DeleteCurrent();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::FreeBuffers()
{
    return WithCard([](COrvaneCard& card) {
        card.FreeBuffers();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::ReleaseCurrent()
{
    return WithCard([](COrvaneCard& card) {
        card.ReleaseCurrent();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::ReleaseAll()
{
    return WithCard([](COrvaneCard& card) {
        card.ReleaseAll();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::GetBufferCount(SHORT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    return WithCard([&](COrvaneCard& card) {
        // The interface has 16 bits for it: the low 16 bits of the count are what the host gets.
        *count = static_cast<SHORT>(static_cast<USHORT>(card.GetBufferCount() & 0xFFFF));
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::GrabNext()
{
    return WithCard([](COrvaneCard& card) {
        return card.GrabNext() ? orvane::ReportError(kOverrun, S_FALSE) : S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::GetCurrent(ULONG_PTR* imageHeader)
{
    if (imageHeader == nullptr) {
        return E_POINTER;
    }
    return WithCard([&](COrvaneCard& card) {
        bool waited = false;
        ImageHeader* header = card.GetCurrent(waited);
        *imageHeader = reinterpret_cast<ULONG_PTR>(header);
        return waited ? orvane::ReportError(kOverrun, S_FALSE) : S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::EnableGrab()
{
    return WithCard([](COrvaneCard& card) {
        // The card keeps the capture thread's handle; the host has no use for it.
        card.EnableGrab();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::DisableGrab()
{
    return WithCard([](COrvaneCard& card) {
        card.DisableGrab();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::SignalGrabEvent()
{
    return WithCard([](COrvaneCard& card) {
        card.SignalGrabEvent();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::SignalReadEvent()
{
    return WithCard([](COrvaneCard& card) {
        card.SignalReadEvent();
        return S_OK;
    });
}
