// The per-process device state.
#include "simboard/SimState.h"

#include <cstring>

#include "simboard/LiveStream.h"

namespace simboard {

namespace {
Device* g_device = nullptr;
}  // namespace

Board::Board() = default;
Board::Board(Board&&) noexcept = default;
Board& Board::operator=(Board&&) noexcept = default;
Board::~Board() = default;

Device::Device()
{
    InitializeCriticalSection(&stateLock);
    InitializeCriticalSection(&controlLock);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    qpcFrequency = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    RestoreDefaults();
}

Device::~Device()
{
    boards.clear();
    DeleteCriticalSection(&controlLock);
    DeleteCriticalSection(&stateLock);
}

Board* Device::FindBoard(WORD index)
{
    if (index == 0) {
        return nullptr;
    }
    for (Board& board : boards) {
        if (board.config.index == index) {
            return &board;
        }
    }
    return nullptr;
}

Board* Device::FindBoardById(int16_t id)
{
    for (Board& board : boards) {
        if (board.config.id == id) {
            return &board;
        }
    }
    return nullptr;
}

Board* Device::FindMode(DWORD handle)
{
    if (handle == 0) {
        return nullptr;
    }
    for (Board& board : boards) {
        if (board.modeHandle == handle) {
            return &board;
        }
    }
    return nullptr;
}

void Device::RestoreDefaults()
{
    settings = BoardSettings{};
    std::vector<BoardConfig> configs;
    if (!BoardsFromEnvironment(configs)) {
        configs.assign(1, DefaultBoard());
    }
    ReplaceBoards(std::move(configs));
    timeCode = false;
    timeCodeRate = 30;
    headerOnly = false;
    counters = Counters{};
    calls.fill(0);
    faults.fill(Fault{});
    frameRateMilliHz = 0;
    fillTimes.clear();
    lastConfigStatus = 0;
    lastConfigDetail.clear();
}

void Device::ReplaceBoards(std::vector<BoardConfig> configs)
{
    // The counts of the boards that go stay in the device's sums.
    boards.clear();
    for (BoardConfig& config : configs) {
        Board board;
        board.config = std::move(config);
        board.registers = FactoryRegisters();
        board.settings = settings;
        boards.push_back(std::move(board));
    }
}

void Device::Count(Board* board, long long Counters::*counter, long long amount)
{
    counters.*counter += amount;
    if (board != nullptr) {
        board->counters.*counter += amount;
    }
}

Device& TheDevice() { return *g_device; }

void CreateDevice()
{
    if (g_device == nullptr) {
        g_device = new Device;
    }
}

void DestroyDevice()
{
    delete g_device;
    g_device = nullptr;
}

LONGLONG QpcNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void CopyText(char* destination, size_t capacity, const std::string& text)
{
    if (destination == nullptr || capacity == 0) {
        return;
    }
    const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(destination, text.data(), n);
    destination[n] = '\0';
}

}  // namespace simboard
