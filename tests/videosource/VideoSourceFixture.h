#pragma once
// What the video source's tests start from: a simulated board with a serial of this test process's
// own (so tests running side by side use registry keys of their own), its profile remembered
// under the device's registry path, and filters made by the DLL's own class factory and told their
// device through a property bag, as a device moniker does.
#include <gtest/gtest.h>
#include <dshow.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ComApartment.h"
#include "platform/ComPtr.h"
#include "videosource/check/CheckGraph.h"

namespace orvane::test {

// Bytes 4..7 of a simulated frame: its number; 8..11 "OHDF"; then format, bits, width, height.
struct SimulatedFrameHeader {
    std::uint32_t timecode;
    std::uint32_t number;
    char magic[4];
    std::uint16_t formatType;
    std::uint16_t bitsPerPixel;
    std::uint32_t width;
    std::uint32_t height;
};

// What a test keeps of each sample: its time and flags, the frame it carries (read where the
// image's first row lies in the sample) and, for the first sample, all its bytes. Samples after the
// wanted number are kept too, until the graph stops.
struct SeenSample {
    REFERENCE_TIME start = 0;
    bool timed = false;
    bool discontinuity = false;
    long bytes = 0;
    SimulatedFrameHeader frame{};
};

class SampleLog final : public dshowcheck::SampleSink {
public:
    // `headerOffset`: where the image's first row starts in a sample (the last row of a bottom-up one).
    SampleLog(size_t wanted, size_t headerOffset);
    void OnSample(IMediaSample& sample) override;
    HANDLE Done() const { return done_; }
    // Set once `count` samples (fewer than the wanted number) have come; one count at a time.
    HANDLE Reached(size_t count);
    std::vector<SeenSample> Samples() const;
    std::vector<BYTE> FirstSample() const;
    ~SampleLog()
    {
        CloseHandle(done_);
        CloseHandle(reached_);
    }

private:
    size_t wanted_;
    size_t headerOffset_;
    HANDLE done_;
    HANDLE reached_;
    size_t milestone_ = 0;
    mutable std::mutex mutex_;
    std::vector<SeenSample> samples_;
    std::vector<BYTE> first_;
};

class VideoSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A private copy of a sample profile, remembered as the device's board file. The 640x480
    // profile runs at 59.94 Hz; `exactly60Hz` makes its line frequency give 60 frames a second.
    void UseProfile(const char* sample, bool exactly60Hz = false);
    // A value under the device's module key (registry path + "Orvane") or its registry path.
    void SetModuleValue(const wchar_t* name, DWORD value);
    void SetPathValue(const wchar_t* name, const std::wstring& value);

    // A filter for this test's board, made and loaded as the device's moniker would.
    ComPtr<IBaseFilter> MakeFilter();
    template <typename Interface>
    static ComPtr<Interface> As(IUnknown* object, REFIID iid)
    {
        ComPtr<Interface> result;
        EXPECT_EQ(object->QueryInterface(iid, result.PutVoid()), S_OK);
        return result;
    }

    ComApartment apartment_;
    std::wstring serial_;
    std::string profile_;
};

// The class object of the DLL beside the test program, for `clsid`.
ComPtr<IClassFactory> VideoSourceFactory(REFCLSID clsid);

}  // namespace orvane::test
