#pragma once
// Every operation the host can call runs inside this boundary: no C++ exception may leave the
// module through a COM interface (the host may use another runtime, and on some builds an
// exception unwinding into it ends the host process).
//
// The card reports failures meant for the host as a thrown message text (constant or composed);
// those become an error object with DISP_E_EXCEPTION. A call the grab state does not allow becomes
// an error object with E_ILLEGAL_METHOD_CALL. Running out of memory becomes E_OUTOFMEMORY; anything
// else is a fault of the module, logged and answered with E_UNEXPECTED.
#include <windows.h>

#include <new>

#include "platform/MessageException.h"
#include "platform/Diagnostics.h"
#include "platform/ErrorReporting.h"

namespace orvane {

template <typename Operation>
HRESULT CallAtInterface(Operation&& operation) noexcept
{
    try {
        return operation();
    } catch (MessageException message) {
        return ReportError(message, S_OK);
    } catch (const ComposedMessage& message) {
        return ReportError(message.Text(), S_OK);
    } catch (const IllegalCallException& refused) {
        return ReportError(refused.text, kIllegalMethodCall);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        Trace("Orvane - unexpected exception stopped at the host interface");
        return E_UNEXPECTED;
    }
}

}  // namespace orvane
