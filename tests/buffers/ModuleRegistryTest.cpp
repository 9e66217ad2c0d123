// The module key's name and the three value writers, against the real registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "tests/buffers/TestList.h"
#include "tests/support/ScratchRegistryKey.h"

namespace {

using namespace orvane::test;

TEST(ModuleRegistry, WritesEachValueTypeIntoTheModuleKey)
{
    ScratchRegistryKey scratch;
    TestList list;
    list.SetNames(scratch.WidePath().c_str(), L"Orvane");
    EXPECT_EQ(list.ModuleKey(), scratch.WidePath() + L"Orvane") << "no separator between path and board name";
    EXPECT_EQ(list.RegistryPath(), scratch.WidePath());
    const std::string moduleKey = scratch.Path() + "Orvane";

    EXPECT_EQ(list.SetRegistryString("C:\\profiles\\board.chp", "Board File"), ERROR_SUCCESS);
    EXPECT_EQ(ScratchRegistryKey::GetString(moduleKey, "Board File"), "C:\\profiles\\board.chp");
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, moduleKey.c_str(), "Board File", RRF_RT_ANY, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, std::strlen("C:\\profiles\\board.chp") + 1) << "stored with its terminating NUL";

    EXPECT_EQ(list.SetRegistryDword(6, "ImageFormat"), ERROR_SUCCESS);
    EXPECT_EQ(ScratchRegistryKey::GetDword(moduleKey, "ImageFormat"), 6u);

    const unsigned char bytes[] = {0x00, 0x01, 0xFE, 0xFF, 0x7F};
    EXPECT_EQ(list.SetRegistryBinary("Region", bytes, sizeof bytes), ERROR_SUCCESS);
    std::vector<unsigned char> read(16);
    size = static_cast<DWORD>(read.size());
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, moduleKey.c_str(), "Region", RRF_RT_REG_BINARY, nullptr, read.data(),
                           &size),
              ERROR_SUCCESS);
    read.resize(size);
    EXPECT_EQ(read, std::vector<unsigned char>(std::begin(bytes), std::end(bytes)));
}

TEST(ModuleRegistry, RefusesWritesWithoutTextDataOrKey)
{
    ScratchRegistryKey scratch;
    TestList list;
    list.SetNames(scratch.WidePath().c_str(), L"Orvane");
    const std::string moduleKey = scratch.Path() + "Orvane";

    EXPECT_EQ(list.SetRegistryString(nullptr, "Board File"), 13);
    EXPECT_EQ(ScratchRegistryKey::GetString(moduleKey, "Board File"), std::nullopt);
    EXPECT_EQ(list.SetRegistryBinary("Region", nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ScratchRegistryKey::KeyExists(HKEY_CURRENT_USER, moduleKey));

    // A list that was never given its names has no module key: nothing lands in the user's root key.
    TestList unnamed;
    unnamed.SetNames(nullptr, nullptr);
    EXPECT_EQ(unnamed.RegistryPath(), nullptr);
    EXPECT_EQ(unnamed.SetRegistryDword(1, "OrvaneUnnamedListProbe"), ERROR_BADKEY);
    EXPECT_EQ(ScratchRegistryKey::GetDword("", "OrvaneUnnamedListProbe"), std::nullopt);
}

}  // namespace
