// Which host calls the grab state allows, through COM: calls that would replace the blocks or the
// mode the board writes with are refused while grabbing and leave the frames flowing; a frame the
// host holds across a stop and restart keeps its pixels; the frame counters a host reads.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Orvane.h"
#include "interfaces/ImageHeader.h"
#include "simboard/SimBoardControl.h"
#include "tests/module/GrabberFixture.h"
#include "tests/module/HostCycle.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

constexpr HRESULT kIllegalMethodCall = static_cast<HRESULT>(0x8000000EL);

using GrabberGrabState = GrabberCardTest;

TEST_F(GrabberGrabState, CallsThatReplaceTheBlocksAreRefusedWhileGrabbingAndEveryFrameStillArrives)
{
    UseProfile("orvane-640x480-60-vga.chp", 64, 48);
    ASSERT_EQ(Initialize().result, S_OK);
    ASSERT_EQ(grabber_->AllocateBuffers(8), S_OK);
    auto image = As<ICorvathImageProp>(IID_ICorvathImageProp);
    auto settings = As<ICorvathSettingsProp>(IID_ICorvathSettingsProp);
    auto profile = As<ICorvathConfigurationFileProp>(IID_ICorvathConfigurationFileProp);
    auto adjustments = As<ICorvathAdjustment>(IID_ICorvathAdjustment);
    auto counters = As<IOrvaneFrameCounters>(IID_IOrvaneFrameCounters);
    ASSERT_EQ(SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED), 0);
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    HostCycle host(grabber_.Get(), false);

    const struct {
        const char* call;
        std::function<HRESULT()> make;
    } refused[] = {
        {"EnableGrab", [&] { return grabber_->EnableGrab(); }},
        {"SetROI", [&] { return image->SetROI(32, 24, 0, 0); }},
        {"Image Format", [&] { return settings->SetSettingValue(10, 0); }},
        {"AllocateBuffers", [&] { return grabber_->AllocateBuffers(2); }},
        {"FreeBuffers", [&] { return grabber_->FreeBuffers(); }},
        {"ReallocateBuffers", [&] { return grabber_->ReallocateBuffers(); }},
        {"BrowseConfigurationFile", [&] { return profile->BrowseConfigurationFile(); }},
    };
    for (const auto& call : refused) {
        // Answered at once (the bound is only there so that a call that never returns fails).
        const HostCall answer = OnHostThread(call.call, call.make);
        EXPECT_EQ(answer.result, kIllegalMethodCall) << call.call;
        const std::string name = call.call;
        const std::wstring named = std::wstring(name.begin(), name.end()) + L" : ";
        EXPECT_EQ(answer.error.description.compare(0, named.size(), named), 0)
            << name << ": " << std::string(answer.error.description.begin(), answer.error.description.end());
        const std::int64_t before = host.FramesRead();
        EXPECT_TRUE(host.WaitForFrames(before + 500, 20000)) << "frames go on after " << call.call;
    }
    // What is meant to be seen live stays allowed.
    EXPECT_EQ(OnHostThread("Brightness", [&] { return adjustments->SetLongValue(6, 100); }).result, S_OK);
    LONG brightness = 0;
    EXPECT_EQ(adjustments->GetLongValue(6, &brightness), S_OK);
    EXPECT_EQ(brightness, 100);

    ASSERT_TRUE(host.StopGrabbing());
    ASSERT_EQ(grabber_->DisableGrab(), S_OK);
    ASSERT_TRUE(host.DrainAndStop());
    const FrameTally& tally = host.Tally();
    EXPECT_EQ(tally.backwards, 0);
    EXPECT_EQ(tally.gaps, 0) << "no frame went missing around the refusals";
    EXPECT_EQ(tally.frames, SimBoard_GetCounter("framesProduced"));
    long width = 0, height = 0, third = 0, fourth = 0;
    ASSERT_EQ(image->GetImageFormat(&width, &height, &third, &fourth), S_OK);
    EXPECT_EQ(width, 64) << "nothing of a refused call took effect";
    SHORT count = 0;
    ASSERT_EQ(grabber_->GetBufferCount(&count), S_OK);
    EXPECT_EQ(count, 8);

    // Stopped, the same calls are allowed again.
    EXPECT_EQ(image->SetROI(32, 24, 0, 0), S_OK);
    EXPECT_EQ(grabber_->ReallocateBuffers(), S_OK);
    EXPECT_EQ(grabber_->EnableGrab(), S_OK);
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);
}

// The pixels the host is reading stay out of the board's reach across a stop and a restart until
// it releases them; then the image takes part again from the next start on.
TEST_F(GrabberGrabState, AFrameHeldAcrossAStopAndRestartKeepsItsPixelsUntilReleased)
{
    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    ASSERT_EQ(grabber_->AllocateBuffers(4), S_OK);
    ASSERT_EQ(SimBoard_SetFrameRate(500.0), 0);
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    ULONG_PTR address = 0;
    RunBounded(20000, "the first frame", [&] {
        while (address == 0) {
            grabber_->GetCurrent(&address);
        }
    });
    const auto* held = reinterpret_cast<const ImageHeader*>(address);
    const auto* pixels = static_cast<const unsigned char*>(held->pixels);
    const std::vector<unsigned char> copy(pixels, pixels + 640 * 480 * 4);

    ASSERT_EQ(grabber_->DisableGrab(), S_OK);
    ASSERT_EQ(SimBoard_ResetCounters(), 0);
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    // The board fills every block it was given, and then has none left.
    ASSERT_TRUE(WaitUntil(20000, [] {
        return SimBoard_GetCounter("framesProduced") >= 3 && SimBoard_GetCounter("blocksHeldByBoard") == 0;
    }));
    EXPECT_EQ(SimBoard_GetCounter("framesProduced"), 3) << "the held block was not among them";
    EXPECT_EQ(std::memcmp(pixels, copy.data(), copy.size()), 0) << "the held frame's pixels changed";
    ULONG_PTR again = 0;
    EXPECT_EQ(grabber_->GetCurrent(&again), S_OK);
    EXPECT_EQ(again, address) << "still the current image until released";

    ASSERT_EQ(grabber_->ReleaseCurrent(), S_OK);
    bool blockSeen = false;
    for (int round = 0; round < 2 && !blockSeen; ++round) {
        RunBounded(20000, "frames after the release", [&] {
            for (int frames = 0; frames < 12;) {
                ULONG_PTR next = 0;
                grabber_->GetCurrent(&next);
                if (next == 0) {
                    continue;
                }
                blockSeen = blockSeen || reinterpret_cast<const ImageHeader*>(next)->pixels == pixels;
                EXPECT_TRUE(round > 0 || next != address) << "not in the stream it was held out of";
                grabber_->ReleaseCurrent();
                grabber_->GrabNext();
                ++frames;
            }
        });
        ASSERT_EQ(grabber_->DisableGrab(), S_OK);
        if (round == 0) {
            ASSERT_EQ(grabber_->EnableGrab(), S_OK);
        }
    }
    EXPECT_TRUE(blockSeen) << "released, the image is filled again from the next start on";
}

TEST_F(GrabberGrabState, TheFrameCountersAreTheModulesOwnInterface)
{
    auto counters = As<IOrvaneFrameCounters>(IID_IOrvaneFrameCounters);
    ASSERT_TRUE(counters);
    LONGLONG frames = -1;
    EXPECT_EQ(counters->GetFramesCaptured(&frames), E_UNEXPECTED) << "no card before InitializeGrabber";
    EXPECT_EQ(counters->GetFramesCaptured(nullptr), E_POINTER);

    UseProfile("orvane-640x480-60-vga.chp");
    ASSERT_EQ(Initialize().result, S_OK);
    EXPECT_EQ(counters->GetFramesLost(static_cast<OrvaneFrameLoss>(3), &frames), E_INVALIDARG);
    EXPECT_EQ(counters->GetFramesLost(static_cast<OrvaneFrameLoss>(-1), &frames), E_INVALIDARG);

    // Frames the host leaves unread when it starts again are counted, not silently dropped.
    ASSERT_EQ(grabber_->AllocateBuffers(3), S_OK);
    ASSERT_EQ(SimBoard_SetFrameRate(500.0), 0);
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    ASSERT_TRUE(WaitUntil(20000, [&] {
        LONGLONG captured = 0;
        return SUCCEEDED(counters->GetFramesCaptured(&captured)) && captured == 3;
    }));
    ASSERT_EQ(grabber_->DisableGrab(), S_OK);
    ASSERT_EQ(grabber_->EnableGrab(), S_OK);
    EXPECT_EQ(counters->GetFramesLost(OrvaneLossUnread, &frames), S_OK);
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(grabber_->DisableGrab(), S_OK);

    // The interface is described by the module's registered type library.
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_ORVANELib, 1, 0, LANG_NEUTRAL, library.Put()), S_OK);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IOrvaneFrameCounters, info.Put()), S_OK);
}

}  // namespace
