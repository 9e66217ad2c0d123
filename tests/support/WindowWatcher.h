#pragma once
// Watches this process's top-level windows for as long as it lives, for tests of code that must
// open none: every visible window and every dialog that shows up is recorded and then dismissed,
// so that a test whose code opened one fails instead of hanging on it.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace orvane::test {

class WindowWatcher {
public:
    WindowWatcher();
    ~WindowWatcher();
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    // Stops watching (after one last look) and answers the titles of the windows seen; empty when
    // none appeared.
    std::vector<std::string> Stop();

private:
    static DWORD WINAPI Run(LPVOID self);
    void Look();

    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    std::mutex mutex_;
    struct Seen {
        HWND window;
        ULONGLONG since;     // when it was first seen
        bool answered;
        std::string title;   // read when it is answered
    };
    std::vector<Seen> seen_;
};

}  // namespace orvane::test
