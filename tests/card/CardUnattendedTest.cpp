// Unattended ("Unattended" = 1 under the module key) at the card: the profile dialog replaced by a
// failure that says why, while a watcher fails the test if any window of the process shows up.
// The host's view of every replaced window is in the module's tests (GrabberBoardsTest).
#include "tests/card/CardFixture.h"

#include "platform/MessageException.h"
#include "tests/support/WindowWatcher.h"

namespace orvane::test {
namespace {

std::string BoardText(WORD status)
{
    char text[256] = {};
    eHD_GetErrorText(status, 255, text);
    return text;
}

class CardUnattended : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        ASSERT_TRUE(ScratchRegistryKey::SetDword(ModuleKey(), "Unattended", 1));
    }
    void TearDown() override
    {
        const auto windows = watcher_.Stop();
        EXPECT_TRUE(windows.empty()) << "a window opened: " << windows.front();
        CardTest::TearDown();
    }

    std::string BoardFileValue() const { return "HKCU\\" + ModuleKey() + ", \"Board File\""; }

    WindowWatcher watcher_;
};

TEST_F(CardUnattended, WithoutAUsableBoardFileTheOpenFailsWithTheReasonInsteadOfTheDialog)
{
    EXPECT_EQ(OpenCardExpectingFailure(), "Orvane - Unattended: no board file remembered (" + BoardFileValue() + ")");
    EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 0);

    const std::string missing = "C:\\no\\such\\profile.chp";
    RememberBoardFile(missing);
    const std::string message = OpenCardExpectingFailure();
    EXPECT_EQ(message, "Orvane - Unattended: the board file \"" + missing + "\" (" + BoardFileValue() +
                           ") was refused: " + BoardText(OHD_ERR_CHP_MISSING));
    EXPECT_EQ(listener_.Count(message), 1) << listener_.Dump();
    EXPECT_FALSE(listener_.Contains("Orvane - Browsing for a compatible CHP:"));
    EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 0);
}

// The same start attended shows its box, and the watcher sees it: it is not blind to the windows
// the tests above must not open.
TEST_F(CardTest, AttendedTheNoSignalBoxIsShownAndTheWatcherSeesIt)
{
    RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    card->AllocateBuffers(2);
    ASSERT_EQ(SimBoard_SetSignal(0), 0);
    WindowWatcher watcher;
    EXPECT_THROW(card->EnableGrab(), MessageException);
    const auto windows = watcher.Stop();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0], "Orvane");
    card->DisableGrab();
}

}  // namespace
}  // namespace orvane::test
