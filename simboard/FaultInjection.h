#pragma once
// Fault injection: any operation can be made to answer a chosen status for its next N calls.
#include <windows.h>

namespace simboard {

struct Board;  // SimState.h

// The 22 operations, numbered as their export ordinals.
enum class Op : int {
    GetBoardCount = 1, GetBoardList, GetBoardName, OpenBoard, CloseBoard, SetParameter, GetParameter,
    ReadConfigFile, ReleaseMode, CreateMode, SetMode, GetMode, GetModelTable, GetBoardInfo,
    GetErrorText, LiveStreamOpen, LiveStreamMode, LiveStreamClose, GetStreamBuffer,
    ReleaseStreamBuffer, TestWhiteBalance, SetWhiteBalance,
};
constexpr int kOpCount = 23;  // index 0 unused

// "eHD_OpenBoard" for Op::OpenBoard.
const char* OpName(Op op);
// Accepts "eHD_OpenBoard" or "OpenBoard" (case-insensitive); 0 when unknown.
int OpFromName(const char* name);

// Arms a fault (count 0 disarms). State lock held by the caller.
void ArmFault(Op op, WORD status, int count);
void ClearFaults();

// Makes the next call of `op` take `milliseconds` longer (0 disarms). State lock held by the caller.
void ArmDelay(Op op, DWORD milliseconds);
// Takes the armed delay of `op`, if any, counting it; 0 when none. Takes the state lock itself.
DWORD TakeDelay(Op op);

// Counts the call of `op` (also on `board`, the board it is addressed to, when there is one); if
// a fault is armed for every board or for that one, consumes it and returns true with its status.
// State lock held by the caller.
bool EnterOperation(Op op, Board* board, WORD* injected);

// Arms a fault on one board only (count 0 disarms). State lock held by the caller.
void ArmBoardFault(Board& board, Op op, WORD status, int count);

}  // namespace simboard
