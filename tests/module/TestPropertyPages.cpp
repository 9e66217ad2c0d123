// Stand-ins for the host's four property page classes. The property frame creates them through
// the COM runtime; each creation appends the page's number to the process environment variable
// ORVANE_TEST_PAGES, and the object each page is given goes to ORVANE_TEST_PAGE_OBJECTS as
// "<count>:<identity pointer>;", so a test in the same process can see what the frame did.
#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <new>
#include <string>

#include "CorvathSdk.h"

namespace {

void Append(const wchar_t* variable, const std::wstring& text)
{
    wchar_t current[1024] = {};
    const DWORD length = GetEnvironmentVariableW(variable, current, 1024);
    std::wstring value = length < 1024 ? std::wstring(current, length) : std::wstring();
    SetEnvironmentVariableW(variable, (value + text).c_str());
}

class Page final : public IPropertyPage {
public:
    explicit Page(int number) : number_(number) {}

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
            *object = static_cast<IPropertyPage*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    STDMETHOD_(ULONG, Release)() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    STDMETHOD(SetPageSite)(IPropertyPageSite*) override { return S_OK; }
    STDMETHOD(Activate)(HWND, LPCRECT, BOOL) override { return S_OK; }
    STDMETHOD(Deactivate)() override { return S_OK; }
    STDMETHOD(GetPageInfo)(PROPPAGEINFO* info) override
    {
        if (info == nullptr) {
            return E_POINTER;
        }
        const std::wstring title = L"Page " + std::to_wstring(number_);
        const size_t bytes = (title.size() + 1) * sizeof(wchar_t);
        info->cb = sizeof *info;
        info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (info->pszTitle != nullptr) {
            CopyMemory(info->pszTitle, title.c_str(), bytes);
        }
        info->size.cx = 200;
        info->size.cy = 100;
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return S_OK;
    }
    STDMETHOD(SetObjects)(ULONG count, IUnknown** objects) override
    {
        if (count == 0 || objects == nullptr) {
            return S_OK;
        }
        IUnknown* identity = nullptr;
        if (objects[0] != nullptr) {
            objects[0]->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        }
        wchar_t entry[64];
        std::swprintf(entry, 64, L"%lu:%p;", count, static_cast<void*>(identity));
        if (identity != nullptr) {
            identity->Release();
        }
        Append(L"ORVANE_TEST_PAGE_OBJECTS", entry);
        return S_OK;
    }
    STDMETHOD(Show)(UINT) override { return S_OK; }
    STDMETHOD(Move)(LPCRECT) override { return S_OK; }
    STDMETHOD(IsPageDirty)() override { return S_FALSE; }
    STDMETHOD(Apply)() override { return S_OK; }
    STDMETHOD(Help)(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHOD(TranslateAccelerator)(MSG*) override { return S_FALSE; }

private:
    ~Page() = default;
    LONG references_ = 1;
    int number_;
};

class PageFactory final : public IClassFactory {
public:
    explicit PageFactory(int number) : number_(number) {}

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    STDMETHOD_(ULONG, Release)() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) override
    {
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* page = new (std::nothrow) Page(number_);
        if (page == nullptr) {
            return E_OUTOFMEMORY;
        }
        Append(L"ORVANE_TEST_PAGES", std::to_wstring(number_));
        const HRESULT result = page->QueryInterface(iid, object);
        page->Release();
        return result;
    }
    STDMETHOD(LockServer)(BOOL) override { return S_OK; }

private:
    ~PageFactory() = default;
    LONG references_ = 1;
    int number_;
};

}  // namespace

extern "C" {

// The pages keep no count of their own objects: the test process never unloads them.
STDAPI DllCanUnloadNow()
{
    return S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    *object = nullptr;
    const CLSID* const pages[] = {&CLSID_CorvathGrabberPage1, &CLSID_CorvathGrabberPage2, &CLSID_CorvathGrabberPage3,
                                  &CLSID_CorvathGrabberPage4};
    for (int i = 0; i < 4; ++i) {
        if (IsEqualCLSID(clsid, *pages[i])) {
            auto* factory = new (std::nothrow) PageFactory(i + 1);
            if (factory == nullptr) {
                return E_OUTOFMEMORY;
            }
            const HRESULT result = factory->QueryInterface(iid, object);
            factory->Release();
            return result;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // extern "C"
