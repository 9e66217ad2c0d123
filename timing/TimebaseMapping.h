#pragma once
// One object's handle to the named timebase mapping and its view of the record.
// Closing is the default (destructor, Close); keeping the mapping alive past the object is an
// explicit, deliberate hand-over to the process (KeepAliveForProcess).
#include <windows.h>

#include "timing/TimebaseRecord.h"

class TimebaseMapping {
public:
    TimebaseMapping() noexcept = default;
    ~TimebaseMapping();
    TimebaseMapping(TimebaseMapping&& other) noexcept;
    TimebaseMapping& operator=(TimebaseMapping&& other) noexcept;
    TimebaseMapping(const TimebaseMapping&) = delete;
    TimebaseMapping& operator=(const TimebaseMapping&) = delete;

    // Opens the mapping if some process holds it; false when it does not exist (or cannot be opened).
    bool OpenExisting() noexcept;
    // Creates the paging-file backed mapping. `existed` is set when the name turned out to exist
    // after all: the handle is then a plain connection to a record somebody else initialised.
    bool Create(bool& existed) noexcept;
    // Maps the view that holds the record; false when it cannot be mapped.
    bool MapRecord() noexcept;

    TimebaseRecord* Record() const noexcept { return record_; }

    // Unmaps the view and closes the handle.
    void Close() noexcept;
    // Unmaps the view but leaves the handle open until the process ends, so the mapping and its
    // reference outlive this object.
    void KeepAliveForProcess() noexcept;

private:
    void Unmap() noexcept;

    HANDLE handle_ = nullptr;
    TimebaseRecord* record_ = nullptr;
};
