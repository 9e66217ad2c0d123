// Modes: eHD_CreateMode, eHD_ReleaseMode, eHD_SetMode, eHD_GetMode. The board keeps one mode at
// a time; its current values are what eHD_SetMode applied last and what eHD_GetMode returns.
#include <cstring>

#include "interfaces/BoardLibrary.h"
#include "simboard/BoardOperation.h"
#include "simboard/LiveStream.h"
#include "simboard/SimState.h"

namespace simboard {

namespace {

bool Within(long long value, long long low, long long high) { return value >= low && value <= high; }

bool AnalogueValid(const ModeRecord& m, const ModelTableEntry& model)
{
    if (!Within(m.gain, model.gainMin, model.gainMax) || !Within(m.blackLevel, model.blackLevelMin, model.blackLevelMax)) {
        return false;
    }
    for (int32_t c : m.colourCalibration) {
        if (!Within(c, -255, 255)) {
            return false;
        }
    }
    return true;
}

// The same limits as eHD_ReadConfigFile, and the active area inside the timing.
bool ModeValid(const ModeRecord& m, const ModelTableEntry& model)
{
    return AnalogueValid(m, model) && Within(m.horizontalTotal, 16, 16383) && Within(m.verticalTotal, 2, 8191) &&
           Within(m.horizontalFrequency, 5000, 150000) && Within(m.horizontalBackSync, 4, 8191) &&
           m.horizontalBackSync < m.horizontalTotal && Within(m.verticalBackPorchTenths, 0, 40950) &&
           m.verticalBackPorchTenths / 10 < m.verticalTotal &&
           Within(m.activePixels, 4, m.horizontalTotal - m.horizontalBackSync) &&
           Within(m.activeLines, 1, m.verticalTotal - m.verticalBackPorchTenths / 10) && Within(m.cableType, 0, 2) &&
           Within(m.phaseTenths, 0, 1275) && Within(m.pixelMode, 0, 1);
}

const ModelTableEntry& ModelOf(const Board& board) { return TheModelTable().entries[ModelIndexForBoardType(board.config.type)]; }

void DeriveFields(ModeRecord& m)
{
    m.verticalFrequencyMilliHz = static_cast<int32_t>(static_cast<long long>(m.horizontalFrequency) * 1000 / m.verticalTotal);
    m.pixelClockKHz = static_cast<int32_t>(static_cast<long long>(m.horizontalTotal) * m.horizontalFrequency / 1000);
}

}  // namespace

}  // namespace simboard

using namespace simboard;

extern "C" {

DWORD WINAPI eHD_CreateMode(WORD boardIndex, DWORD zero, ModeRecord* record)
{
    try {
        StateGuard guard;
        WORD injected = 0;
        if (EnterOperation(Op::CreateMode, TheDevice().FindBoard(boardIndex), &injected)) {
            return 0;
        }
        Device& device = TheDevice();
        Board* board = device.FindBoard(boardIndex);
        if (record == nullptr || zero != 0 || board == nullptr || !board->open || record->signature != kOhdModeSignature) {
            return 0;
        }
        if (!ModeValid(*record, ModelOf(*board)) || board->stream != nullptr) {
            return 0;
        }
        DWORD handle = device.nextModeHandle++;
        if (handle == 0) {
            handle = device.nextModeHandle++;
        }
        board->modeHandle = handle;
        board->mode = *record;
        board->mode.boardIndex = boardIndex;
        board->mode.recordSize = sizeof(ModeRecord);
        DeriveFields(board->mode);
        board->registers = RegistersFromCalibration(board->mode.colourCalibration);
        return handle;
    } catch (...) {
        return 0;
    }
}

WORD WINAPI eHD_ReleaseMode(WORD boardIndex)
{
    return BoardOperationOn(Op::ReleaseMode, ByIndex(boardIndex), [&]() -> WORD {
        Board* board = TheDevice().FindBoard(boardIndex);
        if (board == nullptr) {
            return OHD_ERR_UNKNOWN_BOARD;
        }
        if (!board->open) {
            return OHD_ERR_BOARD_NOT_OPEN;
        }
        if (board->modeHandle == 0) {
            return OHD_ERR_NO_MODE;
        }
        if (board->stream != nullptr) {
            return OHD_ERR_BOARD_BUSY;
        }
        board->modeHandle = 0;
        return OHD_OK;
    });
}

WORD WINAPI eHD_SetMode(DWORD mode, ModeRecord* record, DWORD applyCode)
{
    return BoardOperationOn(Op::SetMode, ByMode(mode), [&]() -> WORD {
        if (record == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Board* board = TheDevice().FindMode(mode);
        if (board == nullptr) {
            return OHD_ERR_INVALID_MODE_HANDLE;
        }
        if (record->signature != kOhdModeSignature) {
            return OHD_ERR_MODE_RECORD_INVALID;
        }
        ModeRecord& current = board->mode;
        if (applyCode == OHD_APPLY_FULL) {
            if (!ModeValid(*record, ModelOf(*board))) {
                return OHD_ERR_MODE_OUT_OF_RANGE;
            }
            const WORD boardIndex = current.boardIndex;
            current = *record;
            current.boardIndex = boardIndex;
            current.recordSize = sizeof(ModeRecord);
            DeriveFields(current);
            WakeProducers();  // the frame period may have changed
        } else if (applyCode == OHD_APPLY_ANALOGUE) {
            if (!AnalogueValid(*record, ModelOf(*board))) {
                return OHD_ERR_MODE_OUT_OF_RANGE;
            }
            current.gain = record->gain;
            current.blackLevel = record->blackLevel;
            std::memcpy(current.colourCalibration, record->colourCalibration, sizeof current.colourCalibration);
        } else {
            return OHD_ERR_INVALID_APPLY_CODE;
        }
        board->registers = RegistersFromCalibration(current.colourCalibration);
        return OHD_OK;
    });
}

WORD WINAPI eHD_GetMode(DWORD mode, ModeRecord* record)
{
    return BoardOperationOn(Op::GetMode, ByMode(mode), [&]() -> WORD {
        if (record == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Board* board = TheDevice().FindMode(mode);
        if (board == nullptr) {
            return OHD_ERR_INVALID_MODE_HANDLE;
        }
        std::memcpy(record, &board->mode, sizeof(ModeRecord));
        std::memcpy(record->colourRegisters, board->registers.data(), board->registers.size());
        return OHD_OK;
    });
}

}  // extern "C"
