#pragma once
// The grabber object: the one component a host creates. It owns the card from InitializeGrabber
// to its final release and serves every host interface on top of it.
//
// Threading: the object is apartment-threaded and has no lock of its own. Its reference count is a
// plain counter. A host does call GrabNext, GetCurrent, ReleaseCurrent and the two Signal
// operations from threads of its own on the raw pointer; those reach the card, whose lists carry
// the locks.
#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <memory>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "adjustments/AdjustmentSupportInterface.h"
#include "platform/ComPtr.h"
#include "platform/InterfaceBoundary.h"
#include "settings/SettingInterface.h"
#include "timing/TimeSourceInterface.h"

class COrvaneCard;

namespace orvane {
class CAggregatedOrvane;
}

// The base order is also the order of the object's interface pointers.
class CCorvathOrvane : public ISupportErrorInfo,
                       public ICorvathOrvane,
                       public ISpecifyPropertyPages,
                       public ICorvathGenericGrabber,
                       public ICorvathImageProp,
                       public ICorvathConfigurationFileProp,
                       public ICorvathBufferUsageProp,
                       public CTimeSourceInterface,
                       public CAdjustmentSupportInterface,
                       public ICorvathGenericButtonClickProp,
                       public CSettingInterface,
                       public IOrvaneFrameCounters {
public:
    // Creates an object, alone (`outer` null) or inside the aggregate `outer`, and asks it for
    // `iid`; the object goes again when that fails. An aggregated object answers only `iid` ==
    // IID_IUnknown with its inner, non-delegating IUnknown.
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept;

    // Writes (or, with `registering` false, removes) the object's registry entries.
    static HRESULT UpdateRegistry(HMODULE module, bool registering) noexcept;

    // The object's own IUnknown, which never delegates to an outer object.
    HRESULT InternalQueryInterface(REFIID iid, void** object) noexcept;
    ULONG InternalAddRef() noexcept;
    ULONG InternalRelease() noexcept;

    // IUnknown, shared by every interface: the outer object's when aggregated.
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // ISupportErrorInfo
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override;

    // IDispatch, served from the registered type library
    STDMETHOD(GetTypeInfoCount)(UINT* count) override;
    STDMETHOD(GetTypeInfo)(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHOD(GetIDsOfNames)(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHOD(Invoke)(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                      EXCEPINFO* exception, UINT* argumentError) override;

    // ISpecifyPropertyPages
    STDMETHOD(GetPages)(CAUUID* pages) override;

    // ICorvathGenericGrabber
    STDMETHOD(InitializeGrabber)(BSTR registryPath) override;
    STDMETHOD(ShowPropertyPages)(HWND owner, LONG singlePage) override;
    STDMETHOD(AllocateBuffers)(SHORT count) override;
    STDMETHOD(ReallocateBuffers)() override;
    STDMETHOD(DeleteCurrent)() override;
    STDMETHOD(FreeBuffers)() override;
    STDMETHOD(ReleaseCurrent)() override;
    STDMETHOD(ReleaseAll)() override;
    STDMETHOD(GetBufferCount)(SHORT* count) override;
    STDMETHOD(GrabNext)() override;
    STDMETHOD(GetCurrent)(ULONG_PTR* imageHeader) override;
    STDMETHOD(EnableGrab)() override;
    STDMETHOD(DisableGrab)() override;
    STDMETHOD(SignalGrabEvent)() override;
    STDMETHOD(SignalReadEvent)() override;

    // ICorvathImageProp
    STDMETHOD(GetImageFormat)(LONG* width, LONG* height, LONG* third, LONG* fourth) override;
    STDMETHOD(SetROI)(LONG width, LONG height, LONG xOffset, LONG yOffset) override;
    STDMETHOD(GetImageSize)(LONG* bytes) override;
    STDMETHOD(GetBitsPerPixel)(LONG* bits) override;
    STDMETHOD(GetSignificantBits)(LONG* bits) override;
    STDMETHOD(GetImageFormatCode)(LONG* code) override;

    // ICorvathConfigurationFileProp
    STDMETHOD(GetConfigurationFile)(BSTR* path) override;
    STDMETHOD(BrowseConfigurationFile)() override;

    // ICorvathBufferUsageProp
    STDMETHOD(GetReadyCount)(LONG* count) override;
    STDMETHOD(GetMaxReadyCount)(LONG* count) override;
    STDMETHOD(GetTotalBufferCount)(LONG* count) override;

    // ICorvathGenericButtonClickProp
    STDMETHOD(GetButtonCount)(SHORT* count) override;
    STDMETHOD(GetButtonName)(SHORT index, BSTR* name) override;
    STDMETHOD(ButtonClicked)(SHORT index) override;

    // IOrvaneFrameCounters
    STDMETHOD(GetFramesCaptured)(LONGLONG* frames) override;
    STDMETHOD(GetFramesLost)(OrvaneFrameLoss cause, LONGLONG* frames) override;

private:
    friend class orvane::CAggregatedOrvane;

    explicit CCorvathOrvane(IUnknown* outer) noexcept;
    ~CCorvathOrvane() override;

    // Runs a card operation at the interface boundary; E_UNEXPECTED before InitializeGrabber.
    template <typename Operation>
    HRESULT WithCard(Operation&& operation) noexcept;

    HRESULT LoadTypeInfo() noexcept;

    // The host calls from several threads: a reference taken on one while another releases must
    // not be lost, so the count changes atomically and exactly one release sees it reach zero.
    std::atomic<LONG> refCount_{0};
    IUnknown* outer_;  // the aggregate's controlling IUnknown, not counted; null when alone
    std::unique_ptr<COrvaneCard> card_;
    // Loaded on first use by whichever thread asks first; published once, released at the end.
    std::atomic<ITypeInfo*> typeInfo_{nullptr};
};

template <typename Operation>
HRESULT CCorvathOrvane::WithCard(Operation&& operation) noexcept
{
    // The host must call InitializeGrabber first; a call before it finds no card to act on.
    if (!card_) {
        return E_UNEXPECTED;
    }
    return orvane::CallAtInterface([&]() -> HRESULT { return operation(*card_); });
}
