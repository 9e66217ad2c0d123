#pragma once
// The frame every board operation runs in: an armed delay first, then under the state lock its
// call counted, an armed fault answered instead of the operation, and no C++ exception leaving
// the DLL. An operation addressed to one board counts there too, and answers a fault armed on it.
#include <utility>

#include "simboard/FaultInjection.h"
#include "simboard/SimState.h"

namespace simboard {

// The board an operation is addressed to, found under the state lock (null: none such).
inline auto ByIndex(WORD boardIndex)
{
    return [boardIndex] { return TheDevice().FindBoard(boardIndex); };
}
inline auto ByMode(DWORD mode)
{
    return [mode] { return TheDevice().FindMode(mode); };
}
inline auto ById(int16_t id)
{
    return [id] { return TheDevice().FindBoardById(id); };
}

template <class Locate, class Body>
WORD BoardOperationOn(Op op, Locate&& locate, Body&& body)
{
    return Guarded([&]() -> WORD {
        // A slow board: the caller waits, the rest of the board (producer, other calls) does not.
        if (const DWORD delay = TakeDelay(op); delay != 0) {
            Sleep(delay);
        }
        StateGuard guard;
        WORD injected = 0;
        if (EnterOperation(op, locate(), &injected)) {
            return injected;
        }
        return body();
    });
}

// An operation addressed to no board in particular.
template <class Body>
WORD BoardOperation(Op op, Body&& body)
{
    return BoardOperationOn(op, []() -> Board* { return nullptr; }, std::forward<Body>(body));
}

}  // namespace simboard
