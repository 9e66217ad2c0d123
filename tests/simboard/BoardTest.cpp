// Discovery, opening, board information, the model table and the named parameters, driven in the
// order the module's InitBoard and the adjustments call them.
#include <cstring>
#include <string>

#include "tests/simboard/SimBoardFixture.h"

namespace {

using namespace simtest;

class SimBoardBoards : public SimBoardTest {};

TEST_F(SimBoardBoards, DefaultsGiveOneOrvaneBoardWithSerialAndNonZeroIndex)
{
    EXPECT_EQ(eHD_GetBoardCount(0, 15), 1);

    BoardList list;
    std::memset(&list, 0xCC, sizeof list);
    ASSERT_EQ(eHD_GetBoardList(0, 380, &list), OHD_OK);
    EXPECT_EQ(list.size, 380u);
    EXPECT_EQ(list.count, 1u);
    const BoardListEntry& first = list.entries[0];
    EXPECT_NE(first.boardIndex, 0);
    EXPECT_EQ(first.boardIndex, kBoard);
    ASSERT_NE(std::memchr(first.serial, '\0', sizeof first.serial), nullptr);
    EXPECT_STREQ(first.serial, "OH72391");
    const BYTE* raw = reinterpret_cast<const BYTE*>(&list);
    EXPECT_EQ(std::memcmp(raw + 20 + 8, "OH72391", 8), 0) << "serial text at record bytes 8..15";
    int16_t index = 0;
    std::memcpy(&index, raw + 20 + 16, 2);
    EXPECT_EQ(index, 1) << "board index at record bytes 16..17";
    EXPECT_EQ(list.entries[1].boardIndex, 0) << "unused records are zeroed";

    char name[32];
    std::memset(name, 'x', sizeof name);
    BoardNameRequest request{static_cast<DWORD>(first.boardId), name};
    ASSERT_EQ(eHD_GetBoardName(&request), OHD_OK);
    EXPECT_NE(std::strstr(name, "Orvane"), nullptr) << name;
}

TEST_F(SimBoardBoards, ConfigurableBoardSetIsListedInOrderAndCountIsBounded)
{
    const SimBoardDescription boards[3] = {{"Orvane HD Grabber A", "OHA0001", 3, 5},
                                           {"Frame Grabber X", "FGX0002", 7, 23},
                                           {"Orvane HD Grabber B", "OHB0003", 9, 4}};
    ASSERT_EQ(SimBoard_SetBoards(boards, 3), 0);
    EXPECT_EQ(eHD_GetBoardCount(0, 15), 3);
    EXPECT_EQ(eHD_GetBoardCount(0, 2), 2);
    BoardList list{};
    ASSERT_EQ(eHD_GetBoardList(0, sizeof list, &list), OHD_OK);
    ASSERT_EQ(list.count, 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list.entries[i].boardIndex, boards[i].boardIndex);
        EXPECT_STREQ(list.entries[i].serial, boards[i].serial);
        char name[32] = {};
        BoardNameRequest request{static_cast<DWORD>(list.entries[i].boardId), name};
        ASSERT_EQ(eHD_GetBoardName(&request), OHD_OK);
        EXPECT_STREQ(name, boards[i].name);
    }
    OpenRecord record{};
    EXPECT_EQ(eHD_OpenBoard(7, &record), OHD_OK);
    EXPECT_EQ(record.boardType, 23);
    EXPECT_EQ(eHD_OpenBoard(1, &record), OHD_ERR_UNKNOWN_BOARD) << "the default board is gone";
}

TEST_F(SimBoardBoards, NoBoardsGivesCountZeroAndAnEmptyList)
{
    ASSERT_EQ(SimBoard_SetBoards(nullptr, 0), 0);
    EXPECT_EQ(eHD_GetBoardCount(0, 15), 0);
    BoardList list{};
    ASSERT_EQ(eHD_GetBoardList(0, 380, &list), OHD_OK);
    EXPECT_EQ(list.count, 0u);
    char name[32] = {};
    BoardNameRequest request{0x0101, name};
    EXPECT_EQ(eHD_GetBoardName(&request), OHD_ERR_UNKNOWN_BOARD_ID);
}

TEST_F(SimBoardBoards, InvalidBoardSetsAreRefused)
{
    SimBoardDescription twice[2] = {{"Orvane A", "S1", 2, 5}, {"Orvane B", "S2", 2, 5}};
    EXPECT_NE(SimBoard_SetBoards(twice, 2), 0) << "duplicate board index";
    SimBoardDescription zero = {"Orvane", "S", 0, 5};
    EXPECT_NE(SimBoard_SetBoards(&zero, 1), 0) << "board index 0";
    EXPECT_NE(SimBoard_SetBoards(nullptr, 1), 0);
    EXPECT_NE(SimBoard_SetBoards(&zero, 16), 0);
    EXPECT_EQ(eHD_GetBoardCount(0, 15), 1) << "defaults kept";
}

TEST_F(SimBoardBoards, OpenCloseAndReopen)
{
    EXPECT_EQ(Counter("hardResets"), 0);
    DWORD word = 0;
    EXPECT_EQ(eHD_SetParameter(kBoard, "HardReset", 4, &word), OHD_OK) << "HardReset comes before eHD_OpenBoard";
    EXPECT_EQ(Counter("hardResets"), 1);

    OpenRecord record{};
    ASSERT_EQ(eHD_OpenBoard(kBoard, &record), OHD_OK);
    EXPECT_EQ(record.boardIndex, kBoard);
    EXPECT_EQ(record.boardType, 5);
    EXPECT_STREQ(record.serial, "OH72391");
    EXPECT_EQ(record.openCount, 1u);
    EXPECT_EQ(Counter("boardsOpen"), 1);
    EXPECT_EQ(eHD_OpenBoard(kBoard, &record), OHD_ERR_BOARD_ALREADY_OPEN);

    eHD_CloseBoard(kBoard);
    EXPECT_EQ(Counter("boardsOpen"), 0);
    eHD_CloseBoard(kBoard);  // closing a closed board does nothing
    ASSERT_EQ(eHD_OpenBoard(kBoard, &record), OHD_OK);
    EXPECT_EQ(record.openCount, 2u);
}

TEST_F(SimBoardBoards, OpenRefusesUnknownIndexAndNullRecord)
{
    OpenRecord record{};
    EXPECT_EQ(eHD_OpenBoard(0, &record), OHD_ERR_UNKNOWN_BOARD);
    EXPECT_EQ(eHD_OpenBoard(99, &record), OHD_ERR_UNKNOWN_BOARD);
    EXPECT_EQ(eHD_OpenBoard(kBoard, nullptr), OHD_ERR_NULL_POINTER);
    eHD_CloseBoard(0);
    eHD_CloseBoard(99);
}

TEST_F(SimBoardBoards, CallsOnABoardThatIsNotOpenAreRefused)
{
    ModeRecord record{};
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, ProfilePath("orvane-640x480-60-vga.chp").c_str(), &record, 0), OHD_ERR_BOARD_NOT_OPEN);
    ParameterBlock block{0, &record};
    EXPECT_EQ(eHD_GetParameter(kBoard, "Brightness", sizeof block, &block), OHD_ERR_BOARD_NOT_OPEN);
    EXPECT_EQ(eHD_SetParameter(kBoard, "Contrast", sizeof block, &block), OHD_ERR_BOARD_NOT_OPEN);
    int16_t type = 3;
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, OHD_INFO_BOARD_TYPE, 2, &type), OHD_ERR_BOARD_NOT_OPEN);
    EXPECT_EQ(type, 3);
    EXPECT_EQ(eHD_ReleaseMode(kBoard), OHD_ERR_BOARD_NOT_OPEN);
    record.signature = kOhdModeSignature;
    EXPECT_EQ(eHD_CreateMode(kBoard, 0, &record), 0u);
}

TEST_F(SimBoardBoards, BoardInfoItemFourIsTheBoardType)
{
    const SimBoardDescription board = {"Orvane HD", "OH00017", 4, 17};
    ASSERT_EQ(SimBoard_SetBoards(&board, 1), 0);
    OpenRecord record{};
    ASSERT_EQ(eHD_OpenBoard(4, &record), OHD_OK);
    int16_t type = 3;  // the module presets 3
    ASSERT_EQ(eHD_GetBoardInfo(4, OHD_INFO_BOARD_TYPE, 2, &type), OHD_OK);
    EXPECT_EQ(type, 17);
    char serial[16] = {};
    EXPECT_EQ(eHD_GetBoardInfo(4, OHD_INFO_SERIAL, sizeof serial, serial), OHD_OK);
    EXPECT_STREQ(serial, "OH00017");
    DWORD value = 0;
    EXPECT_EQ(eHD_GetBoardInfo(4, OHD_INFO_FIRMWARE, 4, &value), OHD_OK);
    EXPECT_NE(value, 0u);
    EXPECT_EQ(eHD_GetBoardInfo(4, OHD_INFO_MEMORY_MB, 4, &value), OHD_OK);
    EXPECT_EQ(value, 256u);
}

TEST_F(SimBoardBoards, BoardInfoRefusesBadItemsAndSizes)
{
    OpenBoard();
    BYTE buffer[8192] = {};
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, 99, 2, buffer), OHD_ERR_UNKNOWN_INFO_ITEM);
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, 0, 2, buffer), OHD_ERR_UNKNOWN_INFO_ITEM);
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, OHD_INFO_BOARD_TYPE, 0, buffer), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, OHD_INFO_BOARD_TYPE, 1, buffer), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, OHD_INFO_BOARD_TYPE, sizeof buffer, buffer), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, OHD_INFO_FIRMWARE, 2, buffer), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, OHD_INFO_BOARD_TYPE, 2, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetBoardInfo(77, OHD_INFO_BOARD_TYPE, 2, buffer), OHD_ERR_UNKNOWN_BOARD);
}

TEST_F(SimBoardBoards, ModelTableHasFifteenEntriesWithLimitsAtTheStatedOffsets)
{
    const auto* table = static_cast<const BYTE*>(eHD_GetModelTable());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(eHD_GetModelTable(), table) << "the library owns one table";
    for (int model = 0; model <= 14; ++model) {
        const BYTE* entry = table + 8 + model * 236;
        int32_t gainMin, gainMax, blackMin, blackMax;
        std::memcpy(&gainMin, entry + 204, 4);
        std::memcpy(&gainMax, entry + 208, 4);
        std::memcpy(&blackMin, entry + 212, 4);
        std::memcpy(&blackMax, entry + 216, 4);
        EXPECT_GT(gainMin, 0) << model;
        EXPECT_LT(gainMin, gainMax) << model;
        EXPECT_LE(gainMin, 10000) << "unity gain allowed, model " << model;
        EXPECT_GE(gainMax, 12346) << "a gain of 1.23456 fits, model " << model;
        EXPECT_LE(blackMin, 5699) << model;
        EXPECT_GE(blackMax, 5700) << "a black level of 0.57 fits, model " << model;
    }
    const auto* typed = static_cast<const ModelTable*>(eHD_GetModelTable());
    EXPECT_EQ(typed->entryCount, 15u);
    EXPECT_EQ(typed->entrySize, 236u);
}

TEST_F(SimBoardBoards, DiscoveryArgumentsAreChecked)
{
    EXPECT_LT(eHD_GetBoardCount(1, 15), 0);
    EXPECT_LT(eHD_GetBoardCount(0, 0), 0);
    EXPECT_LT(eHD_GetBoardCount(0, -3), 0);
    BoardList list{};
    EXPECT_EQ(eHD_GetBoardList(0, 380, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetBoardList(0, 0, &list), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_GetBoardList(0, 379, &list), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_GetBoardList(0, 100000, &list), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_GetBoardList(5, 380, &list), OHD_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(eHD_GetBoardName(nullptr), OHD_ERR_NULL_POINTER);
    BoardNameRequest request{0x0101, nullptr};
    EXPECT_EQ(eHD_GetBoardName(&request), OHD_ERR_NULL_POINTER);
}

// ---------------------------------------------------------------------------------------------
// Named parameters
// ---------------------------------------------------------------------------------------------

class SimBoardParameters : public SimBoardTest {};

TEST_F(SimBoardParameters, ByteParametersRoundTripThroughTheParameterBlock)
{
    ModeRecord record{};
    OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    for (const char* name : {"Brightness", "Contrast", "Hue", "Saturation"}) {
        ParameterBlock block{0, &record};
        ASSERT_EQ(eHD_GetParameter(kBoard, name, sizeof block, &block), OHD_OK) << name;
        EXPECT_EQ(block.value, 128u) << name << " power-on value";
        block.value = 44;  // the module sends the low byte of 300
        ASSERT_EQ(eHD_SetParameter(kBoard, name, sizeof block, &block), OHD_OK) << name;
        block.value = 0;
        ASSERT_EQ(eHD_GetParameter(kBoard, name, sizeof block, &block), OHD_OK) << name;
        EXPECT_EQ(block.value, 44u) << name;
        EXPECT_EQ(block.mode, &record) << "the pointer half of the block is left alone";
        block.value = 300;
        EXPECT_EQ(eHD_SetParameter(kBoard, name, sizeof block, &block), OHD_ERR_PARAMETER_OUT_OF_RANGE) << name;
    }
    DWORD value = 200;
    EXPECT_EQ(eHD_SetParameter(kBoard, "Hue", 4, &value), OHD_OK) << "value-only block of 4 bytes";
    value = 0;
    EXPECT_EQ(eHD_GetParameter(kBoard, "Hue", 4, &value), OHD_OK);
    EXPECT_EQ(value, 200u);
}

TEST_F(SimBoardParameters, ActiveModeReportsLockAndTakesZeroOrOne)
{
    OpenBoard();
    ParameterBlock block{0xFFFFFFFF, nullptr};
    EXPECT_EQ(eHD_SetParameter(kBoard, "ActiveMode", sizeof block, &block), OHD_ERR_PARAMETER_OUT_OF_RANGE);
    block.value = 1;
    EXPECT_EQ(eHD_SetParameter(kBoard, "ActiveMode", sizeof block, &block), OHD_ERR_NO_MODE);

    ModeRecord record{};
    Configure(ProfilePath("orvane-640x480-60-vga.chp"), record);
    block = ParameterBlock{0xFFFFFFFF, &record};  // as ConfigureBoard presets it
    ASSERT_EQ(eHD_GetParameter(kBoard, "ActiveMode", sizeof block, &block), OHD_OK);
    EXPECT_EQ(block.value, 0x10u) << "locked, not yet active";
    block.value = (block.value & 0x10) ? 1 : 0;
    ASSERT_EQ(eHD_SetParameter(kBoard, "ActiveMode", sizeof block, &block), OHD_OK);
    ASSERT_EQ(eHD_GetParameter(kBoard, "ActiveMode", sizeof block, &block), OHD_OK);
    EXPECT_EQ(block.value, 0x11u);

    SimBoard_SetSignal(0);
    ASSERT_EQ(eHD_GetParameter(kBoard, "ActiveMode", sizeof block, &block), OHD_OK);
    EXPECT_EQ(block.value & 0x10, 0u) << "no lock without a signal";
}

TEST_F(SimBoardParameters, HardResetRestoresPowerOnValuesAndIsWriteOnly)
{
    OpenBoard();
    DWORD value = 7;
    ASSERT_EQ(eHD_SetParameter(kBoard, "Saturation", 4, &value), OHD_OK);
    ASSERT_EQ(eHD_SetParameter(kBoard, "HardReset", 4, &value), OHD_OK);
    ASSERT_EQ(eHD_GetParameter(kBoard, "Saturation", 4, &value), OHD_OK);
    EXPECT_EQ(value, 128u);
    EXPECT_EQ(eHD_GetParameter(kBoard, "HardReset", 4, &value), OHD_ERR_PARAMETER_WRITE_ONLY);
}

TEST_F(SimBoardParameters, BadNamesSizesAndPointersGetDefinedStatuses)
{
    OpenBoard();
    ParameterBlock block{1, nullptr};
    EXPECT_EQ(eHD_SetParameter(kBoard, "Sharpness", sizeof block, &block), OHD_ERR_UNKNOWN_PARAMETER);
    EXPECT_EQ(eHD_GetParameter(kBoard, "brightness", sizeof block, &block), OHD_ERR_UNKNOWN_PARAMETER) << "names are exact";
    EXPECT_EQ(eHD_GetParameter(kBoard, "", sizeof block, &block), OHD_ERR_UNKNOWN_PARAMETER);
    EXPECT_EQ(eHD_GetParameter(kBoard, nullptr, sizeof block, &block), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetParameter(kBoard, "Brightness", sizeof block, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_SetParameter(kBoard, "Brightness", sizeof block, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetParameter(kBoard, "Brightness", 0, &block), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_GetParameter(kBoard, "Brightness", 3, &block), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_SetParameter(kBoard, "Brightness", sizeof block + 1, &block), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_SetParameter(kBoard, "Brightness", 0xFFFFFFFF, &block), OHD_ERR_INVALID_SIZE);
    EXPECT_EQ(eHD_SetParameter(55, "Brightness", sizeof block, &block), OHD_ERR_UNKNOWN_BOARD);
}

}  // namespace
