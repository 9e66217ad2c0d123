#include "tools/common/WindowGuard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "tools/common/ComErrorText.h"

namespace orvane::host {

namespace {

struct Search {
    std::vector<HWND> found;
};

// Visible dialogs of this process. Read without sending them a message: their thread is inside the
// module's wait.
BOOL CALLBACK FindDialogs(HWND window, LPARAM param)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) {
        return TRUE;
    }
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0) {
        reinterpret_cast<Search*>(param)->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectText(HWND child, LPARAM param)
{
    char cls[16] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
        char text[512] = {};
        GetWindowTextA(child, text, sizeof text);
        auto* out = reinterpret_cast<std::string*>(param);
        if (text[0] != '\0') {
            *out += (out->empty() ? "" : " ") + std::string(text);
        }
    }
    return TRUE;
}

std::string TitleOf(HWND window)
{
    wchar_t title[256] = {};
    InternalGetWindowText(window, title, static_cast<int>(std::size(title)));
    return Narrow(title);
}

// Yes only for an explicit yes; no answer (end of input) keeps nothing.
bool AskOnConsole(std::FILE* console, const std::string& question)
{
    std::fprintf(console, "%s [y/N] ", question.c_str());
    std::fflush(console);
    char line[64] = {};
    if (std::fgets(line, sizeof line, stdin) == nullptr) {
        std::fprintf(console, "\n");
        return false;
    }
    return line[0] == 'y' || line[0] == 'Y';
}

}  // namespace

WindowGuard::WindowGuard(QuestionAnswer answer, std::FILE* console) : answer_(answer), console_(console)
{
    stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (stop_.Get() != nullptr) {
        thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    }
}

WindowGuard::~WindowGuard()
{
    if (thread_.Get() != nullptr) {
        SetEvent(stop_.Get());
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
}

std::vector<std::string> WindowGuard::Closed() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

DWORD WINAPI WindowGuard::Run(LPVOID self)
{
    static_cast<WindowGuard*>(self)->Loop();
    return 0;
}

void WindowGuard::Answer(HWND dialog, const std::string& question)
{
    bool keep = false;
    if (answer_ == QuestionAnswer::Ask) {
        keep = AskOnConsole(console_, question);
    } else {
        keep = answer_ == QuestionAnswer::Yes;
        std::fprintf(console_, "%s %s\n", question.c_str(), keep ? "yes" : "no");
        std::fflush(console_);
    }
    kept_ = keep;
    asked_ = true;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(keep ? IDYES : IDNO, BN_CLICKED), 0);
}

void WindowGuard::Loop()
{
    std::vector<HWND> handled;
    while (WaitForSingleObject(stop_.Get(), 20) == WAIT_TIMEOUT) {
        handled.erase(std::remove_if(handled.begin(), handled.end(), [](HWND window) { return !IsWindow(window); }), handled.end());
        Search search;
        EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&search));
        for (HWND dialog : search.found) {
            // A dialog answered a moment ago lingers until its owner's call returns.
            if (std::find(handled.begin(), handled.end(), dialog) != handled.end()) {
                continue;
            }
            // Give it a moment to finish building its controls.
            Sleep(50);
            handled.push_back(dialog);
            const std::string title = TitleOf(dialog);
            std::string text;
            EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&text));
            const bool question = title == "Orvane" && GetDlgItem(dialog, IDYES) != nullptr && GetDlgItem(dialog, IDNO) != nullptr;
            if (question) {
                Answer(dialog, text.empty() ? "Keep the result?" : text);
                continue;
            }
            const int command = GetDlgItem(dialog, IDCANCEL) != nullptr ? IDCANCEL : GetDlgItem(dialog, IDNO) != nullptr ? IDNO : IDOK;
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
            const std::lock_guard<std::mutex> lock(mutex_);
            closed_.push_back(text.empty() ? title : title + ": " + text);
        }
    }
}

}  // namespace orvane::host
