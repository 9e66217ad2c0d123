// Boards present, discovery, opening and closing, board information and the model table.
#include <cstdio>
#include <cstring>
#include <set>

#include "interfaces/BoardLibrary.h"
#include "simboard/BoardOperation.h"
#include "simboard/LiveStream.h"
#include "simboard/SimState.h"

namespace simboard {

BoardConfig DefaultBoard()
{
    BoardConfig config;
    config.name = "Orvane HD Grabber";
    config.serial = "OH72391";
    config.index = 1;
    config.type = 5;
    config.id = 0x0101;
    return config;
}

namespace {

constexpr char kBoardsVariable[] = "ORVANE_SIMBOARDS";
constexpr size_t kSerialBytes = sizeof(BoardListEntry::serial);

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The name of the kernel object that marks a shared board as taken, the same in every process.
std::string ClaimName(const Board& board)
{
    return "OHDW32 board " + board.config.serial + " is open";
}

// The serial text in a field of `size` bytes: NUL-padded, without a terminator when it fills it.
void PutSerial(char* field, size_t size, const std::string& serial)
{
    std::memset(field, 0, size);
    std::memcpy(field, serial.data(), serial.size() < size ? serial.size() : size);
}

}  // namespace

bool BoardsFromEnvironment(std::vector<BoardConfig>& configs)
{
    SetLastError(ERROR_SUCCESS);
    const DWORD needed = GetEnvironmentVariableA(kBoardsVariable, nullptr, 0);
    if (needed == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return false;
    }
    std::string value(needed, '\0');
    if (needed > 0) {
        const DWORD length = GetEnvironmentVariableA(kBoardsVariable, value.data(), needed);
        value.resize(length < needed ? length : 0);
    }
    configs.clear();
    std::set<std::string> seen;
    std::string problem;
    size_t start = 0;
    while (start <= value.size() && problem.empty()) {
        size_t end = value.find(',', start);
        if (end == std::string::npos) {
            end = value.size();
        }
        const std::string serial = Trimmed(value.substr(start, end - start));
        start = end + 1;
        if (serial.empty()) {
            continue;
        }
        if (serial.size() > kSerialBytes) {
            problem = "serial number " + serial + " is longer than 8 characters";
        } else if (!seen.insert(serial).second) {
            problem = "serial number " + serial + " is listed twice";
        } else if (configs.size() == static_cast<size_t>(kOhdMaxBoards)) {
            problem = "more than 15 boards";
        } else {
            BoardConfig config;
            config.name = "Orvane HD Grabber";
            config.serial = serial;
            config.index = static_cast<WORD>(configs.size() + 1);
            config.type = 5;
            config.id = static_cast<int16_t>(0x0101 + configs.size());
            config.sharedByProcesses = true;
            configs.push_back(std::move(config));
        }
    }
    if (!problem.empty()) {
        // No guess at what was meant: no boards at all, and the reason on the debug output.
        configs.clear();
        OutputDebugStringA(("OHDW32 - ORVANE_SIMBOARDS refused, no boards present: " + problem).c_str());
    }
    return true;
}

bool ClaimBoard(Board& board)
{
    if (!board.config.sharedByProcesses) {
        return true;
    }
    orvane::UniqueKernelHandle claim(CreateEventA(nullptr, TRUE, FALSE, ClaimName(board).c_str()));
    if (!claim || GetLastError() == ERROR_ALREADY_EXISTS) {
        return false;
    }
    board.claim = std::move(claim);
    return true;
}

void ReleaseClaim(Board& board)
{
    board.claim.Reset();
}

bool ClaimedElsewhere(const Board& board)
{
    if (!board.config.sharedByProcesses || board.open) {
        return false;
    }
    orvane::UniqueKernelHandle claim(OpenEventA(SYNCHRONIZE, FALSE, ClaimName(board).c_str()));
    return static_cast<bool>(claim);
}

int ModelIndexForBoardType(short type)
{
    switch (type) {
    case 4: return 2;
    case 5: case 8: return 4;
    case 6: case 9: return 5;
    case 7: case 10: return 6;
    case 13: case 16: return 8;
    case 14: case 17: return 9;
    case 19: case 20: case 21: case 22: return 7;
    case 23: return 11;
    case 24: return 12;
    default: return 14;
    }
}

const ModelTable& TheModelTable()
{
    static const ModelTable table = [] {
        ModelTable t{};
        t.entryCount = kOhdModelCount;
        t.entrySize = sizeof(ModelTableEntry);
        for (int i = 0; i < kOhdModelCount; ++i) {
            ModelTableEntry& e = t.entries[i];
            std::snprintf(e.name, sizeof e.name, "Orvane HD model %d", i);
            e.modelIndex = i;
            e.maxPixelClockKHz = 600000;
            e.minHorizontalFrequency = 5000;
            e.maxHorizontalFrequency = 150000;
            e.maxHorizontalTotal = 16383;
            e.maxVerticalTotal = 8191;
            e.gainMin = 5000;                // 0.5
            e.gainMax = 20000 + 1000 * i;    // 2.0 .. 3.4
            e.blackLevelMin = 0;             // 0.0
            e.blackLevelMax = 10000 + 500 * i;  // 1.0 .. 1.7
            e.phaseMaxTenths = 1275;         // 127.5
        }
        return t;
    }();
    return table;
}

ColourRegisters FactoryRegisters() { return ColourRegisters{128, 128, 128, 64, 64, 64}; }

ColourRegisters RegistersFromCalibration(const int32_t calibration[6])
{
    ColourRegisters registers = FactoryRegisters();
    for (int i = 0; i < 6; ++i) {
        int v = registers[static_cast<size_t>(i)] + calibration[i];
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        registers[static_cast<size_t>(i)] = static_cast<BYTE>(v);
    }
    return registers;
}

}  // namespace simboard

using namespace simboard;

extern "C" {

short WINAPI eHD_GetBoardCount(int zero, int maxBoards)
{
    try {
        StateGuard guard;
        WORD injected = 0;
        if (EnterOperation(Op::GetBoardCount, nullptr, &injected)) {
            return static_cast<short>(injected);
        }
        if (zero != 0 || maxBoards < 1) {
            return -1;
        }
        const int count = static_cast<int>(TheDevice().boards.size());
        return static_cast<short>(count < maxBoards ? count : maxBoards);
    } catch (...) {
        return -1;
    }
}

WORD WINAPI eHD_GetBoardList(int zero, DWORD size, BoardList* list)
{
    return BoardOperation(Op::GetBoardList, [&]() -> WORD {
        if (list == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        if (size != sizeof(BoardList)) {
            return OHD_ERR_INVALID_SIZE;
        }
        if (zero != 0) {
            return OHD_ERR_INVALID_ARGUMENT;
        }
        std::memset(list, 0, sizeof(BoardList));
        list->size = sizeof(BoardList);
        list->entrySize = sizeof(BoardListEntry);
        list->version = 0x0100;
        DWORD n = 0;
        for (const Board& board : TheDevice().boards) {
            if (n >= static_cast<DWORD>(kOhdMaxBoards)) {
                break;
            }
            BoardListEntry& entry = list->entries[n];
            entry.boardId = board.config.id;
            entry.boardType = board.config.type;
            entry.busSlot = n + 3;
            PutSerial(entry.serial, sizeof entry.serial, board.config.serial);
            entry.boardIndex = static_cast<int16_t>(board.config.index);
            entry.flags = board.open ? 1 : 0;
            ++n;
        }
        list->count = n;
        return OHD_OK;
    });
}

WORD WINAPI eHD_GetBoardName(BoardNameRequest* request)
{
    return BoardOperationOn(Op::GetBoardName, ById(request != nullptr ? static_cast<int16_t>(request->boardId & 0xFFFF) : 0), [&]() -> WORD {
        if (request == nullptr || request->name == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        const Board* board = TheDevice().FindBoardById(static_cast<int16_t>(request->boardId & 0xFFFF));
        if (board == nullptr) {
            return OHD_ERR_UNKNOWN_BOARD_ID;
        }
        CopyText(request->name, 32, board->config.name);
        return OHD_OK;
    });
}

WORD WINAPI eHD_OpenBoard(WORD boardIndex, OpenRecord* record)
{
    return BoardOperationOn(Op::OpenBoard, ByIndex(boardIndex), [&]() -> WORD {
        if (record == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Board* board = TheDevice().FindBoard(boardIndex);
        if (board == nullptr) {
            return OHD_ERR_UNKNOWN_BOARD;
        }
        // Open here already, or in another process.
        if (board->open || !ClaimBoard(*board)) {
            return OHD_ERR_BOARD_ALREADY_OPEN;
        }
        board->open = true;
        ++board->openCount;
        std::memset(record, 0, sizeof(OpenRecord));
        record->boardIndex = board->config.index;
        record->boardType = board->config.type;
        record->firmwareVersion = 0x00020104;
        PutSerial(record->serial, sizeof record->serial, board->config.serial);
        record->memoryMegabytes = 256;
        record->openCount = board->openCount;
        return OHD_OK;
    });
}

void WINAPI eHD_CloseBoard(WORD boardIndex)
{
    try {
        ControlGuard control;
        {
            StateGuard guard;
            WORD injected = 0;
            if (EnterOperation(Op::CloseBoard, TheDevice().FindBoard(boardIndex), &injected)) {
                return;
            }
            const Board* board = TheDevice().FindBoard(boardIndex);
            if (board == nullptr || !board->open) {
                return;
            }
        }
        CloseBoardStream(boardIndex);
        StateGuard guard;
        if (Board* board = TheDevice().FindBoard(boardIndex)) {
            board->modeHandle = 0;
            board->open = false;
            board->active = false;
            ReleaseClaim(*board);
        }
    } catch (...) {
    }
}

const void* WINAPI eHD_GetModelTable(void)
{
    try {
        StateGuard guard;
        WORD injected = 0;
        if (EnterOperation(Op::GetModelTable, nullptr, &injected)) {
            return nullptr;
        }
        return &TheModelTable();
    } catch (...) {
        return nullptr;
    }
}

WORD WINAPI eHD_GetBoardInfo(WORD boardIndex, DWORD item, DWORD size, void* buffer)
{
    return BoardOperationOn(Op::GetBoardInfo, ByIndex(boardIndex), [&]() -> WORD {
        if (buffer == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Board* board = TheDevice().FindBoard(boardIndex);
        if (board == nullptr) {
            return OHD_ERR_UNKNOWN_BOARD;
        }
        if (!board->open) {
            return OHD_ERR_BOARD_NOT_OPEN;
        }
        DWORD needed = 0;
        switch (item) {
        case OHD_INFO_SERIAL: needed = 8; break;
        case OHD_INFO_FIRMWARE: needed = 4; break;
        case OHD_INFO_MEMORY_MB: needed = 4; break;
        case OHD_INFO_BOARD_TYPE: needed = 2; break;
        default: return OHD_ERR_UNKNOWN_INFO_ITEM;
        }
        if (size < needed || size > 256) {
            return OHD_ERR_INVALID_SIZE;
        }
        switch (item) {
        case OHD_INFO_SERIAL: PutSerial(static_cast<char*>(buffer), size, board->config.serial); break;
        case OHD_INFO_FIRMWARE: { const DWORD v = 0x00020104; std::memcpy(buffer, &v, 4); break; }
        case OHD_INFO_MEMORY_MB: { const DWORD v = 256; std::memcpy(buffer, &v, 4); break; }
        case OHD_INFO_BOARD_TYPE: { const int16_t v = board->config.type; std::memcpy(buffer, &v, 2); break; }
        default: break;
        }
        return OHD_OK;
    });
}

}  // extern "C"
