// The filter in running graphs, as applications build them: every module format with its media
// type and frame, and a long run at 60 Hz.
#include <gtest/gtest.h>

#include <cstring>

#include "simboard/SimBoardControl.h"
#include "tests/support/ModulePath.h"
#include "tests/videosource/VideoSourceFixture.h"
#include "videosource/VideoSourceIds.h"
#include "videosource/check/SubtypeNames.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;
using orvane::dshowcheck::CheckGraph;
using orvane::dshowcheck::SubtypeByName;

constexpr LONG kWidth = 640;
constexpr LONG kHeight = 480;
constexpr REFERENCE_TIME kPeriod60Hz = 166667;
constexpr DWORD kRunBoundMs = 20000;

struct FormatCase {
    LONG moduleType;
    const char* subtype;
    WORD bits;
    size_t stride;  // bytes per sample row at 640 pixels
    bool bottomUp;
    std::vector<BYTE> white;  // the first pixel of a white row (a YCbCr pair for YUY2)
};

const FormatCase kFormats[] = {
    {6, "RGB32", 32, 2560, true, {0xFF, 0xFF, 0xFF, 0xFF}},
    {9, "RGB24", 24, 1920, true, {0xFF, 0xFF, 0xFF}},
    {7, "RGB555", 16, 1280, true, {0xFF, 0x7F}},
    {8, "RGB565", 16, 1280, true, {0xFF, 0xFF}},
    {0, "Y800", 8, 640, false, {0xFF}},
    {3, "Y800", 8, 640, false, {235}},           // luma-only: video range
    {1, "Y10", 16, 1280, false, {0xFF, 0x03}},   // 10 significant bits, little-endian
    {2, "Y16", 16, 1280, false, {0xFF, 0xFF}},
    {4, "Y16", 16, 1280, false, {0x00, 235}},    // video-range luma in the high byte
    {5, "YUY2", 16, 1280, false, {235, 128, 235, 128}},  // Y0 U Y1 V
};

class VideoSourceGraph : public VideoSourceTest {};

TEST_F(VideoSourceGraph, EveryModuleFormatHasItsMediaTypeAndDeliversItsFramesInIt)
{
    UseProfile("orvane-640x480-60-vga.chp", true);
    for (const FormatCase& format : kFormats) {
        SCOPED_TRACE(std::string("module type ") + std::to_string(format.moduleType) + " as " + format.subtype);
        // The module starts with the format it remembers: the twin of a shared media type is chosen so.
        SetModuleValue(L"ImageFormat", static_cast<DWORD>(format.moduleType));
        const ComPtr<IBaseFilter> filter = MakeFilter();
        ComPtr<IPin> pin;
        ASSERT_EQ(filter->FindPin(orvane::videosource::kPinName, pin.Put()), S_OK);
        const ComPtr<IAMStreamConfig> config = As<IAMStreamConfig>(pin.Get(), IID_IAMStreamConfig);

        int count = 0;
        int size = 0;
        ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
        EXPECT_EQ(count, 8) << "one capability per media type";
        ASSERT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
        bool offered = false;
        for (int i = 0; i < count; ++i) {
            AM_MEDIA_TYPE* type = nullptr;
            VIDEO_STREAM_CONFIG_CAPS caps{};
            ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
            if (IsEqualGUID(type->subtype, *SubtypeByName(format.subtype))) {
                offered = true;
                const auto* video = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
                EXPECT_TRUE(IsEqualGUID(type->majortype, MEDIATYPE_Video));
                EXPECT_TRUE(IsEqualGUID(type->formattype, FORMAT_VideoInfo));
                EXPECT_EQ(video->bmiHeader.biWidth, kWidth);
                EXPECT_EQ(video->bmiHeader.biHeight, kHeight);
                EXPECT_EQ(video->bmiHeader.biBitCount, format.bits);
                EXPECT_EQ(video->bmiHeader.biSizeImage, format.stride * kHeight);
                EXPECT_EQ(type->lSampleSize, format.stride * kHeight);
                EXPECT_EQ(video->AvgTimePerFrame, kPeriod60Hz);
                EXPECT_EQ(caps.MaxOutputSize.cx, kWidth);
                EXPECT_EQ(caps.MaxOutputSize.cy, kHeight);
                EXPECT_LE(caps.MinFrameInterval, kPeriod60Hz - 1);  // ffmpeg's 10000000 / 60
                EXPECT_GE(caps.MaxFrameInterval, kPeriod60Hz);
            }
            orvane::videosource::DeleteMediaType(type);
        }
        EXPECT_TRUE(offered);

        const size_t firstRow = format.bottomUp ? (kHeight - 1) * format.stride : 0;
        SampleLog log(3, firstRow);
        CheckGraph graph;
        std::string error;
        ASSERT_EQ(graph.Build(*filter.Get(), SubtypeByName(format.subtype), log, error), S_OK) << error;
        ASSERT_EQ(graph.Run(), S_OK);
        LONG_PTR parameter = 0;
        ASSERT_EQ(graph.Wait(log.Done(), kRunBoundMs, parameter), 0) << "three frames within the bound";
        graph.Stop();

        const std::vector<SeenSample> samples = log.Samples();
        const SimulatedFrameHeader& frame = samples.front().frame;
        EXPECT_EQ(samples.front().bytes, static_cast<long>(format.stride * kHeight));
        EXPECT_EQ(std::string(frame.magic, 4), "OHDF") << "the image's first row where the media type puts it";
        EXPECT_EQ(frame.formatType, format.moduleType) << "the module delivered the format asked for";
        EXPECT_EQ(frame.bitsPerPixel, format.bits);
        EXPECT_EQ(frame.width, static_cast<std::uint32_t>(kWidth));
        // A row of the white band, which moves down 2 lines a frame from the top (height / 16 lines).
        const std::vector<BYTE> bytes = log.FirstSample();
        const LONG bandTop = static_cast<LONG>(frame.number * 2 % kHeight);
        LONG row = (bandTop + 15) % kHeight;
        if (row <= 8) {
            row = (bandTop + 25) % kHeight;  // clear of the header and the frame counter
        }
        const size_t at = static_cast<size_t>(format.bottomUp ? kHeight - 1 - row : row) * format.stride;
        ASSERT_GE(bytes.size(), at + format.white.size());
        EXPECT_EQ(std::vector<BYTE>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(at + format.white.size())),
                  format.white);
    }
}

TEST_F(VideoSourceGraph, SixHundredFramesAt60HzComeInOrderTimedByTheFramePeriodAndEveryLossIsCountedOnce)
{
    UseProfile("orvane-640x480-60-vga.chp", true);
    // Frames stamped when due rather than when picked up: what remains is the source's own doing.
    SetPathValue(L"TimeSourceDLL", BesideTestProgram(L"ts_frameclock.dll"));
    const ComPtr<IBaseFilter> filter = MakeFilter();
    constexpr size_t kFrames = 600;
    SampleLog log(kFrames, 0);
    CheckGraph graph;
    std::string error;
    ASSERT_EQ(graph.Build(*filter.Get(), SubtypeByName("YUY2"), log, error), S_OK) << error;
    ASSERT_EQ(SimBoard_ResetCounters(), 0);
    ASSERT_EQ(graph.Run(), S_OK);
    LONG_PTR parameter = 0;
    // The board drops frames of its own for a while in the middle of the run: the module counts
    // them, the times show them, and IAMDroppedFrames must count each once.
    ASSERT_EQ(graph.Wait(log.Reached(60), kRunBoundMs, parameter), 0);
    ASSERT_EQ(SimBoard_SetDropPercent(5), 0);
    ASSERT_EQ(graph.Wait(log.Reached(360), kRunBoundMs, parameter), 0);
    ASSERT_EQ(SimBoard_SetDropPercent(0), 0);
    ASSERT_EQ(graph.Wait(log.Done(), 60000, parameter), 0) << "600 frames within a minute";
    graph.Stop();  // the counts stay until the next run
    long dropped = -1;
    long delivered = -1;
    const ComPtr<IAMDroppedFrames> drops = As<IAMDroppedFrames>(filter.Get(), IID_IAMDroppedFrames);
    EXPECT_EQ(drops->GetNumDropped(&dropped), S_OK);
    EXPECT_EQ(drops->GetNumNotDropped(&delivered), S_OK);

    // A frame the simulated board never painted (its producer woke too late for the tick, on a
    // busy machine) is a gap in the numbers too; it must be counted and flagged like any lost
    // frame. Every frame the board did hand over must arrive.
    EXPECT_EQ(SimBoard_GetCounter("framesDroppedNoBlock"), 0) << "the board always had a buffer to fill";
    const long long injected = SimBoard_GetCounter("framesDroppedInjected");
    const long long notPainted = SimBoard_GetCounter("ticksSkipped");
    EXPECT_GT(injected, 0);
    const std::vector<SeenSample> samples = log.Samples();
    ASSERT_GE(samples.size(), kFrames);
    EXPECT_TRUE(samples.front().discontinuity);
    long long gaps = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        SCOPED_TRACE("sample " + std::to_string(i));
        ASSERT_TRUE(samples[i].timed);
        ASSERT_GT(samples[i].frame.number, samples[i - 1].frame.number) << "in order";
        const long long gap = samples[i].frame.number - samples[i - 1].frame.number - 1;
        gaps += gap;
        EXPECT_NEAR(static_cast<double>(samples[i].start - samples[i - 1].start), static_cast<double>((gap + 1) * kPeriod60Hz), 10000.0)
            << "the frame period within 1 ms";
        EXPECT_EQ(samples[i].discontinuity, gap > 0);
    }
    EXPECT_GE(gaps, injected);
    EXPECT_LE(gaps, injected + notPainted) << "no frame lost but those the board dropped or never painted";
    EXPECT_EQ(dropped, gaps) << "each lost frame counted once";
    // Every frame of the run delivered or dropped. The sample in flight when the graph stops
    // reached the Sample Grabber, but the stopped renderer behind it refused it.
    const long long span = samples.back().frame.number - samples.front().frame.number + 1;
    EXPECT_GE(delivered + dropped, span - 1);
    EXPECT_LE(delivered + dropped, span);
}

TEST_F(VideoSourceGraph, AFormatIsSetOnlyWhileStoppedAndIsThenTheOnlyOneOffered)
{
    UseProfile("orvane-640x480-60-vga.chp", true);
    const ComPtr<IBaseFilter> filter = MakeFilter();
    ComPtr<IPin> pin;
    ASSERT_EQ(filter->FindPin(orvane::videosource::kPinName, pin.Put()), S_OK);
    const ComPtr<IAMStreamConfig> config = As<IAMStreamConfig>(pin.Get(), IID_IAMStreamConfig);
    AM_MEDIA_TYPE* type = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(config->GetStreamCaps(1, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
    ASSERT_EQ(config->SetFormat(type), S_OK);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.Put()), S_OK);
    AM_MEDIA_TYPE* offered[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(2, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_TRUE(IsEqualGUID(offered[0]->subtype, type->subtype));
    orvane::videosource::DeleteMediaType(offered[0]);

    SampleLog log(1, 0);
    CheckGraph graph;
    std::string error;
    ASSERT_EQ(graph.Build(*filter.Get(), std::nullopt, log, error), S_OK) << error;
    EXPECT_TRUE(IsEqualGUID(graph.ConnectedType().subtype, type->subtype));
    ASSERT_EQ(graph.Run(), S_OK);
    EXPECT_EQ(config->SetFormat(type), VFW_E_NOT_STOPPED);
    FILTER_STATE state = State_Stopped;
    EXPECT_TRUE(SUCCEEDED(graph.Pause()));
    EXPECT_EQ(filter->GetState(0, &state), VFW_S_CANT_CUE) << "a live source has nothing to cue";
    EXPECT_EQ(state, State_Paused);
    graph.Stop();
    orvane::videosource::DeleteMediaType(type);
}

}  // namespace
