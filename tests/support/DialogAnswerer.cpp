#include "tests/support/DialogAnswerer.h"

#include <dlgs.h>

#include <iterator>

namespace orvane::test {

DialogAnswer DialogAnswer::Press(std::string title, int command)
{
    DialogAnswer answer;
    answer.title = std::move(title);
    answer.kind = Kind::Press;
    answer.command = command;
    return answer;
}

DialogAnswer DialogAnswer::ChooseFile(std::string title, std::string file)
{
    DialogAnswer answer;
    answer.title = std::move(title);
    answer.kind = Kind::ChooseFile;
    answer.command = IDOK;
    answer.file = std::move(file);
    return answer;
}

DialogAnswerer::DialogAnswerer(std::vector<DialogAnswer> script, DWORD perDialogMs)
    : script_(std::move(script)), perDialogMs_(perDialogMs)
{
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &DialogAnswerer::Run, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer()
{
    SetEvent(stop_);
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    CloseHandle(stop_);
}

bool DialogAnswerer::Finish(DWORD milliseconds)
{
    if (thread_ == nullptr || WaitForSingleObject(thread_, milliseconds) != WAIT_OBJECT_0) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return !timedOut_ && answered_ == static_cast<int>(script_.size());
}

int DialogAnswerer::Answered()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return answered_;
}

std::vector<SeenDialog> DialogAnswerer::Seen()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

DWORD WINAPI DialogAnswerer::Run(LPVOID self)
{
    static_cast<DialogAnswerer*>(self)->Loop();
    return 0;
}

namespace {

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param)
{
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
        char text[1024] = {};
        GetWindowTextA(child, text, sizeof text);
        if (text[0] != '\0') {
            auto* out = reinterpret_cast<std::string*>(param);
            if (!out->empty()) {
                *out += '\n';
            }
            *out += text;
        }
    }
    return TRUE;
}

// The file-name box of the open dialog: an edit control, or the edit inside the combo box.
void TypeFileName(HWND dialog, const std::string& file)
{
    for (int id : {cmb13, edt1}) {
        HWND box = GetDlgItem(dialog, id);
        if (box != nullptr) {
            SetWindowTextA(box, file.c_str());
            HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
            if (edit != nullptr) {
                SetWindowTextA(edit, file.c_str());
            }
        }
    }
}

// A visible top-level window of this process with the given title, other than `skip`. Windows of
// other processes are never answered: another test running at the same time owns them.
struct WindowSearch {
    std::wstring title;
    HWND skip = nullptr;
    HWND found = nullptr;
};

BOOL CALLBACK FindOwnWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || window == search->skip || !IsWindowVisible(window)) {
        return TRUE;
    }
    // Read without sending the window a message: its thread may be busy in a test's wait.
    wchar_t title[256] = {};
    InternalGetWindowText(window, title, static_cast<int>(std::size(title)));
    if (search->title != title) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return wide;
}

}  // namespace

void DialogAnswerer::Loop()
{
    HWND previous = nullptr;
    for (const auto& answer : script_) {
        const ULONGLONG deadline = GetTickCount64() + perDialogMs_;
        HWND found = nullptr;
        while (found == nullptr) {
            // A window answered a moment ago may linger until its owner's call returns.
            WindowSearch search{Widen(answer.title), previous, nullptr};
            EnumWindows(FindOwnWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found != nullptr) {
                found = search.found;
                break;
            }
            if (GetTickCount64() > deadline) {
                std::lock_guard<std::mutex> lock(mutex_);
                timedOut_ = true;
                return;
            }
            if (WaitForSingleObject(stop_, 10) == WAIT_OBJECT_0) {
                return;
            }
        }
        // Give the window a moment to finish building its controls.
        Sleep(50);
        SeenDialog seen{answer.title, {}};
        EnumChildWindows(found, CollectStaticText, reinterpret_cast<LPARAM>(&seen.text));
        if (answer.kind == DialogAnswer::Kind::ChooseFile) {
            TypeFileName(found, answer.file);
        }
        PostMessageA(found, WM_COMMAND, MAKEWPARAM(answer.command, BN_CLICKED), 0);
        // Wait until the window is gone before looking for the next one.
        const ULONGLONG gone = GetTickCount64() + perDialogMs_;
        while (IsWindow(found) && IsWindowVisible(found) && GetTickCount64() < gone) {
            Sleep(10);
        }
        previous = found;
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(std::move(seen));
        ++answered_;
    }
}

}  // namespace orvane::test
