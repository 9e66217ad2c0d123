// The grabber object as a host sees the board choice and the unattended mode: each failure arrives
// as DISP_E_EXCEPTION with the card's text in the error object, and in unattended mode no window
// of the process appears while the host goes through every call that would open one.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "simboard/SimBoardControl.h"
#include "tests/module/GrabberFixture.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/ScratchRegistryKey.h"
#include "tests/support/WindowWatcher.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

constexpr HRESULT kGuardedError = static_cast<HRESULT>(0x80020009);  // DISP_E_EXCEPTION

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

class GrabberBoards : public GrabberCardTest {
protected:
    std::string ModuleKey() const { return registry_.Path() + "Orvane"; }
};

TEST_F(GrabberBoards, UnattendedEveryWindowBecomesAFailureOrTheDocumentedAnswer)
{
    WindowWatcher watcher;
    DebugOutputListener listener;
    ASSERT_TRUE(ScratchRegistryKey::SetDword(ModuleKey(), "Unattended", 1));

    // The profile dialog.
    const HostCall noFile = Initialize();
    EXPECT_EQ(noFile.result, kGuardedError);
    EXPECT_EQ(noFile.error.description,
              Wide("Orvane - Unattended: no board file remembered (HKCU\\" + ModuleKey() + ", \"Board File\")"));

    UseProfile("orvane-1920x1080-60-dvi.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    auto file = As<ICorvathConfigurationFileProp>(IID_ICorvathConfigurationFileProp);
    const HostCall browse = Answered(file->BrowseConfigurationFile());
    EXPECT_EQ(browse.result, kGuardedError);
    EXPECT_EQ(browse.error.description, L"Orvane - Unattended: no dialog is shown to choose a board file");

    // The no-signal box.
    ASSERT_EQ(grabber_->AllocateBuffers(2), S_OK);
    ASSERT_EQ(SimBoard_SetSignal(0), 0);
    const HostCall start = Answered(grabber_->EnableGrab());
    EXPECT_EQ(start.result, kGuardedError);
    EXPECT_EQ(start.error.description, L"Something is wrong with the video signal, or no video is connected.");
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
    ASSERT_EQ(SimBoard_SetSignal(1), 0);

    // The white-balance question: answered "keep", the calibration written.
    auto button = As<ICorvathGenericButtonClickProp>(IID_ICorvathGenericButtonClickProp);
    EXPECT_EQ(button->ButtonClicked(0), S_OK);
    char value[32] = {};
    GetPrivateProfileStringA("O-RGB Calibration OH72391", "RED_GAIN_CALIB", "<missing>", value, sizeof value,
                             profile_.c_str());
    EXPECT_STRNE(value, "<missing>");
    EXPECT_TRUE(listener.Contains("Auto White Balance - unattended: the changes are kept")) << listener.Dump();

    // And the property frame the host may ask for.
    const HostCall pages = Answered(grabber_->ShowPropertyPages(nullptr, 0));
    EXPECT_EQ(pages.result, kGuardedError);
    EXPECT_EQ(pages.error.description, L"Orvane - Unattended: the property pages are not shown");

    const auto windows = watcher.Stop();
    EXPECT_TRUE(windows.empty()) << "a window opened: " << windows.front();
}

TEST_F(GrabberBoards, AChoiceNoBoardMatchesReachesTheHostAndTheRightChoiceThenOpens)
{
    const SimBoardDescription boards[] = {{"Orvane HD Grabber", "OH72391", 1, 5}, {"Orvane HD Grabber", "OH72392", 2, 5}};
    ASSERT_EQ(SimBoard_SetBoards(boards, 2), 0);
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_TRUE(ScratchRegistryKey::SetString(ModuleKey(), "Board Serial", "OH7239"));
    const HostCall unknown = Initialize();
    EXPECT_EQ(unknown.result, kGuardedError);
    EXPECT_EQ(unknown.error.description, L"Orvane - Board Serial \"OH7239\" not found; boards present: OH72391, OH72392");
    EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 0);

    ASSERT_TRUE(ScratchRegistryKey::SetString(ModuleKey(), "Board Serial", "OH72392"));
    ASSERT_EQ(Initialize().result, S_OK);
    EXPECT_EQ(SimBoard_GetBoardCounter(2, "boardsOpen"), 1);
    EXPECT_EQ(SimBoard_GetBoardCounter(1, "boardsOpen"), 0);
}

}  // namespace
