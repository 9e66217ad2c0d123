// The registry script processor, run against a scratch key that stands in for HKEY_CLASSES_ROOT.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "platform/RegistryKey.h"
#include "module/RegistryScript.h"
#include "tests/support/ScratchRegistryKey.h"

namespace {

using orvane::ProcessRegistryScript;
using orvane::RegistryKey;
using orvane::RegistryRoot;
using orvane::ScriptMode;
using orvane::ScriptVariable;

class RegistryScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(root_.Open(HKEY_CURRENT_USER, scratch_.WidePath().c_str()), ERROR_SUCCESS);
        roots_[0] = {L"HKCR", root_.Get()};
    }

    HRESULT Run(const std::wstring& script, ScriptMode mode, std::wstring_view module = L"C:\\m.dll")
    {
        const ScriptVariable variables[] = {{L"MODULE", module}};
        return ProcessRegistryScript(script, variables, mode, roots_);
    }

    bool Exists(const std::wstring& key)
    {
        RegistryKey opened;
        return opened.Open(root_.Get(), key.c_str(), KEY_READ) == ERROR_SUCCESS;
    }

    std::optional<std::wstring> Value(const std::wstring& key, const wchar_t* name = nullptr)
    {
        wchar_t buffer[1024] = {};
        DWORD size = sizeof buffer - sizeof(wchar_t);
        if (RegGetValueW(root_.Get(), key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::wstring(buffer);
    }

    void Write(const std::wstring& key, const wchar_t* name, const std::wstring& data)
    {
        RegistryKey created;
        ASSERT_EQ(created.Create(root_.Get(), key.c_str()), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(created.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    orvane::test::ScratchRegistryKey scratch_;
    RegistryKey root_;
    RegistryRoot roots_[1] = {};
};

const std::wstring kScript = LR"(
HKCR
{
    Sample.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'It''s a thing'
        {
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
                val 'Odd name' = s 'with spaces { and } = signs'
            }
            'TypeLib' = s '{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}'
        }
    }
    Keeper
    {
        Inner = s 'x'
    }
}
)";

constexpr wchar_t kClass[] = L"CLSID\\{11111111-2222-3333-4444-555555555555}";

TEST_F(RegistryScriptTest, RegistersNestedKeysDefaultsAndNamedValues)
{
    ASSERT_EQ(Run(kScript, ScriptMode::Register, L"C:\\It''s here\\m.dll"), S_OK);

    EXPECT_EQ(Value(L"Sample.Thing.1"), L"Thing Class");
    EXPECT_EQ(Value(L"Sample.Thing.1\\CLSID"), L"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(Value(kClass), L"It's a thing");
    EXPECT_TRUE(Exists(std::wstring(kClass) + L"\\Programmable"));
    EXPECT_EQ(Value(std::wstring(kClass) + L"\\Programmable"), std::nullopt);
    EXPECT_EQ(Value(std::wstring(kClass) + L"\\InprocServer32"), L"C:\\It's here\\m.dll");
    EXPECT_EQ(Value(std::wstring(kClass) + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(Value(std::wstring(kClass) + L"\\InprocServer32", L"Odd name"), L"with spaces { and } = signs");
    EXPECT_EQ(Value(std::wstring(kClass) + L"\\TypeLib"), L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
    EXPECT_EQ(Value(L"Keeper\\Inner"), L"x");
}

TEST_F(RegistryScriptTest, ForceRemoveReplacesAStaleKeyWholeOnRegistration)
{
    Write(std::wstring(kClass) + L"\\Stale", nullptr, L"left over");
    Write(L"Keeper\\Foreign", nullptr, L"somebody else's");

    ASSERT_EQ(Run(kScript, ScriptMode::Register), S_OK);

    EXPECT_FALSE(Exists(std::wstring(kClass) + L"\\Stale"));
    EXPECT_TRUE(Exists(L"Keeper\\Foreign"));
}

TEST_F(RegistryScriptTest, RemovalSparesNoRemoveKeysAndKeysStillHoldingForeignSubkeys)
{
    ASSERT_EQ(Run(kScript, ScriptMode::Register), S_OK);
    Write(std::wstring(kClass) + L"\\Foreign", nullptr, L"goes with the force-removed key");
    Write(L"CLSID\\{99999999-2222-3333-4444-555555555555}", nullptr, L"another class");
    Write(L"Keeper\\Foreign", nullptr, L"keeps Keeper alive");

    ASSERT_EQ(Run(kScript, ScriptMode::Unregister), S_OK);

    EXPECT_FALSE(Exists(L"Sample.Thing.1"));
    EXPECT_FALSE(Exists(kClass));
    EXPECT_TRUE(Exists(L"CLSID"));
    EXPECT_TRUE(Exists(L"CLSID\\{99999999-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(Exists(L"Keeper\\Foreign"));
    EXPECT_FALSE(Exists(L"Keeper\\Inner"));

    // Removing what is already gone is not a failure.
    EXPECT_EQ(Run(kScript, ScriptMode::Unregister), S_OK);
}

TEST_F(RegistryScriptTest, ModulePathHasItsQuotesDoubledLongPathsAreRefusedAndVariablesExpand)
{
    std::wstring quoted;
    ASSERT_EQ(orvane::QuoteModulePath(L"C:\\Bob's 'files'\\m.dll", quoted), S_OK);
    EXPECT_EQ(quoted, L"C:\\Bob''s ''files''\\m.dll");

    const std::wstring longest(MAX_PATH - 1, L'a');
    EXPECT_EQ(orvane::QuoteModulePath(longest, quoted), S_OK);
    EXPECT_EQ(quoted, longest);
    EXPECT_EQ(orvane::QuoteModulePath(longest + L"a", quoted), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));

    const ScriptVariable variables[] = {{L"MODULE", L"m.dll"}, {L"NAME", L"x"}};
    std::wstring expanded;
    ASSERT_EQ(orvane::ExpandScriptVariables(L"%MODULE%-%NAME% 100%%", variables, expanded), S_OK);
    EXPECT_EQ(expanded, L"m.dll-x 100%");
    EXPECT_TRUE(FAILED(orvane::ExpandScriptVariables(L"%UNKNOWN%", variables, expanded)));
    EXPECT_TRUE(FAILED(orvane::ExpandScriptVariables(L"50% off", variables, expanded)));
}

TEST_F(RegistryScriptTest, MalformedScriptsWriteNothing)
{
    const wchar_t* const broken[] = {
        L"HKCR { Good = s 'fine' Bad = s 'unterminated }",
        L"HKCR { Good = s 'fine' Missing { }",
        L"HKCR { Good = s 'fine' Typed = d '1' }",
        L"HKCR { Good = s 'fine' Bare = s unquoted }",
        L"HKCR { Good = s 'fine' { val = s 'no name' } }",
        L"HKCR { Good = s 'fine' 'a\\b' }",
        L"HKXX { Good = s 'fine' }",
    };
    for (const wchar_t* script : broken) {
        EXPECT_TRUE(FAILED(Run(script, ScriptMode::Register))) << std::string(script, script + wcslen(script));
        EXPECT_FALSE(Exists(L"Good")) << std::string(script, script + wcslen(script));
    }
}

}  // namespace
