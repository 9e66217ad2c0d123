// The shared test helpers are trusted by every other test, so each proves itself here against the
// real platform: debug output through the DBWIN protocol, real modal windows, the real registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <string>

#include "tests/support/BoundedWait.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/DialogAnswerer.h"
#include "tests/support/ScratchRegistryKey.h"

namespace {

using namespace orvane::test;

TEST(DebugOutputListener, CollectsExactLinesInOrderFromEveryThread)
{
    DebugOutputListener listener;
    ASSERT_TRUE(listener.Active());
    OutputDebugStringA("first line");
    BoundedThread other([] { OutputDebugStringA("from another thread"); });
    ASSERT_TRUE(other.Join(5000));
    OutputDebugStringA("Board Name : x\nSerial number : y");
    const auto lines = listener.Lines();
    ASSERT_EQ(lines.size(), 3u) << listener.Dump();
    EXPECT_EQ(lines[0], "first line");
    EXPECT_EQ(lines[1], "from another thread");
    EXPECT_EQ(lines[2], "Board Name : x\nSerial number : y");
    listener.Clear();
    EXPECT_TRUE(listener.Lines().empty());
    EXPECT_FALSE(listener.WaitFor("never written", 50));
}

TEST(DialogAnswerer, PressesTheRequestedButtonOfAMessageBoxAndReadsItsText)
{
    DialogAnswerer answerer({DialogAnswer::Press("Helper Caption", IDNO)});
    const int pressed = MessageBoxA(nullptr, "Is this answered?", "Helper Caption", MB_YESNO);
    ASSERT_TRUE(answerer.Finish());
    EXPECT_EQ(pressed, IDNO);
    const auto seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].text.find("Is this answered?"), std::string::npos) << seen[0].text;
}

TEST(DialogAnswerer, TypesAFileIntoTheOpenDialogAndThenCancelsTheNextOne)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string file = std::string(folder) + "orvane-answerer.chp";
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("[ORVANEHD]\n", f);
    std::fclose(f);

    DialogAnswerer answerer({DialogAnswer::ChooseFile("Helper Open", file), DialogAnswer::Cancel("Helper Open")});
    char chosen[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "Config Files (*.chp)\0*.chp\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = chosen;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Helper Open";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(lstrcmpiA(chosen, file.c_str()), 0) << chosen;

    chosen[0] = '\0';
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_TRUE(answerer.Finish());
    DeleteFileA(file.c_str());
}

TEST(DialogAnswerer, ReportsAWindowThatNeverOpens)
{
    DialogAnswerer answerer({DialogAnswer::Press("No Such Window", IDOK)}, 100);
    EXPECT_FALSE(answerer.Finish(5000));
    EXPECT_EQ(answerer.Answered(), 0);
}

TEST(ScratchRegistryKey, HoldsValuesAndIsRemovedWithEverythingBelowIt)
{
    std::string path;
    {
        ScratchRegistryKey key;
        path = key.Path();
        ASSERT_TRUE(ScratchRegistryKey::KeyExists(HKEY_CURRENT_USER, path));
        ASSERT_TRUE(ScratchRegistryKey::SetString(path + "Orvane", "Board File", "C:\\a.chp"));
        ASSERT_TRUE(ScratchRegistryKey::SetDword(path, "TimeSourceOffset", 42));
        EXPECT_EQ(ScratchRegistryKey::GetString(path + "Orvane", "Board File"), "C:\\a.chp");
        EXPECT_EQ(ScratchRegistryKey::GetDword(path, "TimeSourceOffset"), 42u);
        EXPECT_FALSE(ScratchRegistryKey::GetDword(path, "Missing").has_value());
    }
    EXPECT_FALSE(ScratchRegistryKey::KeyExists(HKEY_CURRENT_USER, path));
    EXPECT_FALSE(ScratchRegistryKey::KeyExists(HKEY_CURRENT_USER, path + "Orvane"));
}

TEST(BoundedWait, ABoundedWaitEndsWhetherOrNotTheObjectIsSignalled)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(WaitSignalled(event, 20));
    SetEvent(event);
    EXPECT_TRUE(WaitSignalled(event, 20));
    CloseHandle(event);

    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BoundedThread blocked([&] { WaitForSingleObject(release, 10000); });
    EXPECT_FALSE(blocked.Join(10));
    SetEvent(release);
    EXPECT_TRUE(blocked.Join(5000));
    CloseHandle(release);

    int calls = 0;
    RunBounded(5000, "a short piece of work", [&] { ++calls; });
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(WaitUntil(1000, [&] { return calls == 1; }));
    EXPECT_FALSE(WaitUntil(20, [] { return false; }));
}

}  // namespace
