// eHD_GetErrorText and fault injection: every status has its own readable text, and any
// operation can be made to answer a chosen status for its next N calls.
#include <cstring>
#include <set>
#include <string>

#include "tests/simboard/SimBoardFixture.h"

namespace {

using namespace simtest;

const WORD kAllStatuses[] = {
    OHD_OK, OHD_ERR_NULL_POINTER, OHD_ERR_INVALID_SIZE, OHD_ERR_INVALID_ARGUMENT, OHD_ERR_UNKNOWN_BOARD,
    OHD_ERR_UNKNOWN_BOARD_ID, OHD_ERR_BOARD_NOT_OPEN, OHD_ERR_BOARD_ALREADY_OPEN, OHD_ERR_BOARD_BUSY,
    OHD_ERR_UNKNOWN_PARAMETER, OHD_ERR_PARAMETER_OUT_OF_RANGE, OHD_ERR_PARAMETER_WRITE_ONLY, OHD_ERR_UNKNOWN_INFO_ITEM,
    OHD_ERR_INVALID_MODE_HANDLE, OHD_ERR_NO_MODE, OHD_ERR_MODE_RECORD_INVALID, OHD_ERR_MODE_OUT_OF_RANGE,
    OHD_ERR_INVALID_APPLY_CODE, OHD_ERR_UNKNOWN_STATUS, OHD_ERR_WB_NOT_MEASURED, OHD_ERR_INVALID_COMMAND,
    OHD_ERR_OUT_OF_MEMORY, OHD_ERR_STREAM_NOT_OPEN, OHD_ERR_STREAM_ALREADY_OPEN, OHD_ERR_NO_SIGNAL,
    OHD_ERR_STREAM_ALREADY_STARTED, OHD_ERR_NO_BUFFER_READY, OHD_ERR_UNKNOWN_DESCRIPTOR, OHD_ERR_BUFFER_NOT_HANDED_OVER,
    OHD_ERR_UNKNOWN_FORMAT, OHD_ERR_STREAM_SIZE_MISMATCH, OHD_ERR_INVALID_BUFFER_LIST, OHD_ERR_INVALID_EVENT,
    OHD_ERR_STREAM_PARAMS_MISMATCH, OHD_ERR_THREAD_FAILED, OHD_ERR_CHP_MISSING, OHD_ERR_CHP_UNREADABLE,
    OHD_ERR_CHP_BAD_TIMING, OHD_ERR_CHP_ACTIVE_TOO_LARGE, OHD_ERR_CHP_UNKNOWN_CABLE, OHD_CHP_ADJUSTED,
};

class SimBoardErrorText : public SimBoardTest {};

TEST_F(SimBoardErrorText, EveryStatusHasADistinctReadableText)
{
    std::set<std::string> texts;
    for (WORD status : kAllStatuses) {
        char buffer[256];
        std::memset(buffer, 0x7F, sizeof buffer);
        ASSERT_EQ(eHD_GetErrorText(status, 255, buffer), OHD_OK) << status;
        ASSERT_NE(std::memchr(buffer, '\0', sizeof buffer), nullptr) << status;
        const std::string text(buffer);
        EXPECT_GE(text.size(), 6u) << status;
        for (char c : text) {
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "printable text for status " << status;
        }
        EXPECT_TRUE(texts.insert(text).second) << "text shared by another status: " << text;
    }
    EXPECT_EQ(ErrorText(0x203), "No video signal on the input");
}

TEST_F(SimBoardErrorText, TextIsCutAtMaxLengthAndNulTerminated)
{
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(eHD_GetErrorText(OHD_ERR_NO_SIGNAL, 5, buffer), OHD_OK);
    EXPECT_STREQ(buffer, "No vi");
    EXPECT_EQ(buffer[6], '#') << "nothing written past maxLength + 1 bytes";
}

TEST_F(SimBoardErrorText, UnknownStatusStillGetsAText)
{
    char buffer[256] = {};
    EXPECT_EQ(eHD_GetErrorText(0x7777, 255, buffer), OHD_ERR_UNKNOWN_STATUS);
    EXPECT_NE(std::string(buffer).find("0x7777"), std::string::npos) << buffer;
    EXPECT_EQ(eHD_GetErrorText(OHD_OK, 255, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_GetErrorText(OHD_OK, 0, buffer), OHD_ERR_INVALID_SIZE);
}

class SimBoardFaults : public SimBoardTest {};

TEST_F(SimBoardFaults, AnOperationAnswersTheInjectedStatusForItsNextNCalls)
{
    ASSERT_EQ(SimBoard_FailNext("eHD_OpenBoard", 0x0BAD, 2), 0);
    OpenRecord record{};
    EXPECT_EQ(eHD_OpenBoard(kBoard, &record), 0x0BAD);
    EXPECT_EQ(eHD_OpenBoard(kBoard, &record), 0x0BAD);
    EXPECT_EQ(Counter("boardsOpen"), 0) << "a failed call does nothing";
    EXPECT_EQ(eHD_OpenBoard(kBoard, &record), OHD_OK);
    EXPECT_EQ(Counter("faultsInjected"), 2);
    EXPECT_EQ(Counter("calls.eHD_OpenBoard"), 3);
}

TEST_F(SimBoardFaults, OperationsWithoutAStatusResultFailInTheirOwnWay)
{
    ASSERT_EQ(SimBoard_FailNext("GetBoardCount", 0, 1), 0) << "the eHD_ prefix is optional";
    EXPECT_EQ(eHD_GetBoardCount(0, 15), 0);
    EXPECT_EQ(eHD_GetBoardCount(0, 15), 1);
    ASSERT_EQ(SimBoard_FailNext("eHD_GetModelTable", 1, 1), 0);
    EXPECT_EQ(eHD_GetModelTable(), nullptr);
    EXPECT_NE(eHD_GetModelTable(), nullptr);

    ModeRecord record{};
    OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    ASSERT_EQ(SimBoard_FailNext("eHD_CreateMode", 1, 1), 0);
    EXPECT_EQ(eHD_CreateMode(kBoard, 0, &record), 0u);
    ASSERT_EQ(SimBoard_FailNext("eHD_CloseBoard", 1, 1), 0);
    eHD_CloseBoard(kBoard);
    EXPECT_EQ(Counter("boardsOpen"), 1) << "the failed close did nothing";
    eHD_CloseBoard(kBoard);
    EXPECT_EQ(Counter("boardsOpen"), 0);
}

TEST_F(SimBoardFaults, TheModuleVisibleStatusesCanBeForced)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    ASSERT_EQ(SimBoard_FailNext("eHD_ReadConfigFile", OHD_CHP_ADJUSTED, 1), 0);
    EXPECT_EQ(eHD_ReadConfigFile(kBoard, "anything", &record, 0), OHD_CHP_ADJUSTED);
    ASSERT_EQ(SimBoard_FailNext("eHD_SetMode", 0x0110, 1), 0);
    EXPECT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), 0x0110);
    EXPECT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_OK);
    ASSERT_EQ(SimBoard_FailNext("eHD_LiveStreamMode", 0x0999, 3), 0);
    ASSERT_EQ(SimBoard_FailNext("eHD_LiveStreamMode", 0, 0), 0) << "count 0 disarms";
    EXPECT_EQ(eHD_LiveStreamMode(mode, OHD_STREAM_STOP), OHD_ERR_STREAM_NOT_OPEN);
}

TEST_F(SimBoardFaults, UnknownOperationNamesAreRefused)
{
    EXPECT_NE(SimBoard_FailNext("eHD_Frobnicate", 1, 1), 0);
    EXPECT_NE(SimBoard_FailNext(nullptr, 1, 1), 0);
    EXPECT_NE(SimBoard_FailNext("eHD_OpenBoard", 1, -1), 0);
    EXPECT_EQ(SimBoard_GetCounter("noSuchCounter"), -1);
    EXPECT_EQ(SimBoard_GetCounter("calls.eHD_Frobnicate"), -1);
    EXPECT_EQ(SimBoard_GetCounter(nullptr), -1);
}

}  // namespace
