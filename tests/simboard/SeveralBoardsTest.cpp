// Several boards: the set of a run taken from ORVANE_SIMBOARDS, a board of the run open in one
// process at a time, and boards streaming side by side with their own frames, settings, faults and
// counters.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/OwnedHandle.h"
#include "simboard/PixelPattern.h"
#include "tests/simboard/SimBoardFixture.h"
#include "tests/support/BoundedWait.h"

namespace {

using namespace simtest;
using orvane::test::WaitUntil;

constexpr char kVariable[] = "ORVANE_SIMBOARDS";

// Sets the variable for this process (null: unset) and takes the boards from it; the test's end
// unsets it and goes back to the default board.
class BoardsOfTheRun {
public:
    explicit BoardsOfTheRun(const char* value) { Use(value); }
    ~BoardsOfTheRun() { Use(nullptr); }
    BoardsOfTheRun(const BoardsOfTheRun&) = delete;
    BoardsOfTheRun& operator=(const BoardsOfTheRun&) = delete;

    void Use(const char* value)
    {
        SetEnvironmentVariableA(kVariable, value);
        EXPECT_EQ(SimBoard_Reset(), 0);
    }
};

// Serial numbers no other test process uses at the same time: boards of the run are shared by
// every process of the session.
std::string OwnSerial(char board)
{
    char serial[16];
    std::snprintf(serial, sizeof serial, "%c%07lX", board, GetCurrentProcessId() & 0xFFFFFFFul);
    return serial;
}

std::vector<std::string> ListedSerials()
{
    BoardList list{};
    EXPECT_EQ(eHD_GetBoardList(0, sizeof list, &list), OHD_OK);
    std::vector<std::string> serials;
    for (DWORD i = 0; i < list.count; ++i) {
        const BoardListEntry& entry = list.entries[i];
        EXPECT_EQ(entry.boardIndex, static_cast<int16_t>(i + 1));
        EXPECT_EQ(entry.boardId, static_cast<int16_t>(0x0101 + i));
        char name[32] = {};
        BoardNameRequest request{static_cast<DWORD>(entry.boardId), name};
        EXPECT_EQ(eHD_GetBoardName(&request), OHD_OK);
        EXPECT_STREQ(name, "Orvane HD Grabber");
        serials.emplace_back(entry.serial, strnlen(entry.serial, sizeof entry.serial));
    }
    EXPECT_EQ(eHD_GetBoardCount(0, 15), static_cast<short>(serials.size()));
    return serials;
}

using SimBoardSeveral = SimBoardTest;

TEST_F(SimBoardSeveral, TheVariableListsTheBoardsOfTheRun)
{
    std::string sixteen;
    for (int i = 0; i < 16; ++i) {
        sixteen += (i > 0 ? "," : "") + std::string("S") + std::to_string(i);
    }
    const struct {
        std::string value;
        std::vector<std::string> serials;
    } table[] = {
        {"OH72391,OH72392,OH72393", {"OH72391", "OH72392", "OH72393"}},
        {" OH1 , OH2 ,", {"OH1", "OH2"}},
        {"ABCDEFGH", {"ABCDEFGH"}},  // fills the list's 8 bytes, no terminator
        {"", {}},
        {"ABCDEFGHI", {}},           // longer than the field: refused, no board
        {"OH1,OH1", {}},
        {sixteen, {}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE("\"" + row.value + "\"");
        BoardsOfTheRun run(row.value.c_str());
        EXPECT_EQ(ListedSerials(), row.serials);
        ASSERT_EQ(SimBoard_Reset(), 0);
        EXPECT_EQ(ListedSerials(), row.serials) << "a reset keeps the boards of the run";
    }
    EXPECT_EQ(ListedSerials(), std::vector<std::string>{"OH72391"}) << "unset: the default board";
}

TEST_F(SimBoardSeveral, ABoardOfTheRunIsOpenInOneProcessAtATime)
{
    const std::string serial = OwnSerial('A');
    BoardsOfTheRun run(serial.c_str());
    const std::string taken = "OHDW32 board " + serial + " is open";
    OpenRecord record{};
    DWORD word = 0;
    {
        // Another process has the board: it is neither reset nor opened here.
        orvane::UniqueKernelHandle other(CreateEventA(nullptr, TRUE, FALSE, taken.c_str()));
        ASSERT_TRUE(other);
        EXPECT_EQ(eHD_SetParameter(1, "HardReset", 4, &word), OHD_ERR_BOARD_ALREADY_OPEN);
        EXPECT_EQ(eHD_OpenBoard(1, &record), OHD_ERR_BOARD_ALREADY_OPEN);
        EXPECT_EQ(Counter("hardResets"), 0);
        EXPECT_EQ(Counter("boardsOpen"), 0);
    }
    EXPECT_EQ(eHD_SetParameter(1, "HardReset", 4, &word), OHD_OK);
    ASSERT_EQ(eHD_OpenBoard(1, &record), OHD_OK);
    orvane::UniqueKernelHandle seen(OpenEventA(SYNCHRONIZE, FALSE, taken.c_str()));
    EXPECT_TRUE(seen) << "other processes see the board taken";
    seen.Reset();
    eHD_CloseBoard(1);
    seen.Reset(OpenEventA(SYNCHRONIZE, FALSE, taken.c_str()));
    EXPECT_FALSE(seen) << "closing gives the board back";

    ASSERT_EQ(eHD_OpenBoard(1, &record), OHD_OK);
    ASSERT_EQ(SimBoard_Reset(), 0);
    seen.Reset(OpenEventA(SYNCHRONIZE, FALSE, taken.c_str()));
    EXPECT_FALSE(seen) << "a reset gives the board back";

    // A process's own boards are its alone: the same name elsewhere takes nothing from them.
    run.Use(nullptr);
    orvane::UniqueKernelHandle other(CreateEventA(nullptr, TRUE, FALSE, "OHDW32 board OH72391 is open"));
    EXPECT_EQ(eHD_OpenBoard(kBoard, &record), OHD_OK);
}

class SimBoardSideBySide : public SimBoardTest {
protected:
    static constexpr WORD kA = 4;
    static constexpr WORD kB = 9;

    void SetUp() override
    {
        SimBoardTest::SetUp();
        SimBoardDescription boards[] = {{"Orvane HD Grabber", "", kA, 5}, {"Orvane HD Grabber", "OHB002", kB, 5}};
        std::memcpy(boards[0].serial, "OHA00001", 8);  // fills the field, no terminator
        ASSERT_EQ(SimBoard_SetBoards(boards, 2), 0);
        modeA_ = OpenAndConfigureBoard(kA);
        modeB_ = OpenAndConfigureBoard(kB);
    }

    static DWORD OpenAndConfigureBoard(WORD index)
    {
        OpenRecord open{};
        EXPECT_EQ(eHD_OpenBoard(index, &open), OHD_OK);
        ModeRecord record{};
        EXPECT_EQ(eHD_ReadConfigFile(index, ProfilePath("orvane-640x480-60-vga.chp").c_str(), &record, 0), OHD_OK);
        const DWORD mode = eHD_CreateMode(index, 0, &record);
        EXPECT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_OK);
        return mode;
    }

    DWORD modeA_ = 0;
    DWORD modeB_ = 0;
};

// The frame header names the board that filled the frame: its index, then its serial number.
void ExpectSource(const BYTE* frame, WORD index, const char* serial)
{
    EXPECT_EQ(Read16(frame + 24), index);
    EXPECT_EQ(Read16(frame + 26), 0);
    char padded[8] = {};
    std::memcpy(padded, serial, std::min(std::strlen(serial), sizeof padded));
    EXPECT_EQ(std::memcmp(frame + 28, padded, 8), 0);
}

TEST_F(SimBoardSideBySide, EachBoardStreamsItsOwnFramesWithItsOwnSettingsAndCounters)
{
    ASSERT_EQ(SimBoard_SetBoardFrameRate(kA, 200), 0);
    ASSERT_EQ(SimBoard_SetBoardSignal(kB, 0), 0);
    StreamHarness a(modeA_, 6, 640, 480, 3);
    StreamHarness b(modeB_, 6, 640, 480, 3);
    ASSERT_EQ(a.OpenAndStart(), OHD_OK) << "board A has its signal";
    EXPECT_EQ(b.Open(), OHD_ERR_NO_SIGNAL);
    ASSERT_EQ(SimBoard_SetBoardSignal(kB, 1), 0);
    ASSERT_EQ(b.OpenAndStart(), OHD_OK);
    EXPECT_EQ(SimBoard_GetBoardCounter(kA, "producerThreads"), 1);
    EXPECT_EQ(SimBoard_GetBoardCounter(kB, "producerThreads"), 1);
    EXPECT_EQ(Counter("producerThreads"), 2);

    for (int i = 0; i < 5; ++i) {
        for (StreamHarness* stream : {&a, &b}) {
            BufferDescriptor* frame = stream->Next(3000);
            ASSERT_NE(frame, nullptr);
            EXPECT_GE(stream->BlockIndex(frame->pixels), 0) << "a block of this stream";
            if (stream == &a) {
                ExpectSource(frame->pixels, kA, "OHA00001");
            } else {
                ExpectSource(frame->pixels, kB, "OHB002");
            }
            ASSERT_EQ(stream->Release(frame), OHD_OK);
        }
    }
    ASSERT_TRUE(WaitUntil(3000, [] { return SimBoard_GetBoardCounter(kA, "frameRateMilliHz") == 200000; }));
    ModeRecord modeB{};
    ASSERT_EQ(eHD_GetMode(modeB_, &modeB), OHD_OK);
    EXPECT_NEAR(static_cast<double>(SimBoard_GetBoardCounter(kB, "frameRateMilliHz")),
                modeB.horizontalFrequency * 1000.0 / modeB.verticalTotal, 1.0)
        << "B keeps the rate of its mode";

    // Pausing A leaves B running.
    ASSERT_EQ(SimBoard_PauseBoardProducer(kA, 1), 0);
    const long long producedA = SimBoard_GetBoardCounter(kA, "framesProduced");
    const long long producedB = SimBoard_GetBoardCounter(kB, "framesProduced");
    for (int i = 0; i < 3; ++i) {
        BufferDescriptor* frame = b.Next(3000);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(b.Release(frame), OHD_OK);
    }
    EXPECT_GT(SimBoard_GetBoardCounter(kB, "framesProduced"), producedB);
    EXPECT_EQ(SimBoard_GetBoardCounter(kA, "framesProduced"), producedA);

    for (const char* name : {"framesProduced", "framesDelivered", "framesReleased", "streamsStarted", "hardResets"}) {
        EXPECT_EQ(SimBoard_GetBoardCounter(kA, name) + SimBoard_GetBoardCounter(kB, name), Counter(name)) << name;
    }
    EXPECT_EQ(SimBoard_GetBoardCounter(kA, "framesDelivered"), SimBoard_GetBoardCounter(kA, "framesReleased") +
                                                                    SimBoard_GetBoardCounter(kA, "blocksHandedOver"));
    EXPECT_EQ(SimBoard_GetBoardCounter(1, "framesProduced"), -1) << "no board with index 1";
    EXPECT_EQ(SimBoard_GetBoardCounter(kA, "noSuchCounter"), -1);
}

TEST_F(SimBoardSideBySide, AFaultArmedOnOneBoardLeavesTheOtherAlone)
{
    ModeRecord record{};
    ASSERT_EQ(SimBoard_FailNextOnBoard(kB, "GetMode", OHD_ERR_INVALID_MODE_HANDLE, 1), 0);
    EXPECT_EQ(eHD_GetMode(modeA_, &record), OHD_OK);
    EXPECT_EQ(eHD_GetMode(modeB_, &record), OHD_ERR_INVALID_MODE_HANDLE);
    EXPECT_EQ(eHD_GetMode(modeB_, &record), OHD_OK) << "one call only";
    EXPECT_EQ(SimBoard_GetBoardCounter(kA, "faultsInjected"), 0);
    EXPECT_EQ(SimBoard_GetBoardCounter(kB, "faultsInjected"), 1);
    EXPECT_EQ(SimBoard_GetBoardCounter(kB, "calls.eHD_GetMode"), 2);
    EXPECT_EQ(Counter("calls.eHD_GetMode"), 3);

    // Armed for every board, a fault answers first, whichever board the call goes to.
    ASSERT_EQ(SimBoard_FailNextOnBoard(kB, "eHD_GetMode", OHD_ERR_NO_MODE, 1), 0);
    ASSERT_EQ(SimBoard_FailNext("eHD_GetMode", OHD_ERR_BOARD_BUSY, 1), 0);
    EXPECT_EQ(eHD_GetMode(modeB_, &record), OHD_ERR_BOARD_BUSY);
    EXPECT_EQ(eHD_GetMode(modeB_, &record), OHD_ERR_NO_MODE);
    EXPECT_EQ(eHD_GetMode(modeB_, &record), OHD_OK);

    EXPECT_NE(SimBoard_FailNextOnBoard(1, "GetMode", OHD_ERR_NO_MODE, 1), 0) << "no board with index 1";
    EXPECT_NE(SimBoard_SetBoardSignal(1, 0), 0);
    EXPECT_NE(SimBoard_PauseBoardProducer(1, 1), 0);
    EXPECT_NE(SimBoard_SetBoardFrameRate(kA, -5), 0);
    EXPECT_NE(SimBoard_SetBoardDropPercent(kA, 101), 0);
}

TEST_F(SimBoardSideBySide, AFrameSmallerThanTheHeaderGetsWhatFits)
{
    SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED);
    StreamHarness tiny(modeA_, 0, 4, 1, 1);  // Mono 8: 4 bytes
    ASSERT_EQ(tiny.OpenAndStart(), OHD_OK);
    BufferDescriptor* frame = tiny.Next(3000);
    ASSERT_NE(frame, nullptr);
    for (size_t i = 4; i < tiny.BlockBytes(); ++i) {
        EXPECT_EQ(frame->pixels[i], StreamHarness::kGuard) << "byte " << i << " is past the frame";
    }
    static_assert(simboard::kFrameHeaderBytes == 36);
}

}  // namespace
