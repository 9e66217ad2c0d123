#include "tests/support/WindowWatcher.h"

#include <algorithm>

namespace orvane::test {

namespace {

constexpr ULONGLONG kSettleMs = 500;

BOOL CALLBACK CollectOwnWindow(HWND window, LPARAM param)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) {
        return TRUE;
    }
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (IsWindowVisible(window) || lstrcmpA(cls, "#32770") == 0) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
}

}  // namespace

WindowWatcher::WindowWatcher()
{
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &WindowWatcher::Run, this, 0, nullptr);
}

WindowWatcher::~WindowWatcher()
{
    Stop();
    CloseHandle(stop_);
}

std::vector<std::string> WindowWatcher::Stop()
{
    if (thread_ != nullptr) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        thread_ = nullptr;
        Look();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> titles;
    for (const Seen& seen : seen_) {
        titles.push_back(seen.answered ? seen.title : "(window never shown)");
    }
    return titles;
}

DWORD WINAPI WindowWatcher::Run(LPVOID self)
{
    auto* watcher = static_cast<WindowWatcher*>(self);
    do {
        watcher->Look();
    } while (WaitForSingleObject(watcher->stop_, 2) == WAIT_TIMEOUT);
    return 0;
}

void WindowWatcher::Look()
{
    std::vector<HWND> windows;
    EnumWindows(CollectOwnWindow, reinterpret_cast<LPARAM>(&windows));
    std::lock_guard<std::mutex> lock(mutex_);
    const ULONGLONG now = GetTickCount64();
    for (HWND window : windows) {
        auto seen = std::find_if(seen_.begin(), seen_.end(), [&](const Seen& s) { return s.window == window; });
        if (seen == seen_.end()) {
            seen_.push_back(Seen{window, now, false, {}});
            seen = seen_.end() - 1;
        }
        // A dialog is seen while it is being built; its title and buttons are there once it shows
        // (or, should it never show, a moment later).
        if (!IsWindowVisible(window) && now - seen->since < kSettleMs) {
            continue;
        }
        if (!seen->answered) {
            seen->answered = true;
            // Read without sending the window a message: its thread is busy inside the call under test.
            wchar_t title[256] = {};
            InternalGetWindowText(window, title, 256);
            char narrow[512] = {};
            WideCharToMultiByte(CP_ACP, 0, title, -1, narrow, sizeof narrow, nullptr, nullptr);
            seen->title = narrow[0] != '\0' ? narrow : "(untitled window)";
        }
        // Whatever it asks, an answer that ends it: a file dialog cancelled, a question answered
        // no, a message acknowledged.
        for (int command : {IDCANCEL, IDNO, IDOK}) {
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        }
    }
}

}  // namespace orvane::test
