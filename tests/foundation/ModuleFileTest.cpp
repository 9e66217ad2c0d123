// The module file as the platform sees it: it loads, exports the four server entry points by name,
// and carries its registry script, string table, manifest and a type library the COM runtime reads.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <string>

#include "tests/support/ModulePath.h"

namespace {

using orvane::test::BesideTestProgram;

struct LoadedModule {
    HMODULE handle = LoadLibraryW(BesideTestProgram(L"Orvane.dll").c_str());
    ~LoadedModule()
    {
        if (handle != nullptr) {
            FreeLibrary(handle);
        }
    }
};

TEST(ModuleFile, LoadsAndExportsTheFourServerEntryPointsByName)
{
    LoadedModule module;
    ASSERT_NE(module.handle, nullptr) << "LoadLibrary failed: " << GetLastError();
    for (const char* name : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}) {
        EXPECT_NE(GetProcAddress(module.handle, name), nullptr) << name;
    }
}

TEST(ModuleFile, CarriesRegistryScriptStringAndManifestResources)
{
    LoadedModule module;
    ASSERT_NE(module.handle, nullptr);
    HRSRC script = FindResourceA(module.handle, MAKEINTRESOURCEA(101), "REGISTRY");
    ASSERT_NE(script, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(module.handle, script)));
    const std::string body(text, SizeofResource(module.handle, script));
    EXPECT_NE(body.find("%MODULE%"), std::string::npos);
    EXPECT_NE(body.find("Orvane.CorvathOrvane.1"), std::string::npos);

    char name[64] = {};
    EXPECT_EQ(LoadStringA(module.handle, 100, name, sizeof name), 6);
    EXPECT_STREQ(name, "Orvane");

    HRSRC manifest = FindResourceA(module.handle, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    const char* xml = static_cast<const char*>(LockResource(LoadResource(module.handle, manifest)));
    EXPECT_NE(std::string(xml, SizeofResource(module.handle, manifest)).find("level=\"asInvoker\" uiAccess=\"false\""),
              std::string::npos);
}

TEST(ModuleFile, EmbeddedTypeLibraryDescribesOrvaneLibWithItsCoclass)
{
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLibEx(BesideTestProgram(L"Orvane.dll").c_str(), REGKIND_NONE, &library), S_OK);

    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(attributes);

    BSTR name = nullptr;
    BSTR doc = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"ORVANELib");
    EXPECT_STREQ(doc, L"Orvane 1.0 Type Library");
    SysFreeString(name);
    SysFreeString(doc);

    bool coclassFound = false;
    bool interfaceFound = false;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        TYPEKIND kind{};
        library->GetTypeInfoType(i, &kind);
        BSTR typeName = nullptr;
        BSTR typeDoc = nullptr;
        library->GetDocumentation(static_cast<INT>(i), &typeName, &typeDoc, nullptr, nullptr);
        if (kind == TKIND_COCLASS && std::wstring(typeName) == L"CorvathOrvane") {
            coclassFound = true;
            EXPECT_STREQ(typeDoc, L"CorvathOrvane Class");
        }
        if (std::wstring(typeName) == L"ICorvathOrvane") {
            interfaceFound = true;
            EXPECT_STREQ(typeDoc, L"ICorvathOrvane Interface");
        }
        SysFreeString(typeName);
        SysFreeString(typeDoc);
    }
    EXPECT_TRUE(coclassFound);
    EXPECT_TRUE(interfaceFound);
    library->Release();
}

}  // namespace
