#pragma once
// The board itself, as the card sees it: finding the chosen board (by serial number, or the first
// one), naming and opening it, closing it again, and logging every failed board library call with
// its call-site number.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "interfaces/BoardLibrary.h"

class COrvaneBoard {
public:
    COrvaneBoard(const COrvaneBoard&) = delete;
    COrvaneBoard& operator=(const COrvaneBoard&) = delete;

    // Logs a nonzero board status with its call-site number and hands it back unchanged.
    WORD ReportStatus(WORD status, int site) const;
    // The board library's own text for a status.
    std::string StatusText(WORD status) const;

    // What discovery found and opened, for the component object and for tests.
    WORD BoardIndex() const { return boardIndex_; }
    int BoardCount() const { return boardCount_; }
    const char* SerialNumber() const { return serialNumber_.data(); }

protected:
    COrvaneBoard() = default;
    // Closes the board if it is still open.
    ~COrvaneBoard();

    // Counts the boards, names the selected one and opens it; false when no Orvane board could be
    // opened (the board index is then 0). The selected board is the one whose serial number is
    // `wantedSerial`, or the first of the list when it is empty; a serial number that no board has
    // is logged and raised as a composed message exception naming the serial numbers present,
    // before any board is reset or opened.
    bool InitBoard(const std::string& wantedSerial = std::string());
    // Closes the board when it is open; afterwards the board index is 0, so closing twice is harmless.
    void CloseBoard();

    WORD boardIndex_ = 0;

private:
    // The serial numbers of the listed boards, "A, B, C" ("none" without boards), for messages.
    std::string ListedSerials() const;

    int32_t boardCount_ = 0;
    int32_t selectedBoard_ = 0;
    BoardList boardList_{};
    OpenRecord openRecord_{};
    std::array<char, 10> serialNumber_{};
};
