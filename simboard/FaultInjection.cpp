// Fault injection and per-operation call counts.
#include "simboard/FaultInjection.h"

#include <cstring>
#include <utility>

#include "simboard/SimState.h"

namespace simboard {

namespace {

const char* const kNames[kOpCount] = {
    nullptr,
    "eHD_GetBoardCount", "eHD_GetBoardList", "eHD_GetBoardName", "eHD_OpenBoard", "eHD_CloseBoard",
    "eHD_SetParameter", "eHD_GetParameter", "eHD_ReadConfigFile", "eHD_ReleaseMode",
    "eHD_CreateMode", "eHD_SetMode", "eHD_GetMode", "eHD_GetModelTable", "eHD_GetBoardInfo",
    "eHD_GetErrorText", "eHD_LiveStreamOpen", "eHD_LiveStreamMode", "eHD_LiveStreamClose",
    "eHD_GetStreamBuffer", "eHD_ReleaseStreamBuffer", "eHD_TestWhiteBalance", "eHD_SetWhiteBalance",
};

}  // namespace

const char* OpName(Op op)
{
    const int i = static_cast<int>(op);
    return i > 0 && i < kOpCount ? kNames[i] : "?";
}

int OpFromName(const char* name)
{
    if (name == nullptr) {
        return 0;
    }
    for (int i = 1; i < kOpCount; ++i) {
        if (lstrcmpiA(name, kNames[i]) == 0 || lstrcmpiA(name, kNames[i] + 4) == 0) {
            return i;
        }
    }
    return 0;
}

void ArmFault(Op op, WORD status, int count)
{
    Fault& fault = TheDevice().faults[static_cast<int>(op)];
    fault.status = status;
    fault.remaining = count > 0 ? count : 0;
}

void ArmDelay(Op op, DWORD milliseconds)
{
    TheDevice().faults[static_cast<int>(op)].delayMilliseconds = milliseconds;
}

DWORD TakeDelay(Op op)
{
    StateGuard guard;
    Device& device = TheDevice();
    const DWORD delay = std::exchange(device.faults[static_cast<int>(op)].delayMilliseconds, 0);
    if (delay != 0) {
        device.Count(nullptr, &Counters::callsDelayed);
    }
    return delay;
}

void ClearFaults()
{
    for (Fault& fault : TheDevice().faults) {
        fault = Fault{};
    }
    for (Board& board : TheDevice().boards) {
        board.faults.fill(Fault{});
    }
}

void ArmBoardFault(Board& board, Op op, WORD status, int count)
{
    Fault& fault = board.faults[static_cast<int>(op)];
    fault.status = status;
    fault.remaining = count > 0 ? count : 0;
}

bool EnterOperation(Op op, Board* board, WORD* injected)
{
    Device& device = TheDevice();
    const int i = static_cast<int>(op);
    ++device.calls[i];
    if (board != nullptr) {
        ++board->calls[i];
    }
    // A fault armed for every board comes first, then one armed on this board.
    for (Fault* fault : {&device.faults[i], board != nullptr ? &board->faults[i] : nullptr}) {
        if (fault != nullptr && fault->remaining > 0) {
            --fault->remaining;
            device.Count(board, &Counters::faultsInjected);
            *injected = fault->status;
            return true;
        }
    }
    return false;
}

}  // namespace simboard
