#include "tools/ctl/QuestionAnswerer.h"

#include <cstdio>
#include <cstring>

namespace orvane::ctl {

namespace {

struct Search {
    HWND found = nullptr;
};

// A visible message box of this process with the module's caption. Read without sending the window
// a message: its thread is inside the module's wait.
BOOL CALLBACK FindQuestion(HWND window, LPARAM param)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) {
        return TRUE;
    }
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    wchar_t title[64] = {};
    InternalGetWindowText(window, title, static_cast<int>(std::size(title)));
    if (std::strcmp(cls, "#32770") != 0 || std::wcscmp(title, L"Orvane") != 0) {
        return TRUE;
    }
    reinterpret_cast<Search*>(param)->found = window;
    return FALSE;
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

// Yes only for an explicit yes; no answer (end of input) keeps nothing.
bool AskOnConsole(const std::string& question)
{
    std::printf("%s [y/N] ", question.c_str());
    std::fflush(stdout);
    char line[64] = {};
    if (std::fgets(line, sizeof line, stdin) == nullptr) {
        std::printf("\n");
        return false;
    }
    return line[0] == 'y' || line[0] == 'Y';
}

}  // namespace

QuestionAnswerer::QuestionAnswerer(Answer answer) : answer_(answer)
{
    stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (stop_.Get() != nullptr) {
        thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    }
}

QuestionAnswerer::~QuestionAnswerer()
{
    if (thread_.Get() != nullptr) {
        SetEvent(stop_.Get());
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
}

DWORD WINAPI QuestionAnswerer::Run(LPVOID self)
{
    static_cast<QuestionAnswerer*>(self)->Loop();
    return 0;
}

void QuestionAnswerer::Loop()
{
    Search search;
    // Until the question shows or the watched call has returned without asking.
    while (WaitForSingleObject(stop_.Get(), 20) == WAIT_TIMEOUT) {
        EnumWindows(FindQuestion, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            break;
        }
    }
    if (search.found == nullptr) {
        return;
    }
    std::string question;
    EnumChildWindows(search.found, CollectText, reinterpret_cast<LPARAM>(&question));
    if (question.empty()) {
        question = "Keep the result?";
    }
    bool keep = false;
    if (answer_ == Answer::Ask) {
        keep = AskOnConsole(question);
    } else {
        keep = answer_ == Answer::Yes;
        std::printf("%s %s\n", question.c_str(), keep ? "yes" : "no");
    }
    kept_ = keep;
    asked_ = true;
    PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(keep ? IDYES : IDNO, BN_CLICKED), 0);
}

}  // namespace orvane::ctl
