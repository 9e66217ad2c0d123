// Bad input never crashes the library: every operation, given null pointers, a dead mode handle,
// or a board that is unknown or not open, answers a defined nonzero status (or 0 / null / -1
// where its result is not a status).
#include <cstring>

#include "tests/simboard/SimBoardFixture.h"

namespace {

using namespace simtest;

class SimBoardRobustness : public SimBoardTest {};

TEST_F(SimBoardRobustness, NullPointersGetNullPointerStatus)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    char text[64] = {};
    ParameterBlock block{0, &record};
    WhiteBalanceRecord balance{};
    EXPECT_EQ(eHD_GetBoardList(0, sizeof(BoardList), nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetBoardName(nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_OpenBoard(kBoard, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_SetParameter(kBoard, nullptr, sizeof block, &block), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_SetParameter(kBoard, "Hue", sizeof block, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetParameter(kBoard, nullptr, sizeof block, &block), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetParameter(kBoard, "Hue", sizeof block, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, nullptr, &record, 0), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, "x.chp", nullptr, 0), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_CreateMode(kBoard, 0, nullptr), 0u);
    EXPECT_EQ(eHD_SetMode(mode, nullptr, OHD_APPLY_FULL), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetMode(mode, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, OHD_INFO_BOARD_TYPE, 2, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetErrorText(0, sizeof text - 1, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_LiveStreamOpen(mode, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_LiveStreamClose(mode, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetStreamBuffer(mode, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_TestWhiteBalance(mode, nullptr, &balance), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_TestWhiteBalance(mode, &record, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_SetWhiteBalance(mode, nullptr, &balance), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_SetWhiteBalance(mode, &record, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(SimBoard_GetFillTime(nullptr, nullptr), 1);
}

TEST_F(SimBoardRobustness, DeadOrMadeUpModeHandlesAreRefused)
{
    ModeRecord record{};
    const DWORD live = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    StreamParameters parameters{};
    parameters.size = sizeof parameters;
    BufferDescriptor descriptor{};
    BufferDescriptor* out = nullptr;
    WhiteBalanceRecord balance{};
    for (DWORD mode : {DWORD{0}, DWORD{1}, live ^ 0x00FF0000u, DWORD{0xFFFFFFFF},
                       static_cast<DWORD>(reinterpret_cast<uintptr_t>(&record))}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_GetMode(mode, &record), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_LiveStreamOpen(mode, &parameters), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_LiveStreamMode(mode, OHD_STREAM_START), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_LiveStreamClose(mode, &parameters), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_GetStreamBuffer(mode, &out), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, &descriptor), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_TestWhiteBalance(mode, &record, &balance), OHD_ERR_INVALID_MODE_HANDLE);
        EXPECT_EQ(eHD_SetWhiteBalance(mode, &record, &balance), OHD_ERR_INVALID_MODE_HANDLE);
    }
    EXPECT_EQ(out, nullptr);
    // The live handle, once released, is dead too.
    ASSERT_EQ(eHD_ReleaseMode(kBoard), OHD_OK);
    EXPECT_EQ(eHD_GetMode(live, &record), OHD_ERR_INVALID_MODE_HANDLE);
    EXPECT_EQ(eHD_LiveStreamMode(live, OHD_STREAM_STOP), OHD_ERR_INVALID_MODE_HANDLE);
}

TEST_F(SimBoardRobustness, BoardOperationsOnUnknownOrClosedBoards)
{
    ModeRecord record{};
    ParameterBlock block{1, &record};
    int16_t type = 3;
    const std::string path = ProfilePath("orvane-640x480-60-vga.chp");
    for (WORD board : {WORD{0}, WORD{2}, WORD{0xFFFF}}) {
        SCOPED_TRACE(board);
        EXPECT_EQ(eHD_SetParameter(board, "Hue", sizeof block, &block), OHD_ERR_UNKNOWN_BOARD);
        EXPECT_EQ(eHD_GetParameter(board, "Hue", sizeof block, &block), OHD_ERR_UNKNOWN_BOARD);
        EXPECT_EQ(eHD_ReadConfigFile(board, path.c_str(), &record, 0), OHD_ERR_UNKNOWN_BOARD);
        EXPECT_EQ(eHD_ReleaseMode(board), OHD_ERR_UNKNOWN_BOARD);
        EXPECT_EQ(eHD_GetBoardInfo(board, OHD_INFO_BOARD_TYPE, 2, &type), OHD_ERR_UNKNOWN_BOARD);
        OpenRecord open{};
        EXPECT_EQ(eHD_OpenBoard(board, &open), OHD_ERR_UNKNOWN_BOARD);
        eHD_CloseBoard(board);
    }
    // The known board, not open.
    EXPECT_EQ(eHD_SetParameter(kBoard, "Hue", sizeof block, &block), OHD_ERR_BOARD_NOT_OPEN);
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, path.c_str(), &record, 0), OHD_ERR_BOARD_NOT_OPEN);
    EXPECT_EQ(eHD_ReleaseMode(kBoard), OHD_ERR_BOARD_NOT_OPEN);
    EXPECT_EQ(eHD_GetBoardInfo(kBoard, OHD_INFO_BOARD_TYPE, 2, &type), OHD_ERR_BOARD_NOT_OPEN);
    EXPECT_EQ(type, 3) << "a failed read leaves the caller's word alone";
    EXPECT_EQ(Counter("boardsOpen"), 0);
}

TEST_F(SimBoardRobustness, ControlCallsValidateTheirArguments)
{
    EXPECT_NE(SimBoard_SetFrameRate(-2.0), 0);
    EXPECT_NE(SimBoard_SetFrameRate(1e9), 0);
    EXPECT_NE(SimBoard_SetDropPercent(-1), 0);
    EXPECT_NE(SimBoard_SetTimeCode(1, 100), 0);
    SimBoardDescription unterminated;
    std::memset(&unterminated, 'A', sizeof unterminated);
    unterminated.boardIndex = 1;
    EXPECT_NE(SimBoard_SetBoards(&unterminated, 1), 0) << "name and serial must be NUL-terminated";
    EXPECT_EQ(eHD_GetBoardCount(0, 15), 1);
}

}  // namespace
