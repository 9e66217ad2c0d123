#pragma once
// The filter's property page: the device's board, its profile (shown, and chosen with Browse...)
// and the module's adjustments that IAMVideoProcAmp does not carry (black level, phase,
// positions, line frequency), each with its range. Apply hands a newly chosen profile to the
// filter, which opens the board with it, and then shows that profile's values; otherwise it writes
// the values shown.
#include <ocidl.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/ComPtr.h"
#include "videosource/IOrvaneVideoSource.h"
#include "videosource/ServerLock.h"

namespace orvane::videosource {

class PropertyPage final : public IPropertyPage {
public:
    static HRESULT Create(REFIID iid, void** object);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR file) override;
    STDMETHODIMP TranslateAccelerator(MSG* message) override;

private:
    struct Row {
        LONG id = 0;
        bool isLong = true;
        std::wstring name;
        LONG longMin = 0;
        LONG longMax = 0;
        double doubleMin = 0;
        double doubleMax = 0;
    };

    PropertyPage() = default;
    ~PropertyPage() = default;

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Fill();
    void Browse();
    void MarkDirty();
    void ShowStatus(const std::wstring& text);
    HRESULT ApplyRow(size_t index);

    std::atomic<ULONG> references_{1};
    ObjectCount alive_;
    ComPtr<IPropertyPageSite> site_;
    ComPtr<IOrvaneVideoSource> source_;
    HWND window_ = nullptr;
    std::vector<Row> rows_;
    std::wstring profile_;
    bool profileChanged_ = false;
    bool dirty_ = false;
    bool filling_ = false;  // the page writes its own controls: no change of the user's
};

}  // namespace orvane::videosource
