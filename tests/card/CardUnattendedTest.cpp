// Unattended ("Unattended" = 1 under the module key): every window the card would open is replaced,
// the profile dialog and the no-signal box by failures that say why, the white-balance question by
// its answer "keep". A watcher fails the test if any window of the process shows up meanwhile.
#include "tests/card/CardFixture.h"

#include "platform/MessageException.h"
#include "tests/support/WindowWatcher.h"

namespace orvane::test {
namespace {

constexpr char kNoSignal[] = "Something is wrong with the video signal, or no video is connected.";

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

TEST_F(CardUnattended, BrowsingForAnotherFileFailsAndKeepsTheFileInForce)
{
    const std::string path = RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    try {
        card->LoadConfigFile(nullptr);
        ADD_FAILURE() << "browsing did not fail";
    } catch (const ComposedMessage& message) {
        EXPECT_STREQ(message.Text(), "Orvane - Unattended: no dialog is shown to choose a board file");
    }
    EXPECT_EQ(card->GetConfigurationFilePath(), path);
}

TEST_F(CardUnattended, NoSignalFailsTheStartWithTheBoxTextAndNoBox)
{
    RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    card->AllocateBuffers(2);
    ASSERT_EQ(SimBoard_SetSignal(0), 0);
    try {
        card->EnableGrab();
        ADD_FAILURE() << "the start did not fail";
    } catch (MessageException message) {
        EXPECT_STREQ(message, kNoSignal);
    }
    EXPECT_TRUE(listener_.Contains("NO VIDEO SIGNAL"));
    card->DisableGrab();
}

TEST_F(CardUnattended, TheWhiteBalanceKeepsItsResultAndSaysSo)
{
    RememberSample(kDefaultProfile);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    card->AutoWhiteBalance();
    EXPECT_TRUE(listener_.Contains("Auto White Balance - unattended: the changes are kept")) << listener_.Dump();
    EXPECT_EQ(SimBoard_GetCounter("calls.eHD_SetWhiteBalance"), 1) << "applied, never restored";
    EXPECT_EQ(profiles_.back().Read("O-RGB Calibration OH72391", "RED_GAIN_CALIB"),
              std::to_string(card->CurrentMode().colourCalibration[0]));
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
