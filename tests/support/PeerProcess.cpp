#include "tests/support/PeerProcess.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/ModulePath.h"

namespace orvane::test {

namespace {

// Unique among the peers of every test process: process id, this object's address and the moment.
std::string UniqueEventName(const void* owner, const char* role)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return "OrvanePeer-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(reinterpret_cast<std::uintptr_t>(owner)) + "-" + std::to_string(now.QuadPart) + "-" + role;
}

}  // namespace

PeerProcess::PeerProcess(const std::string& program, const std::string& arguments)
{
    const std::string goName = UniqueEventName(this, "go");
    const std::string quitName = UniqueEventName(this, "quit");
    go_ = CreateEventA(nullptr, TRUE, FALSE, goName.c_str());
    quit_ = CreateEventA(nullptr, TRUE, FALSE, quitName.c_str());

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE childOutput = nullptr;
    if (go_ == nullptr || quit_ == nullptr || !CreatePipe(&output_, &childOutput, &inheritable, 0)) {
        ADD_FAILURE() << "cannot prepare the peer's events and pipe: " << GetLastError();
        return;
    }
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);

    std::string commandLine = "\"" + BesideTestProgramA(program) + "\" " + goName + " " + quitName + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = childOutput;
    startup.hStdError = childOutput;
    PROCESS_INFORMATION started{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
        process_ = started.hProcess;
        CloseHandle(started.hThread);
    } else {
        ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
    }
    CloseHandle(childOutput);
}

PeerProcess::~PeerProcess()
{
    if (process_ != nullptr) {
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 10000);
        }
        CloseHandle(process_);
    }
    for (HANDLE handle : {output_, go_, quit_}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
}

std::optional<std::string> PeerProcess::ReadLine(DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        DWORD available = 0;
        if (output_ == nullptr || !PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) {
            return std::nullopt;  // the peer has gone and everything it wrote has been read
        }
        if (available > 0) {
            char chunk[512];
            DWORD read = 0;
            if (ReadFile(output_, chunk, available < sizeof chunk ? available : sizeof chunk, &read, nullptr)) {
                pending_.append(chunk, read);
            }
            continue;
        }
        if (GetTickCount64() >= deadline) {
            return std::nullopt;
        }
        Sleep(2);
    }
}

std::optional<DWORD> PeerProcess::WaitExit(DWORD milliseconds)
{
    DWORD code = 0;
    if (process_ == nullptr || WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_, &code)) {
        return std::nullopt;
    }
    return code;
}

}  // namespace orvane::test
