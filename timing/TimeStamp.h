#pragma once
// One loaded time-source plug-in: the library, its name as configured, and its seventeen entries
// looked up by name. It is usable (Loaded) when the library loaded and every required entry was
// found. Destroying it releases the library without calling Uninitialize: by then the plug-in has
// either been told to stop or never started.
#include <windows.h>

#include "timesource/OrvaneTimeSource.h"

class CTimeStamp {
public:
    static constexpr int kNameLength = 260;

    // Loads the library by `name` (the platform's search rules) and looks up the entries. A
    // library that cannot be loaded is logged; the object is then not Loaded.
    explicit CTimeStamp(const wchar_t* name);
    virtual ~CTimeStamp();
    CTimeStamp(const CTimeStamp&) = delete;
    CTimeStamp& operator=(const CTimeStamp&) = delete;

    bool Loaded() const noexcept { return loaded_; }
    const wchar_t* Name() const noexcept { return name_; }
    HMODULE Library() const noexcept { return library_; }
    // The entry looked up at `index` (the order of kOrvaneTimeSourceExports); null when missing.
    FARPROC Entry(int index) const noexcept;

    // The entries the module calls; only valid on a Loaded object.
    bool Initialize() const { return initialize_() != 0; }
    void Uninitialize() const { uninitialize_(); }
    void ClearEvents() const { clearEvents_(); }
    bool ProcessImageData(OrvaneFrameHeader* header) const { return processImageData_(header) != 0; }
    std::int32_t GetSynchronizationStatus() const { return getSynchronizationStatus_(); }
    std::uint8_t IsGPSSupported() const { return isGPSSupported_(); }
    void GetGPSData(std::uint32_t word, bool flag) const { getGPSData_(word, flag ? 1 : 0); }
    void StopReadingGPSData() const { stopReadingGPSData_(); }

private:
    HMODULE library_ = nullptr;
    wchar_t name_[kNameLength] = {};
    bool loaded_ = false;
    OrvaneGetNameFn getName_ = nullptr;
    OrvaneGetInfoFn getInfo_ = nullptr;
    OrvaneInitializeFn initialize_ = nullptr;
    OrvaneMicroSecondFn microSecond_ = nullptr;
    OrvaneUninitializeFn uninitialize_ = nullptr;
    OrvaneClearEventsFn clearEvents_ = nullptr;
    OrvaneSetDroppedFramesFn setDroppedFrames_ = nullptr;
    OrvaneSetReferenceFn setReference_ = nullptr;
    OrvaneGetReferenceFn getReference_ = nullptr;
    OrvaneGetSynchronizationStatusFn getSynchronizationStatus_ = nullptr;
    OrvaneIsGPSSupportedFn isGPSSupported_ = nullptr;
    OrvaneGetGPSDataFn getGPSData_ = nullptr;
    OrvaneStopReadingGPSDataFn stopReadingGPSData_ = nullptr;
    OrvaneGetReferenceTimebFn getReferenceTimeb_ = nullptr;
    OrvaneGetCurrentTimeStampFn getCurrentTimeStamp_ = nullptr;
    OrvaneGetRelativeTimeStampFn getRelativeTimeStamp_ = nullptr;
    OrvaneProcessImageDataFn processImageData_ = nullptr;
};
