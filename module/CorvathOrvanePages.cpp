// The grabber's property pages: four page classes the host supplies. The object lists them and can
// show them in a modal property frame.
#include "module/CorvathOrvane.h"

#include <olectl.h>

#include <iterator>

#include "card/OrvaneCard.h"
#include "platform/MessageException.h"

namespace {

const CLSID* const kPages[] = {&CLSID_CorvathGrabberPage1, &CLSID_CorvathGrabberPage2, &CLSID_CorvathGrabberPage3,
                               &CLSID_CorvathGrabberPage4};

}  // namespace

STDMETHODIMP CCorvathOrvane::GetPages(CAUUID* pages)
{
    if (pages == nullptr) {
        return E_POINTER;
    }
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * std::size(kPages)));
    if (pages->pElems == nullptr) {
        return E_OUTOFMEMORY;
    }
    for (const CLSID* page : kPages) {
        if (IsEqualCLSID(*page, CLSID_NULL)) {
            continue;
        }
        bool listed = false;
        for (ULONG i = 0; i < pages->cElems; ++i) {
            listed = listed || IsEqualCLSID(pages->pElems[i], *page);
        }
        if (!listed) {
            pages->pElems[pages->cElems++] = *page;
        }
    }
    return S_OK;
}

STDMETHODIMP CCorvathOrvane::ShowPropertyPages(HWND owner, LONG singlePage)
{
    return orvane::CallAtInterface([&]() -> HRESULT {
        // A modal frame that nobody can close would hold the host's thread for good.
        if (card_ && card_->Unattended()) {
            orvane::RaiseMessage("Orvane - Unattended: the property pages are not shown");
        }
        // The host's single-page request shows the fourth page alone; the full frame puts the
        // pages in the host's preferred order, which is not the list order.
        const CLSID single[] = {CLSID_CorvathGrabberPage4};
        const CLSID all[] = {CLSID_CorvathGrabberPage1, CLSID_CorvathGrabberPage3, CLSID_CorvathGrabberPage4,
                             CLSID_CorvathGrabberPage2};
        orvane::ComPtr<IUnknown> identity;
        if (FAILED(QueryInterface(IID_IUnknown, identity.PutVoid()))) {
            return S_OK;
        }
        IUnknown* objects[] = {identity.Get()};
        wchar_t caption[] = L"Grabber";
        // The frame is modal and returns when the user closes it; what it answers, even that it
        // could not be shown, does not change the outcome for the host.
        OleCreatePropertyFrame(owner, 0, 0, caption, 1, objects, singlePage != 0 ? 1 : 4,
                               const_cast<CLSID*>(singlePage != 0 ? single : all), 0, 0, nullptr);
        return S_OK;
    });
}
