#pragma once
// Answers the modal windows a test provokes (message boxes, the open-file dialog, property frames):
// a thread finds each one by its title among this process's windows and answers it as the script
// says, within a bounded wait.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace orvane::test {

struct DialogAnswer {
    enum class Kind { Press, ChooseFile };
    std::string title;     // exact window title (a message box's caption)
    Kind kind = Kind::Press;
    int command = IDOK;    // Press: the button's command id (IDOK, IDCANCEL, IDYES, IDNO ...)
    std::string file;      // ChooseFile: the path typed into the file-name box before OK

    static DialogAnswer Press(std::string title, int command);
    static DialogAnswer ChooseFile(std::string title, std::string file);
    static DialogAnswer Cancel(std::string title) { return Press(std::move(title), IDCANCEL); }
};

// What the answerer saw of one window it answered.
struct SeenDialog {
    std::string title;
    std::string text;  // the static texts of the window, joined with '\n' (a message box's message)
};

class DialogAnswerer {
public:
    // Starts answering at once; each answer waits at most `perDialogMs` for its window.
    explicit DialogAnswerer(std::vector<DialogAnswer> script, DWORD perDialogMs = 10000);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // Waits until every answer was given; false when a window did not show up in time.
    bool Finish(DWORD milliseconds = 20000);
    int Answered();
    std::vector<SeenDialog> Seen();

private:
    static DWORD WINAPI Run(LPVOID self);
    void Loop();

    std::vector<DialogAnswer> script_;
    DWORD perDialogMs_;
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
    std::mutex mutex_;
    int answered_ = 0;
    bool timedOut_ = false;
    std::vector<SeenDialog> seen_;
};

}  // namespace orvane::test
