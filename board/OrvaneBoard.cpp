// Board discovery and opening: the first board whose name says Orvane is reset and opened; the
// board is closed when the card is done with it.
#include "board/OrvaneBoard.h"

#include <algorithm>
#include <cstring>

#include "platform/Diagnostics.h"

using orvane::Trace;
using orvane::TraceFormat;

COrvaneBoard::~COrvaneBoard()
{
    CloseBoard();
}

void COrvaneBoard::CloseBoard()
{
    if (boardIndex_ > 0) {
        eHD_CloseBoard(boardIndex_);
        boardIndex_ = 0;
    }
}

bool COrvaneBoard::InitBoard()
{
    Trace("Orvane - InitBoard start.");
    boardCount_ = eHD_GetBoardCount(0, 15);
    TraceFormat("Number of boards = %d", boardCount_);
    if (boardCount_ <= 0) {
        return false;
    }

    std::memset(&boardList_, 0, sizeof boardList_);
    eHD_GetBoardList(0, sizeof boardList_, &boardList_);
    const BoardListEntry& record = boardList_.entries[selectedBoard_];

    char name[32] = {};
    BoardNameRequest request{static_cast<DWORD>(static_cast<uint16_t>(record.boardId)), name};
    ReportStatus(eHD_GetBoardName(&request), 170);
    name[sizeof name - 1] = '\0';

    // The serial text fills its eight bytes without a terminator when it is eight characters long.
    serialNumber_.fill('\0');
    std::memcpy(serialNumber_.data(), record.serial,
                std::min(sizeof record.serial, serialNumber_.size() - 1));
    TraceFormat("Board Name : %s\nSerial number : %s", name, serialNumber_.data());

    if (std::strstr(name, "Orvane") == nullptr) {
        Trace("No Orvane board found.");
        return false;
    }

    boardIndex_ = static_cast<WORD>(record.boardIndex);
    DWORD resetWord = 1;
    ReportStatus(eHD_SetParameter(boardIndex_, "HardReset", sizeof resetWord, &resetWord), 189);

    std::memset(&openRecord_, 0, sizeof openRecord_);
    if (ReportStatus(eHD_OpenBoard(boardIndex_, &openRecord_), 192) != 0) {
        Trace("Orvane - Unable to open the board.");
        boardIndex_ = 0;
        return false;
    }
    Trace("Orvane - InitBoard end.");
    return true;
}
