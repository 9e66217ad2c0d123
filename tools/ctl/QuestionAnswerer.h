#pragma once
// Answers the question the module asks after a white balance. The module shows it in a message box
// captioned "Orvane" on the calling thread and waits; this watcher, on a thread of its own, finds
// that box among this process's windows, shows its text on the console, takes the answer (given on
// the command line or typed) and presses Yes or No.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/OwnedHandle.h"
#include "tools/ctl/CtlOptions.h"

namespace orvane::ctl {

class QuestionAnswerer {
public:
    explicit QuestionAnswerer(Answer answer);
    // Stops watching; the thread is waited for.
    ~QuestionAnswerer();
    QuestionAnswerer(const QuestionAnswerer&) = delete;
    QuestionAnswerer& operator=(const QuestionAnswerer&) = delete;

    bool Started() const { return thread_.Get() != nullptr; }
    // After the watched call returned: whether the question came, and how it was answered.
    bool Asked() const { return asked_; }
    bool Kept() const { return kept_; }

private:
    static DWORD WINAPI Run(LPVOID self);
    void Loop();

    Answer answer_;
    std::atomic<bool> asked_{false};
    std::atomic<bool> kept_{false};
    UniqueKernelHandle stop_;
    UniqueKernelHandle thread_;
};

}  // namespace orvane::ctl
