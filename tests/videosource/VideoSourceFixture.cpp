#include "tests/videosource/VideoSourceFixture.h"

#include <atomic>
#include <cstring>
#include <map>

#include "platform/RegistryKey.h"
#include "simboard/SimBoardControl.h"
#include "tests/support/ModulePath.h"
#include "tests/support/ModuleRegistration.h"
#include "tools/common/ComErrorText.h"
#include "videosource/VideoSourceIds.h"

namespace orvane::test {

namespace {

// A property bag as the device enumerator's: the serial the device was registered with.
class DeviceBag final : public IPropertyBag {
public:
    explicit DeviceBag(std::wstring serial) : serial_(std::move(serial)) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) {
            *object = static_cast<IPropertyBag*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }   // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override
    {
        if (lstrcmpW(name, videosource::kBagSerial) != 0) {
            return E_INVALIDARG;
        }
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(serial_.c_str());
        return S_OK;
    }
    STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

private:
    std::wstring serial_;
};

}  // namespace

ComPtr<IClassFactory> VideoSourceFactory(REFCLSID clsid)
{
    // Loaded once and kept: objects of it may outlive any one test's references.
    static HMODULE library = LoadLibraryW(BesideTestProgram(L"OrvaneVideoSource.dll").c_str());
    ComPtr<IClassFactory> factory;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto entry = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    EXPECT_NE(entry, nullptr);
    if (entry != nullptr) {
        EXPECT_EQ(entry(clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
    }
    return factory;
}

SampleLog::SampleLog(size_t wanted, size_t headerOffset)
    : wanted_(wanted),
      headerOffset_(headerOffset),
      done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      reached_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

HANDLE SampleLog::Reached(size_t count)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    milestone_ = count;
    if (samples_.size() >= count) {
        SetEvent(reached_);
    } else {
        ResetEvent(reached_);
    }
    return reached_;
}

void SampleLog::OnSample(IMediaSample& sample)
{
    SeenSample seen;
    REFERENCE_TIME end = 0;
    seen.timed = SUCCEEDED(sample.GetTime(&seen.start, &end));
    seen.discontinuity = sample.IsDiscontinuity() == S_OK;
    seen.bytes = sample.GetActualDataLength();
    BYTE* data = nullptr;
    const bool whole = SUCCEEDED(sample.GetPointer(&data)) && static_cast<size_t>(seen.bytes) >= headerOffset_ + sizeof seen.frame;
    if (whole) {
        std::memcpy(&seen.frame, data + headerOffset_, sizeof seen.frame);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    if (samples_.empty() && whole) {
        first_.assign(data, data + seen.bytes);
    }
    samples_.push_back(seen);
    if (samples_.size() == milestone_) {
        SetEvent(reached_);
    }
    if (samples_.size() == wanted_) {
        SetEvent(done_);
    }
}

std::vector<SeenSample> SampleLog::Samples() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
}

std::vector<BYTE> SampleLog::FirstSample() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return first_;
}

void VideoSourceTest::SetUpTestSuite()
{
    // The filter creates the grabber from the module's registration, as every host does.
    ASSERT_EQ(EnsureModuleRegistration(BesideTestProgram(L"Orvane.dll")), S_OK);
}

void VideoSourceTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
    // At most 7 characters, one serial per test process.
    serial_ = L"T" + std::to_wstring(100000 + GetCurrentProcessId() % 900000);
    SimBoardDescription board{};
    std::strcpy(board.name, "Orvane HD Grabber");
    std::strcpy(board.serial, host::Narrow(serial_).c_str());
    board.boardIndex = 1;
    board.boardType = 5;
    ASSERT_EQ(SimBoard_Reset(), 0);
    ASSERT_EQ(SimBoard_SetBoards(&board, 1), 0);
}

void VideoSourceTest::TearDown()
{
    SimBoard_Reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\OrvaneVideoSource\\" + serial_).c_str());
    if (!profile_.empty()) {
        DeleteFileA(profile_.c_str());
    }
}

void VideoSourceTest::UseProfile(const char* sample, bool exactly60Hz)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    profile_ = std::string(folder) + "orvane-videosource-" + host::Narrow(serial_) + ".chp";
    ASSERT_TRUE(CopyFileA(BesideTestProgramA(std::string("profiles\\") + sample).c_str(), profile_.c_str(), FALSE));
    if (exactly60Hz) {
        // 525 lines a frame, as in the 640x480 profile.
        ASSERT_TRUE(WritePrivateProfileStringA("ORVANEHD", "Horizontal Frequency", "31500", profile_.c_str()));
    }
    RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, videosource::DeviceModuleKey(serial_).c_str()), ERROR_SUCCESS);
    const std::wstring path = host::Widen(profile_);
    ASSERT_EQ(RegSetValueExW(key.Get(), L"Board File", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void VideoSourceTest::SetModuleValue(const wchar_t* name, DWORD value)
{
    RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, videosource::DeviceModuleKey(serial_).c_str()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value), ERROR_SUCCESS);
}

void VideoSourceTest::SetPathValue(const wchar_t* name, const std::wstring& value)
{
    RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, videosource::DeviceRegistryPath(serial_).c_str()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

ComPtr<IBaseFilter> VideoSourceTest::MakeFilter()
{
    ComPtr<IBaseFilter> filter;
    const ComPtr<IClassFactory> factory = VideoSourceFactory(videosource::kFilterClass);
    if (!factory || factory->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()) != S_OK) {
        ADD_FAILURE() << "the DLL's factory made no filter";
        return filter;
    }
    DeviceBag bag(serial_);
    EXPECT_EQ(As<IPersistPropertyBag>(filter.Get(), IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
    return filter;
}

}  // namespace orvane::test
