#include "tools/capture/ConsoleInterrupt.h"

namespace orvane::capture {

std::atomic<HANDLE> ConsoleInterrupt::handlerEvent_{nullptr};

ConsoleInterrupt::ConsoleInterrupt()
{
    event_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (event_.Get() != nullptr) {
        handlerEvent_ = event_.Get();
        installed_ = SetConsoleCtrlHandler(&ConsoleInterrupt::Handle, TRUE) != FALSE;
    }
}

ConsoleInterrupt::~ConsoleInterrupt()
{
    if (installed_) {
        SetConsoleCtrlHandler(&ConsoleInterrupt::Handle, FALSE);
    }
    handlerEvent_ = nullptr;
}

BOOL WINAPI ConsoleInterrupt::Handle(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    const HANDLE event = handlerEvent_.load();
    if (event == nullptr || WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
        return FALSE;  // the second one: the default handler ends the process
    }
    SetEvent(event);
    return TRUE;
}

}  // namespace orvane::capture
