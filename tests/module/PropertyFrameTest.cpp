// ShowPropertyPages opens the platform's real property frame on the host's page classes (here
// stand-ins registered in this prefix), in the order the host expects; the dialog answerer closes
// the frame as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "platform/RegistryKey.h"
#include "tests/module/ComTestSupport.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/DialogAnswerer.h"
#include "tests/support/ModulePath.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

// The platform builds the frame's title around our caption "Grabber".
std::string FrameTitle()
{
    const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine ? "Properties for Grabber" : "Grabber Properties";
}

BOOL CALLBACK NoteVisibleDialog(HWND window, LPARAM found)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0) {
        *reinterpret_cast<bool*>(found) = true;
    }
    return TRUE;
}

bool HasVisibleDialog(DWORD thread)
{
    bool found = false;
    EnumThreadWindows(thread, NoteVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Ends the frame's modal loop from outside (a WM_QUIT for the calling thread) when nothing else
// closes it: at once when `onSight` and a frame shows, otherwise once the bound passes. Without
// it a frame nobody closes would hang the test. An empty frame cannot be cancelled at all on Wine.
class ModalLoopBreaker {
public:
    ModalLoopBreaker(bool onSight, DWORD milliseconds)
        : caller_(GetCurrentThreadId()), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          thread_([this, onSight, milliseconds] { Run(onSight, milliseconds); })
    {
    }
    ~ModalLoopBreaker()
    {
        SetEvent(stop_);
        thread_.Join(5000);
        CloseHandle(stop_);
        // The modal loop hands a WM_QUIT on to the thread's queue; it is no longer wanted.
        MSG message;
        while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    ModalLoopBreaker(const ModalLoopBreaker&) = delete;
    ModalLoopBreaker& operator=(const ModalLoopBreaker&) = delete;

    bool Broke() const { return broke_; }

private:
    void Run(bool onSight, DWORD milliseconds)
    {
        const ULONGLONG deadline = GetTickCount64() + milliseconds;
        while (GetTickCount64() < deadline) {
            if (WaitForSingleObject(stop_, 20) == WAIT_OBJECT_0) {
                return;
            }
            if (onSight && HasVisibleDialog(caller_)) {
                break;
            }
        }
        broke_ = true;
        PostThreadMessageW(caller_, WM_QUIT, 0, 0);
    }

    DWORD caller_;
    HANDLE stop_;
    std::atomic<bool> broke_{false};
    BoundedThread thread_;
};

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::wstring PageKey(REFCLSID page)
{
    wchar_t id[40] = {};
    StringFromGUID2(page, id, 40);
    return std::wstring(L"CLSID\\") + id;
}

class PropertyFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
        EnsureModuleRegistered();
        SetEnvironmentVariableW(L"ORVANE_TEST_PAGES", nullptr);
        SetEnvironmentVariableW(L"ORVANE_TEST_PAGE_OBJECTS", nullptr);
        ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_ICorvathGenericGrabber,
                                   grabber_.PutVoid()),
                  S_OK);
    }

    void TearDown() override
    {
        for (const CLSID* page : kPages) {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, PageKey(*page).c_str());
        }
    }

    void RegisterPages()
    {
        const std::wstring server = BesideTestProgram(L"OrvaneTestPages.dll");
        for (const CLSID* page : kPages) {
            orvane::RegistryKey key;
            ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, (PageKey(*page) + L"\\InprocServer32").c_str()), ERROR_SUCCESS);
            const std::wstring model = L"Apartment";
            RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                           static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t)));
            RegSetValueExW(key.Get(), L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model.c_str()),
                           static_cast<DWORD>((model.size() + 1) * sizeof(wchar_t)));
        }
    }

    // What the pages were given: one object, the grabber's identity.
    std::wstring ExpectedObjects(int pages)
    {
        ComPtr<IUnknown> identity;
        EXPECT_EQ(grabber_.QueryTo(IID_IUnknown, identity), S_OK);
        wchar_t entry[64];
        std::swprintf(entry, 64, L"1:%p;", static_cast<void*>(identity.Get()));
        std::wstring all;
        for (int i = 0; i < pages; ++i) {
            all += entry;
        }
        return all;
    }

    static constexpr const CLSID* kPages[] = {&CLSID_CorvathGrabberPage1, &CLSID_CorvathGrabberPage2,
                                              &CLSID_CorvathGrabberPage3, &CLSID_CorvathGrabberPage4};
    ComApartment apartment_;
    ComPtr<ICorvathGenericGrabber> grabber_;
};

TEST_F(PropertyFrameTest, TheFullFrameShowsPagesOneThreeFourTwo)
{
    RegisterPages();
    DialogAnswerer answerer({DialogAnswer::Press(FrameTitle(), IDCANCEL)});
    ModalLoopBreaker breaker(false, 30000);
    EXPECT_EQ(grabber_->ShowPropertyPages(nullptr, 0), S_OK);
    EXPECT_TRUE(answerer.Finish());
    EXPECT_FALSE(breaker.Broke());
    EXPECT_EQ(Environment(L"ORVANE_TEST_PAGES"), L"1342");
    EXPECT_EQ(Environment(L"ORVANE_TEST_PAGE_OBJECTS"), ExpectedObjects(4));
}

TEST_F(PropertyFrameTest, TheSinglePageFrameShowsPageFourAlone)
{
    RegisterPages();
    DialogAnswerer answerer({DialogAnswer::Press(FrameTitle(), IDCANCEL)});
    ModalLoopBreaker breaker(false, 30000);
    EXPECT_EQ(grabber_->ShowPropertyPages(nullptr, 7), S_OK);
    EXPECT_TRUE(answerer.Finish());
    EXPECT_FALSE(breaker.Broke());
    EXPECT_EQ(Environment(L"ORVANE_TEST_PAGES"), L"4");
    EXPECT_EQ(Environment(L"ORVANE_TEST_PAGE_OBJECTS"), ExpectedObjects(1));
}

TEST_F(PropertyFrameTest, WithoutThePageClassesItStillAnswersOk)
{
    for (LONG singlePage : {0, 1}) {
        ModalLoopBreaker breaker(true, 30000);
        EXPECT_EQ(grabber_->ShowPropertyPages(nullptr, singlePage), S_OK);
    }
    EXPECT_EQ(Environment(L"ORVANE_TEST_PAGES"), L"");
}

}  // namespace
