// Registration as a host's installer does it: regsvr32 in this Wine prefix, read back from
// HKEY_CLASSES_ROOT, then the class created through the COM runtime.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "module/RegistryScript.h"
#include "platform/RegistryKey.h"
#include "tests/module/ComTestSupport.h"
#include "tests/support/ModulePath.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

const std::wstring kClassKey = L"CLSID\\{2076E7BB-7C9F-4588-B77E-7CFDE048E739}";
const std::wstring kLibraryKey = L"TypeLib\\{0EDDDD3E-FF0D-4EA5-9EE6-EDEC219942D8}";

bool SamePath(const std::optional<std::wstring>& written, const std::wstring& expected)
{
    return written && lstrcmpiW(written->c_str(), expected.c_str()) == 0;
}

TEST(ServerRegistration, Regsvr32WritesTheProgIdsClassKeyAndTypeLibraryAndCoCreateInstanceWorks)
{
    ASSERT_EQ(Regsvr32(ModulePath(), false), 0u);

    EXPECT_EQ(ClassesValue(L"Orvane.CorvathOrvane.1"), L"CorvathOrvane Class");
    EXPECT_EQ(ClassesValue(L"Orvane.CorvathOrvane.1\\CLSID"), L"{2076E7BB-7C9F-4588-B77E-7CFDE048E739}");
    EXPECT_EQ(ClassesSubkeyCount(L"Orvane.CorvathOrvane.1"), 1u);

    EXPECT_EQ(ClassesValue(L"Orvane.CorvathOrvane"), L"CorvathOrvane Class");
    EXPECT_EQ(ClassesValue(L"Orvane.CorvathOrvane\\CLSID"), L"{2076E7BB-7C9F-4588-B77E-7CFDE048E739}");
    EXPECT_EQ(ClassesValue(L"Orvane.CorvathOrvane\\CurVer"), L"Orvane.CorvathOrvane.1");
    EXPECT_EQ(ClassesSubkeyCount(L"Orvane.CorvathOrvane"), 2u);

    EXPECT_EQ(ClassesValue(kClassKey), L"CorvathOrvane Class");
    EXPECT_EQ(ClassesSubkeyCount(kClassKey), 5u);
    EXPECT_EQ(ClassesValue(kClassKey + L"\\ProgID"), L"Orvane.CorvathOrvane.1");
    EXPECT_EQ(ClassesValue(kClassKey + L"\\VersionIndependentProgID"), L"Orvane.CorvathOrvane");
    EXPECT_TRUE(ClassesKeyExists(kClassKey + L"\\Programmable"));
    EXPECT_EQ(ClassesValueCount(kClassKey + L"\\Programmable"), 0u);
    EXPECT_TRUE(SamePath(ClassesValue(kClassKey + L"\\InprocServer32"), ModulePath()));
    EXPECT_EQ(ClassesValue(kClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ClassesValueCount(kClassKey + L"\\InprocServer32"), 2u);
    EXPECT_EQ(ClassesValue(kClassKey + L"\\TypeLib"), L"{0EDDDD3E-FF0D-4EA5-9EE6-EDEC219942D8}");

    ComApartment apartment;
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_ORVANELib, 1, 0, LANG_NEUTRAL, library.Put()), S_OK);

    ComPtr<ICorvathGenericGrabber> grabber;
    ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_ICorvathGenericGrabber,
                               grabber.PutVoid()),
              S_OK);
    EXPECT_TRUE(grabber);

    CLSID fromProgId{};
    EXPECT_EQ(CLSIDFromProgID(L"Orvane.CorvathOrvane", &fromProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(fromProgId, CLSID_CorvathOrvane));
}

TEST(ServerRegistration, UnregisteringRemovesBothProgIdsAndTheClassKeyButLeavesClsid)
{
    ASSERT_EQ(Regsvr32(ModulePath(), false), 0u);
    ASSERT_EQ(Regsvr32(ModulePath(), true), 0u);

    EXPECT_FALSE(ClassesKeyExists(L"Orvane.CorvathOrvane.1"));
    EXPECT_FALSE(ClassesKeyExists(L"Orvane.CorvathOrvane"));
    EXPECT_FALSE(ClassesKeyExists(kClassKey));
    EXPECT_TRUE(ClassesKeyExists(L"CLSID"));
    EXPECT_FALSE(ClassesKeyExists(kLibraryKey + L"\\1.0"));

    // A second removal finds nothing left to remove and is not a failure.
    EXPECT_EQ(Regsvr32(ModulePath(), true), 0u);

    ComApartment apartment;
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid()),
              REGDB_E_CLASSNOTREG);

    // Leave the prefix registered for the other tests.
    EXPECT_EQ(Regsvr32(ModulePath(), false), 0u);
}

TEST(ServerRegistration, AModulePathWithASingleQuoteIsWrittenIntact)
{
    namespace fs = std::filesystem;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const fs::path folder = fs::path(temp) / (L"Orvane's copy " + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(folder);
    for (const wchar_t* file : {L"Orvane.dll", L"OHDW32.dll"}) {
        fs::copy_file(BesideTestProgram(file), folder / file, fs::copy_options::overwrite_existing);
    }
    const std::wstring copy = (folder / L"Orvane.dll").wstring();

    ASSERT_EQ(Regsvr32(copy, false), 0u);
    EXPECT_TRUE(SamePath(ClassesValue(kClassKey + L"\\InprocServer32"), copy));
    EXPECT_EQ(Regsvr32(copy, true), 0u);
    EXPECT_FALSE(ClassesKeyExists(kClassKey));

    EXPECT_EQ(Regsvr32(ModulePath(), false), 0u);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

TEST(ServerRegistration, RegisteringReplacesTheClassKeyWholeAndUnregisteringSparesOtherClasses)
{
    const std::wstring otherClass = L"CLSID\\{99999999-2222-3333-4444-555555555555}";
    for (const std::wstring& key : {kClassKey + L"\\Stale", otherClass}) {
        orvane::RegistryKey created;
        ASSERT_EQ(created.Create(HKEY_CLASSES_ROOT, key.c_str()), ERROR_SUCCESS);
    }

    ASSERT_EQ(CallExport(ModulePath(), "DllRegisterServer"), S_OK);
    EXPECT_FALSE(ClassesKeyExists(kClassKey + L"\\Stale"));
    EXPECT_TRUE(ClassesKeyExists(kClassKey + L"\\InprocServer32"));

    ASSERT_EQ(CallExport(ModulePath(), "DllUnregisterServer"), S_OK);
    EXPECT_TRUE(ClassesKeyExists(otherClass));
    EXPECT_FALSE(ClassesKeyExists(kClassKey));

    RegDeleteTreeW(HKEY_CLASSES_ROOT, otherClass.c_str());
    EXPECT_EQ(CallExport(ModulePath(), "DllRegisterServer"), S_OK);
}

TEST(ServerRegistration, ModulePathHasItsQuotesDoubledAndLongPathsAreRefused)
{
    std::wstring quoted;
    ASSERT_EQ(orvane::QuoteModulePath(L"C:\\Bob's 'files'\\m.dll", quoted), S_OK);
    EXPECT_EQ(quoted, L"C:\\Bob''s ''files''\\m.dll");

    const std::wstring longest(MAX_PATH - 1, L'a');
    EXPECT_EQ(orvane::QuoteModulePath(longest, quoted), S_OK);
    EXPECT_EQ(quoted, longest);
    EXPECT_EQ(orvane::QuoteModulePath(longest + L"a", quoted), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));

    // The module itself, loaded from a folder deep enough that its path has MAX_PATH characters.
    namespace fs = std::filesystem;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const fs::path top = fs::path(temp) / (L"Orvane long " + std::to_wstring(GetCurrentProcessId()));
    fs::path folder = top;
    while (folder.wstring().size() + 1 + wcslen(L"Orvane.dll") < MAX_PATH) {
        folder /= std::wstring(std::min<size_t>(40, MAX_PATH - folder.wstring().size()), L'd');
    }
    fs::create_directories(folder);
    for (const wchar_t* file : {L"Orvane.dll", L"OHDW32.dll"}) {
        fs::copy_file(BesideTestProgram(file), folder / file, fs::copy_options::overwrite_existing);
    }
    const std::wstring copy = (folder / L"Orvane.dll").wstring();
    ASSERT_GE(copy.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(CallExport(copy, "DllRegisterServer"), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(SamePath(ClassesValue(kClassKey + L"\\InprocServer32"), ModulePath()));
    std::error_code ignored;
    fs::remove_all(top, ignored);
}

}  // namespace
