// Automatic white balance: eHD_TestWhiteBalance measures, eHD_SetWhiteBalance applies or restores.
//
// Colour registers (red/green/blue gain, red/green/blue offset) = factory values + the colour
// calibration of the mode (the "O-RGB Calibration <serial>" section of the CHP file). The test
// reports the factory registers as the first set and the registers that balance the simulated
// input as the second; their difference is therefore exactly the calibration that reproduces the
// balanced registers when the module writes it into the CHP file and the file is read again. The
// simulated input's colour cast is fixed per board (derived from its serial number).
#include <cstring>

#include "interfaces/BoardLibrary.h"
#include "simboard/BoardOperation.h"
#include "simboard/SimState.h"

namespace simboard {

namespace {

ColourRegisters BalancedRegisters(const std::string& serial)
{
    DWORD hash = 2166136261u;
    for (char c : serial) {
        hash = (hash ^ static_cast<BYTE>(c)) * 16777619u;
    }
    const int correction[6] = {
        4 + static_cast<int>(hash % 9),             // red gain   +4..+12
        -static_cast<int>((hash >> 4) % 4),         // green gain  0..-3
        3 + static_cast<int>((hash >> 8) % 7),      // blue gain  +3..+9
        static_cast<int>((hash >> 12) % 5) - 2,     // red offset -2..+2
        static_cast<int>((hash >> 16) % 3) - 1,     // green offset
        static_cast<int>((hash >> 20) % 5) - 2,     // blue offset
    };
    const int32_t calibration[6] = {correction[0], correction[1], correction[2], correction[3], correction[4], correction[5]};
    return RegistersFromCalibration(calibration);
}

void StoreCalibration(Board& board, const ColourRegisters& registers, ModeRecord* record)
{
    const ColourRegisters factory = FactoryRegisters();
    board.registers = registers;
    for (size_t i = 0; i < 6; ++i) {
        const int32_t calibration = static_cast<int32_t>(registers[i]) - static_cast<int32_t>(factory[i]);
        board.mode.colourCalibration[i] = calibration;
        record->colourCalibration[i] = calibration;
        record->colourRegisters[i] = registers[i];
    }
}

}  // namespace

}  // namespace simboard

using namespace simboard;

extern "C" {

WORD WINAPI eHD_TestWhiteBalance(DWORD mode, ModeRecord* record, WhiteBalanceRecord* balance)
{
    return BoardOperationOn(Op::TestWhiteBalance, ByMode(mode), [&]() -> WORD {
        if (record == nullptr || balance == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Device& device = TheDevice();
        Board* board = device.FindMode(mode);
        if (board == nullptr) {
            return OHD_ERR_INVALID_MODE_HANDLE;
        }
        if (!board->settings.signal) {
            return OHD_ERR_NO_SIGNAL;
        }
        const ColourRegisters factory = FactoryRegisters();
        board->preTestRegisters = board->registers;
        board->measuredRegisters = BalancedRegisters(board->config.serial);
        board->whiteBalanceMeasured = true;
        balance->measured = 1;
        std::memcpy(balance->firstSet, factory.data(), 6);
        balance->origRedGain = board->registers[0];
        device.Count(board, &Counters::whiteBalanceMeasurements);
        balance->measureCount = static_cast<DWORD>(device.counters.whiteBalanceMeasurements);
        std::memcpy(balance->secondSet, board->measuredRegisters.data(), 6);
        return OHD_OK;
    });
}

WORD WINAPI eHD_SetWhiteBalance(DWORD mode, ModeRecord* record, WhiteBalanceRecord* balance)
{
    return BoardOperationOn(Op::SetWhiteBalance, ByMode(mode), [&]() -> WORD {
        if (record == nullptr || balance == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Board* board = TheDevice().FindMode(mode);
        if (board == nullptr) {
            return OHD_ERR_INVALID_MODE_HANDLE;
        }
        if (balance->command > 1) {
            return OHD_ERR_INVALID_COMMAND;
        }
        if (!board->whiteBalanceMeasured || balance->measured != 1) {
            return OHD_ERR_WB_NOT_MEASURED;
        }
        if (balance->command == 0) {
            ColourRegisters measured{};
            std::memcpy(measured.data(), balance->secondSet, 6);
            StoreCalibration(*board, measured, record);
        } else {
            StoreCalibration(*board, board->preTestRegisters, record);
        }
        return OHD_OK;
    });
}

}  // extern "C"
