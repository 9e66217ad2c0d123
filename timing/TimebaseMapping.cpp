#include "timing/TimebaseMapping.h"

#include <utility>

TimebaseMapping::~TimebaseMapping()
{
    Close();
}

TimebaseMapping::TimebaseMapping(TimebaseMapping&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), record_(std::exchange(other.record_, nullptr))
{
}

TimebaseMapping& TimebaseMapping::operator=(TimebaseMapping&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
        record_ = std::exchange(other.record_, nullptr);
    }
    return *this;
}

bool TimebaseMapping::OpenExisting() noexcept
{
    Close();
    handle_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kTimebaseMappingName);
    return handle_ != nullptr;
}

bool TimebaseMapping::Create(bool& existed) noexcept
{
    Close();
    handle_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kTimebaseMappingSize,
                                 kTimebaseMappingName);
    existed = handle_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    return handle_ != nullptr;
}

bool TimebaseMapping::MapRecord() noexcept
{
    if (handle_ == nullptr) {
        return false;
    }
    if (record_ == nullptr) {
        record_ = static_cast<TimebaseRecord*>(MapViewOfFile(handle_, FILE_MAP_ALL_ACCESS, 0, 0, kTimebaseViewSize));
    }
    return record_ != nullptr;
}

void TimebaseMapping::Close() noexcept
{
    Unmap();
    if (handle_ != nullptr) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

void TimebaseMapping::KeepAliveForProcess() noexcept
{
    Unmap();
    // The handle is dropped without closing: from here on it belongs to the process, which closes
    // it when it ends. Only the handle is kept; a view would hold address space for nothing.
    handle_ = nullptr;
}

void TimebaseMapping::Unmap() noexcept
{
    if (record_ != nullptr) {
        UnmapViewOfFile(record_);
        record_ = nullptr;
    }
}
