// Choosing the board by its serial number ("Board Serial" under the module key): only the chosen
// board is reset, opened and closed; a serial number no board has fails before anything is
// opened; an 8-character serial number is the same text in the log, the choice and the
// calibration section.
#include "tests/card/CardFixture.h"

#include <functional>

namespace orvane::test {
namespace {

SimBoardDescription Board(const char* serial, WORD index)
{
    return SimulatedBoard("Orvane HD Grabber", serial, index);
}

class CardBoardChoice : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        const SimBoardDescription boards[] = {Board("OH72391", 1), Board("OH72392", 2), Board("OH72393", 3)};
        ASSERT_EQ(SimBoard_SetBoards(boards, 3), 0);
        RememberSample(kDefaultProfile);
    }

    void ChooseBoard(const std::string& serial)
    {
        ASSERT_TRUE(ScratchRegistryKey::SetString(ModuleKey(), "Board Serial", serial));
    }
};

TEST_F(CardBoardChoice, OnlyTheChosenBoardIsResetOpenedAndClosed)
{
    const struct {
        const char* serial;  // null: no "Board Serial" value
        WORD opened;
    } table[] = {{nullptr, 1}, {"", 1}, {"OH72392", 2}, {"OH72393", 3}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.serial != nullptr ? row.serial : "(none)");
        if (row.serial != nullptr) {
            ChooseBoard(row.serial);
        }
        ASSERT_EQ(SimBoard_ResetCounters(), 0);
        auto card = OpenCard();
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->BoardIndex(), row.opened);
        EXPECT_EQ(card->SerialNumber(), "OH7239" + std::to_string(row.opened));
        for (WORD board = 1; board <= 3; ++board) {
            const long long chosen = board == row.opened ? 1 : 0;
            EXPECT_EQ(SimBoard_GetBoardCounter(board, "hardResets"), chosen) << board;
            EXPECT_EQ(SimBoard_GetBoardCounter(board, "calls.eHD_OpenBoard"), chosen) << board;
            EXPECT_EQ(SimBoard_GetBoardCounter(board, "boardsOpen"), chosen) << board;
        }
        card.reset();
        for (WORD board = 1; board <= 3; ++board) {
            EXPECT_EQ(SimBoard_GetBoardCounter(board, "calls.eHD_CloseBoard"), board == row.opened ? 1 : 0) << board;
        }
        EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 0);
    }
}

TEST_F(CardBoardChoice, AChoiceNoBoardMatchesFailsBeforeAnyBoardIsResetOrOpened)
{
    const std::string present = "; boards present: OH72391, OH72392, OH72393";
    const struct {
        const char* what;
        std::function<void()> choose;
        std::string message;
    } table[] = {
        {"unknown", [&] { ChooseBoard("OH99999"); }, "Orvane - Board Serial \"OH99999\" not found" + present},
        // A longer text is not cut to the field's eight bytes: it matches no board.
        {"too long", [&] { ChooseBoard("OH723921X"); }, "Orvane - Board Serial \"OH723921X\" not found" + present},
        {"not a text",
         [&] { ASSERT_TRUE(ScratchRegistryKey::SetDword(ModuleKey(), "Board Serial", 72392)); },
         "Orvane - \"Board Serial\" under HKCU\\" + ModuleKey() + " is not a text value"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        row.choose();
        ASSERT_EQ(SimBoard_ResetCounters(), 0);
        listener_.Clear();
        EXPECT_EQ(OpenCardExpectingFailure(), row.message);
        EXPECT_EQ(listener_.Count(row.message), 1) << listener_.Dump();
        EXPECT_EQ(SimBoard_GetCounter("hardResets"), 0);
        EXPECT_EQ(SimBoard_GetCounter("calls.eHD_OpenBoard"), 0);
        EXPECT_EQ(SimBoard_GetCounter("boardsOpen"), 0);
    }
    // With no board at all the message says so.
    ASSERT_EQ(SimBoard_SetBoards(nullptr, 0), 0);
    ChooseBoard("OH72392");
    EXPECT_EQ(OpenCardExpectingFailure(), "Orvane - Board Serial \"OH72392\" not found; boards present: none");
}

TEST_F(CardBoardChoice, AnEightCharacterSerialNumberReadsTheSameInTheLogTheChoiceAndTheCalibration)
{
    const SimBoardDescription boards[] = {Board("OH723910", 1), Board("ABCDEFGH", 2)};
    ASSERT_EQ(SimBoard_SetBoards(boards, 2), 0);
    ChooseBoard("ABCDEFGH");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->BoardIndex(), 2);
    EXPECT_STREQ(card->SerialNumber(), "ABCDEFGH");
    EXPECT_TRUE(listener_.Contains("Board Name : Orvane HD Grabber\nSerial number : ABCDEFGH")) << listener_.Dump();

    DialogAnswerer answerer({DialogAnswer::Press("Orvane", IDYES)});
    card->AutoWhiteBalance();
    ASSERT_TRUE(answerer.Finish());
    EXPECT_EQ(profiles_.back().Read("O-RGB Calibration ABCDEFGH", "RED_GAIN_CALIB"),
              std::to_string(card->CurrentMode().colourCalibration[0]));
    EXPECT_EQ(profiles_.back().Read("O-RGB Calibration ABCDEFG", "RED_GAIN_CALIB"), "<missing>");
}

}  // namespace
}  // namespace orvane::test
