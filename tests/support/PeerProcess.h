#pragma once
// Runs a peer program (built beside the test program) as a child process: reads the lines it
// prints and steps it on with its go and quit events, whose names come first on its command line.
// Every wait is bounded; a peer still running when this object goes is terminated.
#include <windows.h>

#include <optional>
#include <string>

namespace orvane::test {

class PeerProcess {
public:
    // `program` is the file name beside the test program ("timebase_peer.exe"); `arguments` follow
    // the two event names on its command line ("hold 123", "churn 8 200").
    PeerProcess(const std::string& program, const std::string& arguments);
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    // The next line the peer printed, without its line end; none when none came within the bound.
    std::optional<std::string> ReadLine(DWORD milliseconds);
    void Go() { SetEvent(go_); }
    void Quit() { SetEvent(quit_); }
    // The exit code; none when the peer did not end within the bound.
    std::optional<DWORD> WaitExit(DWORD milliseconds);

private:
    HANDLE go_ = nullptr;
    HANDLE quit_ = nullptr;
    HANDLE output_ = nullptr;
    HANDLE process_ = nullptr;
    std::string pending_;
};

}  // namespace orvane::test
