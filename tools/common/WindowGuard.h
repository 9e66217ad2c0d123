#pragma once
// Keeps the module from waiting on a window a terminal user cannot see or answer. While it lives,
// a thread of its own looks for dialogs of this process every 20 ms. The module's question after a
// white balance (a Yes/No box captioned "Orvane") is put on the console and answered as told; every
// other dialog (the profile dialog, the no-signal box) is closed, Cancel where it has one, so the
// call that opened it fails with the module's own reason, and the dialog's text is kept for the
// report. A module that runs unattended opens none of them: then this only watches.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/OwnedHandle.h"

namespace orvane::host {

enum class QuestionAnswer {
    Ask,  // on the console; anything but an explicit yes, and no input at all, is no
    Yes,
    No,
};

class WindowGuard {
public:
    // The question and its answer are written to `console`.
    WindowGuard(QuestionAnswer answer, std::FILE* console);
    // Stops watching; the thread is waited for.
    ~WindowGuard();
    WindowGuard(const WindowGuard&) = delete;
    WindowGuard& operator=(const WindowGuard&) = delete;

    bool Started() const { return thread_.Get() != nullptr; }
    // After the watched call returned: whether the module's question came, and the answer.
    bool Asked() const { return asked_; }
    bool Kept() const { return kept_; }
    // "title: text" of every other dialog closed so far.
    std::vector<std::string> Closed() const;

private:
    static DWORD WINAPI Run(LPVOID self);
    void Loop();
    void Answer(HWND dialog, const std::string& question);

    QuestionAnswer answer_;
    std::FILE* console_;
    std::atomic<bool> asked_{false};
    std::atomic<bool> kept_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> closed_;
    UniqueKernelHandle stop_;
    UniqueKernelHandle thread_;
};

}  // namespace orvane::host
