// Named board parameters: eHD_SetParameter / eHD_GetParameter.
//
//   "HardReset"   set only; accepted before eHD_OpenBoard. Any value. Puts brightness, contrast,
//                 hue, saturation, the colour registers and the ActiveMode flag back to their
//                 power-on values (the mode stays). Refused (busy) while a live stream is open,
//                 and (already open) for a shared board that another process has open.
//   "ActiveMode"  set 0 or 1 (needs a mode). Read: bit 0 = set to 1, bit 1 = live stream
//                 started, bit 4 (0x10) = input locked (signal present and a mode created).
//   "Brightness", "Contrast", "Hue", "Saturation": one byte each (0..255), power-on value 128.
// The block is 4 bytes (value only) or a ParameterBlock; the value is its first 32-bit word.
#include <cstring>

#include "interfaces/BoardLibrary.h"
#include "simboard/BoardOperation.h"
#include "simboard/LiveStream.h"
#include "simboard/SimState.h"

namespace simboard {

namespace {

enum class Param { Unknown, HardReset, ActiveMode, Brightness, Contrast, Hue, Saturation };

Param Lookup(const char* name)
{
    static const struct {
        const char* name;
        Param param;
    } kParams[] = {{"HardReset", Param::HardReset},   {"ActiveMode", Param::ActiveMode}, {"Brightness", Param::Brightness},
                   {"Contrast", Param::Contrast},     {"Hue", Param::Hue},               {"Saturation", Param::Saturation}};
    for (const auto& entry : kParams) {
        if (std::strcmp(name, entry.name) == 0) {
            return entry.param;
        }
    }
    return Param::Unknown;
}

BYTE* ByteParameter(Board& board, Param param)
{
    switch (param) {
    case Param::Brightness: return &board.brightness;
    case Param::Contrast: return &board.contrast;
    case Param::Hue: return &board.hue;
    case Param::Saturation: return &board.saturation;
    default: return nullptr;
    }
}

// Common checks; on success `board` and `param` are set.
WORD Prepare(WORD boardIndex, const char* name, DWORD blockSize, const void* block, Board*& board, Param& param)
{
    if (name == nullptr || block == nullptr) {
        return OHD_ERR_NULL_POINTER;
    }
    board = TheDevice().FindBoard(boardIndex);
    if (board == nullptr) {
        return OHD_ERR_UNKNOWN_BOARD;
    }
    param = Lookup(name);
    if (param == Param::Unknown) {
        return OHD_ERR_UNKNOWN_PARAMETER;
    }
    if (blockSize < sizeof(DWORD) || blockSize > sizeof(ParameterBlock)) {
        return OHD_ERR_INVALID_SIZE;
    }
    if (param != Param::HardReset && !board->open) {
        return OHD_ERR_BOARD_NOT_OPEN;
    }
    return OHD_OK;
}

}  // namespace

}  // namespace simboard

using namespace simboard;

extern "C" {

WORD WINAPI eHD_SetParameter(WORD boardIndex, const char* name, DWORD blockSize, void* block)
{
    return BoardOperationOn(Op::SetParameter, ByIndex(boardIndex), [&]() -> WORD {
        Board* board = nullptr;
        Param param = Param::Unknown;
        if (const WORD status = Prepare(boardIndex, name, blockSize, block, board, param)) {
            return status;
        }
        DWORD value = 0;
        std::memcpy(&value, block, sizeof value);
        switch (param) {
        case Param::HardReset:
            if (board->stream != nullptr) {
                return OHD_ERR_BOARD_BUSY;
            }
            // A board that another process has open is that process's: resetting it would upset
            // its stream.
            if (ClaimedElsewhere(*board)) {
                return OHD_ERR_BOARD_ALREADY_OPEN;
            }
            board->brightness = board->contrast = board->hue = board->saturation = 128;
            board->registers = FactoryRegisters();
            board->active = false;
            board->whiteBalanceMeasured = false;
            TheDevice().Count(board, &Counters::hardResets);
            return OHD_OK;
        case Param::ActiveMode:
            if (value > 1) {
                return OHD_ERR_PARAMETER_OUT_OF_RANGE;
            }
            if (board->modeHandle == 0) {
                return OHD_ERR_NO_MODE;
            }
            board->active = value == 1;
            return OHD_OK;
        default:
            if (value > 255) {
                return OHD_ERR_PARAMETER_OUT_OF_RANGE;
            }
            *ByteParameter(*board, param) = static_cast<BYTE>(value);
            return OHD_OK;
        }
    });
}

WORD WINAPI eHD_GetParameter(WORD boardIndex, const char* name, DWORD blockSize, void* block)
{
    return BoardOperationOn(Op::GetParameter, ByIndex(boardIndex), [&]() -> WORD {
        Board* board = nullptr;
        Param param = Param::Unknown;
        if (const WORD status = Prepare(boardIndex, name, blockSize, block, board, param)) {
            return status;
        }
        DWORD value = 0;
        switch (param) {
        case Param::HardReset:
            return OHD_ERR_PARAMETER_WRITE_ONLY;
        case Param::ActiveMode:
            value = (board->active ? 0x01u : 0u) | (board->stream != nullptr && board->stream->started ? 0x02u : 0u) |
                    (board->settings.signal && board->modeHandle != 0 ? 0x10u : 0u);
            break;
        default:
            value = *ByteParameter(*board, param);
            break;
        }
        std::memcpy(block, &value, sizeof value);
        return OHD_OK;
    });
}

}  // extern "C"
