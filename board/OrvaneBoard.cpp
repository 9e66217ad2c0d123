// Board discovery and opening: the chosen board (by serial number, else the first of the list) is
// reset and opened when its name says Orvane; the board is closed when the card is done with it.
#include "board/OrvaneBoard.h"

#include <algorithm>
#include <cstring>

#include "platform/Diagnostics.h"
#include "platform/MessageException.h"

using orvane::Trace;
using orvane::TraceFormat;

namespace {

// The serial number of a board list record: its eight bytes hold the text without a terminator
// when it is eight characters long. Read this way everywhere (selection, log, the calibration
// section), so every use agrees on the same text.
std::string SerialOf(const BoardListEntry& record)
{
    const char* end = static_cast<const char*>(std::memchr(record.serial, '\0', sizeof record.serial));
    return std::string(record.serial, end != nullptr ? end : record.serial + sizeof record.serial);
}

}  // namespace

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

std::string COrvaneBoard::ListedSerials() const
{
    std::string serials;
    for (int32_t i = 0; i < std::min<int32_t>(boardCount_, kOhdMaxBoards); ++i) {
        serials += (i > 0 ? ", " : "") + SerialOf(boardList_.entries[i]);
    }
    return serials.empty() ? "none" : serials;
}

bool COrvaneBoard::InitBoard(const std::string& wantedSerial)
{
    Trace("Orvane - InitBoard start.");
    boardCount_ = eHD_GetBoardCount(0, 15);
    TraceFormat("Number of boards = %d", boardCount_);
    std::memset(&boardList_, 0, sizeof boardList_);
    if (boardCount_ <= 0 && wantedSerial.empty()) {
        return false;
    }
    if (boardCount_ > 0) {
        eHD_GetBoardList(0, sizeof boardList_, &boardList_);
    }

    selectedBoard_ = wantedSerial.empty() ? 0 : -1;
    for (int32_t i = 0; selectedBoard_ < 0 && i < std::min<int32_t>(boardCount_, kOhdMaxBoards); ++i) {
        if (SerialOf(boardList_.entries[i]) == wantedSerial) {
            selectedBoard_ = i;
        }
    }
    if (selectedBoard_ < 0) {
        // Opening some other board instead would record the wrong input without a word.
        selectedBoard_ = 0;
        std::string message = "Orvane - Board Serial \"" + wantedSerial + "\" not found; boards present: " + ListedSerials();
        Trace(message.c_str());
        orvane::RaiseComposedMessage(std::move(message));
    }
    const BoardListEntry& record = boardList_.entries[selectedBoard_];

    char name[32] = {};
    BoardNameRequest request{static_cast<DWORD>(static_cast<uint16_t>(record.boardId)), name};
    ReportStatus(eHD_GetBoardName(&request), 170);
    name[sizeof name - 1] = '\0';

    const std::string serial = SerialOf(record);
    serialNumber_.fill('\0');
    std::memcpy(serialNumber_.data(), serial.data(), std::min(serial.size(), serialNumber_.size() - 1));
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
