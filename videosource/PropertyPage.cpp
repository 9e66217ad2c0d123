#include "videosource/PropertyPage.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>

#include "platform/UniqueBstr.h"
#include "videosource/OwnModule.h"
#include "videosource/ResourceIds.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::videosource {

namespace {

// What IAMVideoProcAmp already carries: gain, brightness, contrast, hue, saturation.
constexpr LONG kProcAmpAdjustments[] = {1, 6, 7, 8, 9};
// The dialog's size in dialog units, as in the resource.
constexpr int kDialogWidth = 250;
constexpr int kDialogHeight = 150;

std::wstring Number(double value, bool isLong)
{
    wchar_t text[64];
    if (isLong) {
        std::swprintf(text, 64, L"%ld", static_cast<long>(value));
    } else {
        std::swprintf(text, 64, L"%.4f", value);
    }
    return text;
}

std::wstring Describe(HRESULT result)
{
    wchar_t code[16];
    std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(result));
    const char* name = ResultName(result);
    std::wstring text(name, name + std::strlen(name));
    return text.empty() ? code : text + L" (" + code + L")";
}

}  // namespace

HRESULT PropertyPage::Create(REFIID iid, void** object)
{
    auto* page = new (std::nothrow) PropertyPage();
    if (page == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT result = page->QueryInterface(iid, object);
    page->Release();
    return result;
}

STDMETHODIMP PropertyPage::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
        *object = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PropertyPage::AddRef()
{
    return ++references_;
}

STDMETHODIMP_(ULONG) PropertyPage::Release()
{
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* site)
{
    site_ = ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

STDMETHODIMP PropertyPage::SetObjects(ULONG count, IUnknown** objects)
{
    source_.Reset();
    if (count == 0) {
        return S_OK;
    }
    if (objects == nullptr || objects[0] == nullptr) {
        return E_POINTER;
    }
    return objects[0]->QueryInterface(kIidOrvaneVideoSource, source_.PutVoid());
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info)
{
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = PROPPAGEINFO{};
    info->cb = sizeof *info;
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof L"Orvane"));
    if (info->pszTitle != nullptr) {
        CopyMemory(info->pszTitle, L"Orvane", sizeof L"Orvane");
    }
    const LONG units = GetDialogBaseUnits();
    info->size.cx = kDialogWidth * LOWORD(units) / 4;
    info->size.cy = kDialogHeight * HIWORD(units) / 8;
    return S_OK;
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL)
{
    if (rect == nullptr) {
        return E_POINTER;
    }
    window_ = CreateDialogParamW(OwnModule(), MAKEINTRESOURCEW(IDD_PROPERTIES), parent, &PropertyPage::DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    Fill();
    return Move(rect);
}

STDMETHODIMP PropertyPage::Deactivate()
{
    if (window_ != nullptr) {
        DestroyWindow(window_);
        window_ = nullptr;
    }
    return S_OK;
}

STDMETHODIMP PropertyPage::Show(UINT command)
{
    return window_ != nullptr && ShowWindow(window_, static_cast<int>(command)) >= 0 ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect)
{
    if (rect == nullptr) {
        return E_POINTER;
    }
    if (window_ == nullptr) {
        return E_UNEXPECTED;
    }
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP PropertyPage::IsPageDirty()
{
    return dirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP PropertyPage::Help(LPCOLESTR)
{
    return E_NOTIMPL;
}

STDMETHODIMP PropertyPage::TranslateAccelerator(MSG*)
{
    return S_FALSE;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        return TRUE;
    }
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (page == nullptr || message != WM_COMMAND) {
        return FALSE;
    }
    const int control = LOWORD(wParam);
    if (control == IDC_BROWSE && HIWORD(wParam) == BN_CLICKED) {
        page->Browse();
        return TRUE;
    }
    if (control >= IDC_VALUE && control < IDC_VALUE + ADJUSTMENT_ROWS && HIWORD(wParam) == EN_CHANGE && !page->filling_) {
        page->MarkDirty();
        return TRUE;
    }
    return FALSE;
}

void PropertyPage::Fill()
{
    filling_ = true;
    rows_.clear();
    UniqueBstr serial;
    UniqueBstr profile;
    ComPtr<ICorvathAdjustment> adjustments;
    if (source_) {
        source_->GetDeviceSerial(serial.Put());
        source_->GetProfile(profile.Put());
        const HRESULT opened = source_->GetAdjustments(adjustments.Put());
        if (FAILED(opened)) {
            ShowStatus(L"The board cannot be opened: " + Describe(opened));
        }
    }
    SetDlgItemTextW(window_, IDC_SERIAL, (L"Board " + std::wstring(serial.Get() != nullptr ? serial.Get() : L"")).c_str());
    profile_ = profile.Get() != nullptr ? profile.Get() : L"";
    SetDlgItemTextW(window_, IDC_PROFILE, profile_.c_str());
    LONG count = 0;
    if (adjustments) {
        adjustments->GetAdjustmentCount(&count);
    }
    for (LONG index = 0; index < count && rows_.size() < ADJUSTMENT_ROWS; ++index) {
        Row row;
        UniqueBstr name;
        LONG isLong = 0, o1 = 0, o2 = 0, o3 = 0, o4 = 0;
        if (FAILED(adjustments->GetAdjustmentInfo(index, &row.id, name.Put(), &row.longMin, &row.longMax, &row.doubleMin,
                                                  &row.doubleMax, &isLong, &o1, &o2, &o3, &o4)) ||
            std::find(std::begin(kProcAmpAdjustments), std::end(kProcAmpAdjustments), row.id) != std::end(kProcAmpAdjustments)) {
            continue;
        }
        row.isLong = isLong != 0;
        row.name = name.Get() != nullptr ? name.Get() : L"";
        rows_.push_back(row);
    }
    for (int i = 0; i < ADJUSTMENT_ROWS; ++i) {
        const bool shown = static_cast<size_t>(i) < rows_.size();
        for (int control : {IDC_NAME + i, IDC_VALUE + i, IDC_RANGE + i}) {
            ShowWindow(GetDlgItem(window_, control), shown ? SW_SHOW : SW_HIDE);
        }
        if (!shown) {
            continue;
        }
        const Row& row = rows_[static_cast<size_t>(i)];
        double value = 0;
        LONG longValue = 0;
        if (row.isLong && SUCCEEDED(adjustments->GetLongValue(row.id, &longValue))) {
            value = longValue;
        } else if (!row.isLong) {
            adjustments->GetDoubleValue(row.id, &value);
        }
        SetDlgItemTextW(window_, IDC_NAME + i, row.name.c_str());
        SetDlgItemTextW(window_, IDC_VALUE + i, Number(value, row.isLong).c_str());
        const std::wstring range = row.isLong ? Number(row.longMin, true) + L" .. " + Number(row.longMax, true)
                                              : Number(row.doubleMin, false) + L" .. " + Number(row.doubleMax, false);
        SetDlgItemTextW(window_, IDC_RANGE + i, range.c_str());
    }
    filling_ = false;
}

void PropertyPage::Browse()
{
    wchar_t file[MAX_PATH] = {};
    lstrcpynW(file, profile_.c_str(), MAX_PATH);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = L"Common hardware profiles (*.chp)\0*.chp\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = L"Orvane - Choose the board's profile";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (GetOpenFileNameW(&dialog)) {
        profile_ = file;
        profileChanged_ = true;
        SetDlgItemTextW(window_, IDC_PROFILE, file);
        MarkDirty();
    }
}

void PropertyPage::MarkDirty()
{
    dirty_ = true;
    if (site_) {
        site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }
}

void PropertyPage::ShowStatus(const std::wstring& text)
{
    if (window_ != nullptr) {
        SetDlgItemTextW(window_, IDC_STATUS, text.c_str());
    }
}

HRESULT PropertyPage::ApplyRow(size_t index)
{
    const Row& row = rows_[index];
    wchar_t text[64] = {};
    GetDlgItemTextW(window_, IDC_VALUE + static_cast<int>(index), text, 64);
    wchar_t* end = nullptr;
    const double value = std::wcstod(text, &end);
    const bool number = end != text && *end == L'\0';
    const bool inRange = row.isLong ? value >= row.longMin && value <= row.longMax && value == static_cast<double>(static_cast<LONG>(value))
                                    : value >= row.doubleMin && value <= row.doubleMax;
    if (!number || !inRange) {
        ShowStatus(row.name + L": " + text + L" is outside its range");
        return E_INVALIDARG;
    }
    ComPtr<ICorvathAdjustment> adjustments;
    HRESULT result = source_->GetAdjustments(adjustments.Put());
    if (SUCCEEDED(result)) {
        result = row.isLong ? adjustments->SetLongValue(row.id, static_cast<LONG>(value)) : adjustments->SetDoubleValue(row.id, value);
    }
    return result;
}

STDMETHODIMP PropertyPage::Apply()
{
    if (!source_ || window_ == nullptr) {
        return E_UNEXPECTED;
    }
    if (profileChanged_) {
        const HRESULT result = source_->UseProfile(profile_.c_str());
        if (FAILED(result)) {
            ShowStatus(L"The board did not take this profile: " + Describe(result));
            return result;
        }
        profileChanged_ = false;
    } else {
        for (size_t i = 0; i < rows_.size(); ++i) {
            if (const HRESULT result = ApplyRow(i); FAILED(result)) {
                return result;
            }
        }
    }
    dirty_ = false;
    ShowStatus(L"");
    Fill();  // the values as the board now has them
    return S_OK;
}

}  // namespace orvane::videosource
