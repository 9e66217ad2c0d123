// Modes (create, set, get, release) and the white balance, in the module's call order
// (the card's ConfigureBoard, the adjustment setters, the automatic white balance).
#include <cstring>
#include <string>

#include "tests/simboard/SimBoardFixture.h"

namespace {

using namespace simtest;

class SimBoardModes : public SimBoardTest {};

TEST_F(SimBoardModes, ConfigureBoardSequenceGivesAModeThatGetModeReturns)
{
    OpenBoard();
    ModeRecord record{};
    const DWORD mode = Configure(ProfilePath("orvane-1920x1080-60-dvi.chp"), record);
    ASSERT_NE(mode, 0u);
    EXPECT_EQ(Counter("modes"), 1);
    ModeRecord current;
    std::memset(&current, 0, sizeof current);
    ASSERT_EQ(eHD_GetMode(mode, &current), OHD_OK);
    EXPECT_EQ(current.activePixels, 1920);
    EXPECT_EQ(current.activeLines, 1080);
    EXPECT_EQ(current.cableType, OHD_CABLE_DVI_TO_DVI);
    EXPECT_EQ(current.verticalFrequencyMilliHz, 60000);

    // Second ConfigureBoard: release the old mode first; the new handle differs.
    ASSERT_EQ(eHD_ReadConfigFile(kBoard, ProfilePath("orvane-640x480-60-vga.chp").c_str(), &record, 0), OHD_OK);
    ASSERT_EQ(eHD_ReleaseMode(kBoard), OHD_OK);
    EXPECT_EQ(eHD_GetMode(mode, &current), OHD_ERR_INVALID_MODE_HANDLE) << "a released handle is dead";
    const DWORD second = eHD_CreateMode(kBoard, 0, &record);
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, mode);
    ASSERT_EQ(eHD_SetMode(second, &record, OHD_APPLY_FULL), OHD_OK);
    ASSERT_EQ(eHD_GetMode(second, &current), OHD_OK);
    EXPECT_EQ(current.activePixels, 640);
    EXPECT_EQ(eHD_ReleaseMode(kBoard), OHD_OK);
    EXPECT_EQ(eHD_ReleaseMode(kBoard), OHD_ERR_NO_MODE);
}

TEST_F(SimBoardModes, ValuesSetWithApplyCodeTwoAreWhatGetModeReturns)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    // The module's setters: phase 12.34 -> 123 tenths, back sync, back porch, pixel clock.
    record.phaseTenths = 123;
    record.horizontalBackSync = 150;
    record.verticalBackPorchTenths = 305;
    record.horizontalFrequency = 40000;
    record.activePixels = 636;
    ASSERT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_OK);
    ModeRecord current{};
    ASSERT_EQ(eHD_GetMode(mode, &current), OHD_OK);
    EXPECT_EQ(current.phaseTenths, 123);
    EXPECT_EQ(current.horizontalBackSync, 150);
    EXPECT_EQ(current.verticalBackPorchTenths, 305);
    EXPECT_EQ(current.horizontalFrequency, 40000);
    EXPECT_EQ(current.activePixels, 636);
    EXPECT_EQ(current.verticalFrequencyMilliHz, 40000 * 1000 / 525) << "derived from the new timing";
}

TEST_F(SimBoardModes, ApplyCodeZeroAppliesOnlyTheAnalogueValues)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    record.gain = 12345;       // 1.23456 truncated, as SetGainValue stores it
    record.blackLevel = 5699;  // 0.57 truncated
    record.phaseTenths = 999;  // not part of apply code 0
    ASSERT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_ANALOGUE), OHD_OK);
    ModeRecord current{};
    ASSERT_EQ(eHD_GetMode(mode, &current), OHD_OK);
    EXPECT_EQ(current.gain, 12345);
    EXPECT_EQ(current.blackLevel, 5699);
    EXPECT_EQ(current.phaseTenths, 160) << "phase needs apply code 2";
}

TEST_F(SimBoardModes, InvalidValuesAndCodesAreRefusedAndChangeNothing)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    ModeRecord bad = record;
    bad.activePixels = 800;  // wider than 800 - 144
    EXPECT_EQ(eHD_SetMode(mode, &bad, OHD_APPLY_FULL), OHD_ERR_MODE_OUT_OF_RANGE);
    bad = record;
    bad.gain = 900000;
    EXPECT_EQ(eHD_SetMode(mode, &bad, OHD_APPLY_ANALOGUE), OHD_ERR_MODE_OUT_OF_RANGE);
    bad = record;
    bad.horizontalFrequency = 0;
    EXPECT_EQ(eHD_SetMode(mode, &bad, OHD_APPLY_FULL), OHD_ERR_MODE_OUT_OF_RANGE);
    EXPECT_EQ(eHD_SetMode(mode, &record, 1), OHD_ERR_INVALID_APPLY_CODE);
    EXPECT_EQ(eHD_SetMode(mode, &record, 7), OHD_ERR_INVALID_APPLY_CODE);
    ModeRecord blank{};
    EXPECT_EQ(eHD_SetMode(mode, &blank, OHD_APPLY_FULL), OHD_ERR_MODE_RECORD_INVALID);
    EXPECT_EQ(eHD_SetMode(mode, nullptr, OHD_APPLY_FULL), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetMode(mode, nullptr), OHD_ERR_NULL_POINTER);
    for (DWORD handle : {DWORD{0}, mode + 1, DWORD{0xFFFFFFFF}}) {
        EXPECT_EQ(eHD_SetMode(handle, &record, OHD_APPLY_FULL), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_GetMode(handle, &record), OHD_ERR_INVALID_MODE_HANDLE);
    }
    ModeRecord current{};
    ASSERT_EQ(eHD_GetMode(mode, &current), OHD_OK);
    EXPECT_EQ(current.activePixels, 640);
    EXPECT_EQ(current.gain, 10000);
}

TEST_F(SimBoardModes, CreateModeRefusesBadInputWithHandleZero)
{
    OpenBoard();
    ModeRecord blank{};
    EXPECT_EQ(eHD_CreateMode(kBoard, 0, &blank), 0u) << "record not filled by eHD_ReadConfigFile";
    EXPECT_EQ(eHD_CreateMode(kBoard, 0, nullptr), 0u);
    ModeRecord record{};
    ASSERT_EQ(eHD_ReadConfigFile(kBoard, ProfilePath("orvane-640x480-60-vga.chp").c_str(), &record, 0), OHD_OK);
    EXPECT_EQ(eHD_CreateMode(kBoard, 1, &record), 0u);
    EXPECT_EQ(eHD_CreateMode(33, 0, &record), 0u);
    EXPECT_NE(eHD_CreateMode(kBoard, 0, &record), 0u);
}

TEST_F(SimBoardModes, ClosingTheBoardReleasesItsMode)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    eHD_CloseBoard(kBoard);
    EXPECT_EQ(eHD_GetMode(mode, &record), OHD_ERR_INVALID_MODE_HANDLE);
    EXPECT_EQ(Counter("modes"), 0);
}

// ---------------------------------------------------------------------------------------------
// White balance
// ---------------------------------------------------------------------------------------------

class SimBoardWhiteBalance : public SimBoardTest {};

TEST_F(SimBoardWhiteBalance, TestFillsBothRegisterSetsWithMeaningfulDifferences)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-1920x1080-60-dvi.chp", &record);
    WhiteBalanceRecord balance{};
    ASSERT_EQ(eHD_TestWhiteBalance(mode, &record, &balance), OHD_OK);
    const BYTE* raw = reinterpret_cast<const BYTE*>(&balance);
    const BYTE factory[6] = {128, 128, 128, 64, 64, 64};
    EXPECT_EQ(std::memcmp(raw + 8, factory, 6), 0) << "first set: the factory registers";
    EXPECT_EQ(raw[14], 128) << "original red gain (no calibration in this file)";
    EXPECT_NE(std::memcmp(raw + 20, raw + 8, 6), 0) << "second set: the balanced registers";
    EXPECT_GT(raw[20], raw[8]) << "the simulated input needs more red";
    EXPECT_EQ(balance.command, 0u) << "the command word is the caller's";
}

TEST_F(SimBoardWhiteBalance, ApplyKeepsTheMeasuredRegistersAndRestoreUndoesIt)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);  // calibration +3 red gain
    WhiteBalanceRecord balance{};
    ASSERT_EQ(eHD_TestWhiteBalance(mode, &record, &balance), OHD_OK);
    EXPECT_EQ(balance.origRedGain, 131);

    balance.command = 0;
    ASSERT_EQ(eHD_SetWhiteBalance(mode, &record, &balance), OHD_OK);
    ASSERT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_OK) << "the module shows the new colours";
    ModeRecord current{};
    ASSERT_EQ(eHD_GetMode(mode, &current), OHD_OK);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(current.colourRegisters[i], balance.secondSet[i]) << i;
        EXPECT_EQ(current.colourCalibration[i], balance.secondSet[i] - balance.firstSet[i]) << i;
    }

    balance.command = 1;
    ASSERT_EQ(eHD_SetWhiteBalance(mode, &record, &balance), OHD_OK);
    ASSERT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_OK);
    ASSERT_EQ(eHD_GetMode(mode, &current), OHD_OK);
    const BYTE original[6] = {131, 128, 126, 65, 64, 63};
    EXPECT_EQ(std::memcmp(current.colourRegisters, original, 6), 0);
}

TEST_F(SimBoardWhiteBalance, SavedDifferencesReproduceTheBalanceWhenTheFileIsReadAgain)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-1920x1080-60-dvi.chp", &record);
    WhiteBalanceRecord balance{};
    ASSERT_EQ(eHD_TestWhiteBalance(mode, &record, &balance), OHD_OK);
    ASSERT_EQ(eHD_SetWhiteBalance(mode, &record, &balance), OHD_OK);

    // SaveColorCalibration: second set minus first set into the board's section.
    TempFile copy(ReadAll(ProfilePath("orvane-1920x1080-60-dvi.chp")));
    const char* const keys[6] = {"RED_GAIN_CALIB",   "GREEN_GAIN_CALIB",   "BLUE_GAIN_CALIB",
                                 "RED_OFFSET_CALIB", "GREEN_OFFSET_CALIB", "BLUE_OFFSET_CALIB"};
    for (int i = 0; i < 6; ++i) {
        const std::string value = std::to_string(balance.secondSet[i] - balance.firstSet[i]);
        ASSERT_TRUE(WritePrivateProfileStringA("O-RGB Calibration OH72391", keys[i], value.c_str(), copy.Path().c_str()));
    }
    ModeRecord reread{};
    ASSERT_EQ(eHD_ReadConfigFile(kBoard, copy.Path().c_str(), &reread, 0), OHD_OK);
    EXPECT_EQ(std::memcmp(reread.colourRegisters, balance.secondSet, 6), 0);
}

TEST_F(SimBoardWhiteBalance, BadCallsGetDefinedStatuses)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    WhiteBalanceRecord balance{};
    EXPECT_EQ(eHD_SetWhiteBalance(mode, &record, &balance), OHD_ERR_WB_NOT_MEASURED);
    EXPECT_EQ(eHD_TestWhiteBalance(mode, nullptr, &balance), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_TestWhiteBalance(mode, &record, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_SetWhiteBalance(mode, &record, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_TestWhiteBalance(mode + 5, &record, &balance), OHD_ERR_INVALID_MODE_HANDLE);
    SimBoard_SetSignal(0);
    EXPECT_EQ(eHD_TestWhiteBalance(mode, &record, &balance), OHD_ERR_NO_SIGNAL);
    SimBoard_SetSignal(1);
    ASSERT_EQ(eHD_TestWhiteBalance(mode, &record, &balance), OHD_OK);
    balance.command = 2;
    EXPECT_EQ(eHD_SetWhiteBalance(mode, &record, &balance), OHD_ERR_INVALID_COMMAND);
    WhiteBalanceRecord zeroed{};
    EXPECT_EQ(eHD_SetWhiteBalance(mode, &record, &zeroed), OHD_ERR_WB_NOT_MEASURED) << "a record never filled by the test";
}

}  // namespace
