// The card's adjustments on the simulated board: which are offered for which cable and with which
// bounds, what a value becomes in the mode record, on the board and in the profile, and what a
// refused value leaves behind.
#include "tests/card/CardFixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

namespace orvane::test {
namespace {

using CardAdjustments = CardTest;

CAdjustmentSupport& Registry(COrvaneCard& card)
{
    return card;
}

// Wine's profile writer drops the blank the card writes before each number.
std::string Trimmed(std::string text)
{
    return text.erase(0, text.find_first_not_of(' '));
}

TEST_F(CardAdjustments, TheCableDecidesWhichAreOfferedAndTheModelTableTheirBounds)
{
    const struct {
        const char* sample;
        std::vector<LONG> ids;
    } cases[] = {
        {"orvane-640x480-60-vga.chp", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"orvane-1920x1080-60-dvi.chp", {3, 4, 5, 6, 7, 8, 9}},
        {"orvane-1280x1024-60-bnc.chp", {3, 4, 5, 6, 7, 8, 9}},
    };
    for (const auto& c : cases) {
        RememberSample(c.sample);
        auto card = OpenCard();
        ASSERT_NE(card, nullptr);
        std::vector<LONG> ids;
        for (const AdjustmentDescriptor& entry : card->Descriptors()) {
            ids.push_back(entry.id);
            EXPECT_EQ((std::array<LONG, 4>{entry.option1, entry.option2, entry.option3, entry.option4}),
                      (std::array<LONG, 4>{0, 1, 0, 0}));
        }
        EXPECT_EQ(ids, c.ids) << c.sample;
        if (ids.size() == 7) {
            double gain = -1.0;
            Registry(*card).GetDoubleValue(1, &gain);
            EXPECT_EQ(gain, 0.0) << "no gain without the VGA cable";
            continue;
        }
        // The default board is of type 5, model entry 4: gain 0.5 .. 2.4, black level 0.0 .. 1.2.
        const auto& d = card->Descriptors();
        EXPECT_STREQ(d[0].name.Get(), L"Black Level");
        EXPECT_EQ(d[0].doubleMax, static_cast<double>(1.2f));
        EXPECT_EQ(d[1].doubleMin, static_cast<double>(0.5f));
        EXPECT_EQ(d[1].doubleMax, static_cast<double>(2.4f));
        for (size_t i = 6; i < 10; ++i) {
            EXPECT_EQ(d[i].longMin, 0) << i;
            EXPECT_EQ(d[i].longMax, 255) << "the board takes one byte";
        }
    }
}

TEST_F(CardAdjustments, BoardTypesSelectTheirModelEntryAndUnlistedOnesTheLast)
{
    RememberSample("orvane-640x480-60-vga.chp");
    const struct {
        short type;
        int model;
    } rows[] = {{3, 14}, {99, 14}, {4, 2}, {8, 4}, {9, 5}, {16, 8}, {20, 7}, {24, 12}};
    for (const auto& row : rows) {
        SimBoardDescription board{"Orvane HD Grabber", "OH72391", 1, row.type};
        ASSERT_EQ(SimBoard_SetBoards(&board, 1), 0);
        auto card = OpenCard();
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->GetModelIndex(), row.model) << row.type;
        // Entry i of the simulated table: gain up to 2.0 + 0.1 i.
        EXPECT_EQ(card->Descriptors()[1].doubleMax, static_cast<double>(static_cast<float>(2.0 + 0.1 * row.model)))
            << row.type;
    }
}

TEST_F(CardAdjustments, ModeValuesAreTruncatedIntoTheRecordAndWrittenRoundedOnceApplied)
{
    RememberSample("orvane-640x480-60-vga.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    const struct {
        LONG id;
        double value;
        int32_t ModeRecord::*field;
        int32_t stored;
        const char* key;
        const char* written;
    } rows[] = {
        {1, 1.23456, &ModeRecord::gain, 12345, "Gain", "1.2346"},
        {2, 12.34, &ModeRecord::phaseTenths, 123, "Phase Delay", "12.3"},
        {0, 0.57, &ModeRecord::blackLevel, 5699, "Black Level", "0.5700"},
        {4, 36.5, &ModeRecord::verticalBackPorchTenths, 365, "Vertical Back Porch", "36.5"},
        {3, 150, &ModeRecord::horizontalBackSync, 150, "Horizontal Back Sync", "150"},
        {5, 31500, &ModeRecord::horizontalFrequency, 31500, "Horizontal Frequency", "31500"},
    };
    CAdjustmentSupport& registry = Registry(*card);
    for (const auto& row : rows) {
        const bool isLong = row.id == 3 || row.id == 5;
        if (isLong) {
            registry.SetLongValue(row.id, static_cast<LONG>(row.value));
        } else {
            registry.SetDoubleValue(row.id, row.value);
        }
        EXPECT_EQ(card->CurrentMode().*row.field, row.stored) << row.key;
        EXPECT_EQ(Trimmed(profiles_.back().Read("ORVANEHD", row.key)), row.written);
        // Read back from the board: the stored value in the adjustment's unit.
        double d = 0.0;
        LONG l = 0;
        registry.GetDoubleValue(row.id, &d);
        registry.GetLongValue(row.id, &l);
        EXPECT_EQ(isLong ? l : d, isLong ? row.stored : row.stored / (row.id == 2 || row.id == 4 ? 10.0 : 10000.0))
            << row.key;
    }
}

TEST_F(CardAdjustments, ARefusedValueIsLoggedAndLeavesTheFileAlone)
{
    RememberSample("orvane-640x480-60-vga.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    const std::string before = profiles_.back().Read("ORVANEHD", "Gain");

    ASSERT_EQ(SimBoard_FailNext("eHD_SetMode", OHD_ERR_MODE_OUT_OF_RANGE, 1), 0);
    listener_.Clear();
    card->SetGainValue(1.5);
    const auto lines = listener_.Lines();
    const auto at = std::find(lines.begin(), lines.end(),
                              "Orvane - error at line #882: A mode value is outside the board's limits or does not "
                              "fit the timing");
    ASSERT_NE(at, lines.end()) << listener_.Dump();
    ASSERT_NE(at + 1, lines.end());
    EXPECT_EQ(*(at + 1), "SetGainValue() - Error");
    EXPECT_EQ(profiles_.back().Read("ORVANEHD", "Gain"), before);

    // Values no record field can hold, or whose text would outgrow its 11 characters (2e8 fits the
    // field once scaled), never reach the board.
    const long long calls = SimBoard_GetCounter("calls.eHD_SetMode");
    for (double value :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300, 2e8}) {
        listener_.Clear();
        card->SetPhaseValue(value);
        EXPECT_TRUE(listener_.Contains("SetPhaseValue() - Error")) << value;
    }
    EXPECT_EQ(SimBoard_GetCounter("calls.eHD_SetMode"), calls);
    EXPECT_EQ(Trimmed(profiles_.back().Read("ORVANEHD", "Phase Delay")), "16.0");
}

TEST_F(CardAdjustments, ParametersReachTheBoardAsTheirLowByteAndAreNotWritten)
{
    const std::string file = RememberSample("orvane-1920x1080-60-dvi.chp");
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    const struct {
        void (COrvaneCard::*set)(long);
        long (COrvaneCard::*get)();
        long value;
        long onBoard;
    } rows[] = {
        {&COrvaneCard::SetBrightnessValue, &COrvaneCard::GetBrightnessValue, 300, 44},
        {&COrvaneCard::SetContrastValue, &COrvaneCard::GetContrastValue, 200, 200},
        {&COrvaneCard::SetHueValue, &COrvaneCard::GetHueValue, -1, 255},
        {&COrvaneCard::SetSaturationValue, &COrvaneCard::GetSaturationValue, 0, 0},
    };
    for (const auto& row : rows) {
        ((*card).*row.set)(row.value);
        EXPECT_EQ(((*card).*row.get)(), row.onBoard) << row.value;
    }
    EXPECT_EQ(profiles_.back().Read("ORVANEHD", "Brightness"), "<missing>");

    ASSERT_EQ(SimBoard_FailNext("eHD_GetParameter", OHD_ERR_BOARD_NOT_OPEN, 1), 0);
    listener_.Clear();
    EXPECT_EQ(card->GetBrightnessValue(), 0);
    EXPECT_TRUE(listener_.Contains("Orvane - error at line #933: The board is not open")) << listener_.Dump();
}

// The board takes a change the profile can no longer store (its folder gone since it was loaded):
// the call still succeeds, and one line says which value did not reach which file.
TEST_F(CardAdjustments, AChangeTheProfileCannotStoreIsLogged)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "orvane-gone-" + std::to_string(GetCurrentProcessId());
    const std::string file = folder + "\\profile.chp";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(profiles_.emplace_back(ScratchProfile::FromSample("orvane-640x480-60-vga.chp")).Path().c_str(),
                          file.c_str(), FALSE));
    RememberBoardFile(file);
    auto card = OpenCard();
    ASSERT_NE(card, nullptr);
    ASSERT_TRUE(DeleteFileA(file.c_str()));
    ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));
    listener_.Clear();
    card->SetHorizontalPositionValue(140);
    EXPECT_EQ(card->GetHorizontalPositionValue(), 140) << "the board has it";
    const auto lines = listener_.Lines();
    const std::string expected = "Orvane - profile not written: [ORVANEHD] \"Horizontal Back Sync\" in " + file + " (error ";
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(expected, 0) == 0; }), 1)
        << listener_.Dump();
}

}  // namespace
}  // namespace orvane::test
