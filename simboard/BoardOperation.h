#pragma once
// The frame every board operation runs in: an armed delay first, then under the state lock its
// call counted, an armed fault answered instead of the operation, and no C++ exception leaving
// the DLL.
#include "simboard/FaultInjection.h"
#include "simboard/SimState.h"

namespace simboard {

template <class Body>
WORD BoardOperation(Op op, Body&& body)
{
    return Guarded([&]() -> WORD {
        // A slow board: the caller waits, the rest of the board (producer, other calls) does not.
        if (const DWORD delay = TakeDelay(op); delay != 0) {
            Sleep(delay);
        }
        StateGuard guard;
        WORD injected = 0;
        if (EnterOperation(op, &injected)) {
            return injected;
        }
        return body();
    });
}

}  // namespace simboard
