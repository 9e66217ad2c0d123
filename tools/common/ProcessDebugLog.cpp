#include "tools/common/ProcessDebugLog.h"

#include <cstring>

namespace orvane::host {

std::atomic<ProcessDebugLog*> ProcessDebugLog::collecting_{nullptr};
std::atomic<int> ProcessDebugLog::inside_{0};

ProcessDebugLog::ProcessDebugLog()
{
    ProcessDebugLog* none = nullptr;
    if (!collecting_.compare_exchange_strong(none, this)) {
        return;
    }
    handler_ = AddVectoredExceptionHandler(1, &ProcessDebugLog::Handle);
    if (handler_ == nullptr) {
        collecting_ = nullptr;
    }
}

ProcessDebugLog::~ProcessDebugLog()
{
    if (handler_ != nullptr) {
        RemoveVectoredExceptionHandler(handler_);
        // A handler that announced itself before the pointer went may still be adding a line.
        collecting_ = nullptr;
        while (inside_.load() != 0) {
            Sleep(1);
        }
    }
}

LONG CALLBACK ProcessDebugLog::Handle(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        // Parameter 0: the length with its terminator; parameter 1: the text.
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        const std::size_t length = static_cast<std::size_t>(record->ExceptionInformation[0]);
        // Announce first, then look: the destructor either is seen here as null or sees the count.
        ++inside_;
        if (ProcessDebugLog* log = collecting_.load(); log != nullptr && text != nullptr) {
            log->Add(text, length > 0 ? length - 1 : std::strlen(text));
        }
        --inside_;
    }
    // The system goes on as without us: to a debugger, or to a debug viewer.
    return EXCEPTION_CONTINUE_SEARCH;
}

void ProcessDebugLog::Add(const char* text, std::size_t length) noexcept
{
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '\0')) {
        --length;
    }
    try {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (lines_.size() < kMaxLines) {
            lines_.emplace_back(text, length);
        } else {
            ++dropped_;
        }
    } catch (...) {
        // Out of memory while writing a diagnostic: the line is lost, the writer goes on.
    }
}

std::vector<std::string> ProcessDebugLog::Lines() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::size_t ProcessDebugLog::Dropped() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

std::string ProcessDebugLog::LastContaining(const std::string& text, std::size_t from) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = lines_.size(); i > from; --i) {
        if (lines_[i - 1].find(text) != std::string::npos) {
            return lines_[i - 1];
        }
    }
    return {};
}

}  // namespace orvane::host
