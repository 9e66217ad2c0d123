// The live stream, driven as the module's EnableGrab / capture thread / ReleaseCurrent /
// DisableGrab do: frames at the profile's rate into caller-owned blocks, every pixel
// format, release and refill, drops, signal loss, pause, time code, skipped ticks, clean stops.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "config/ImageFormatTable.h"
#include "simboard/PixelPattern.h"
#include "tests/simboard/SimBoardFixture.h"
#include "tests/support/BoundedWait.h"

namespace {

using namespace simtest;
using orvane::test::WaitUntil;

// Bits per pixel of the module's format table, by type.
constexpr int kBitsPerPixel[10] = {8, 16, 16, 8, 16, 16, 32, 16, 16, 24};

LONGLONG Qpc()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double QpcSeconds(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

int ThreadsOfThisProcess()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        n += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    }
    CloseHandle(snapshot);
    return n;
}

// Luma of the eight bar colours by BT.601, full range.
const double kLuma[8] = {255.0, 225.93, 178.755, 149.685, 105.315, 76.245, 29.07, 0.0};

bool NearLuma(int value, bool limitedRange)
{
    for (double y : kLuma) {
        const double expected = limitedRange ? 16.0 + y * 219.0 / 255.0 : y;
        if (std::fabs(value - expected) <= 1.01) {
            return true;
        }
    }
    return false;
}

bool Is0or(int value, int max) { return value == 0 || value == max; }

// One pixel of the bar pattern in format `format` (x decides Cb or Cr for YCbCr 4:2:2).
bool ValidPixel(int format, const BYTE* p, int x)
{
    const int v16 = p[0] | (p[1] << 8);
    switch (format) {
    case 6: return p[3] == 0xFF && Is0or(p[0], 255) && Is0or(p[1], 255) && Is0or(p[2], 255);
    case 9: return Is0or(p[0], 255) && Is0or(p[1], 255) && Is0or(p[2], 255);
    case 7: return (v16 & 0x8000) == 0 && Is0or((v16 >> 10) & 31, 31) && Is0or((v16 >> 5) & 31, 31) && Is0or(v16 & 31, 31);
    case 8: return Is0or(v16 >> 11, 31) && Is0or((v16 >> 5) & 63, 63) && Is0or(v16 & 31, 31);
    case 0: return NearLuma(p[0], false);
    case 1: return v16 < 1024 && NearLuma(v16 >> 2, false);
    case 2: return p[0] == p[1] && NearLuma(p[1], false);
    case 3: return NearLuma(p[0], true);
    case 4: return p[0] == 0 && NearLuma(p[1], true);
    case 5: return NearLuma(p[0], true) && p[1] >= 16 && p[1] <= 240 && (x >= 0);
    default: return false;
    }
}

// Checks one delivered frame: header, the pixels of two rows, and that nothing past
// width x height x bpp / 8 was written.
void CheckFrame(int format, const BYTE* block, size_t blockBytes, int width, int height, DWORD frameNumber)
{
    SCOPED_TRACE("format " + std::to_string(format));
    const int bpp = kBitsPerPixel[format];
    const size_t frameBytes = static_cast<size_t>(width) * height * bpp / 8;
    const size_t rowBytes = static_cast<size_t>(width) * bpp / 8;
    EXPECT_EQ(Read32(block + 4), frameNumber);
    EXPECT_EQ(std::memcmp(block + 8, "OHDF", 4), 0);
    EXPECT_EQ(Read16(block + 12), format);
    EXPECT_EQ(Read16(block + 14), bpp);
    EXPECT_EQ(Read32(block + 16), static_cast<uint32_t>(width));
    EXPECT_EQ(Read32(block + 20), static_cast<uint32_t>(height));
    size_t touched = 0;
    for (size_t i = frameBytes; i < blockBytes; ++i) {
        touched += block[i] != StreamHarness::kGuard ? 1 : 0;
    }
    EXPECT_EQ(touched, 0u) << "bytes written past the frame size";
    for (int row : {100, height - 1}) {
        const BYTE* line = block + static_cast<size_t>(row) * rowBytes;
        int bad = 0;
        for (int x = 0; x < width; ++x) {
            bad += ValidPixel(format, line + static_cast<size_t>(x) * bpp / 8, x) ? 0 : 1;
        }
        EXPECT_EQ(bad, 0) << "row " << row;
    }
}

class SimBoardStream : public SimBoardTest {};

TEST_F(SimBoardStream, NoSignalRefusesTheStreamWith0x203)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetSignal(0);
    StreamHarness stream(mode, 6, 640, 480, 2);
    EXPECT_EQ(stream.Open(), 0x203);
    EXPECT_EQ(Counter("streamsOpen"), 0);
    // The module's DisableGrab after a failed EnableGrab: both calls fail, nothing breaks.
    EXPECT_EQ(stream.Stop(), OHD_ERR_STREAM_NOT_OPEN);
    EXPECT_EQ(stream.Close(), OHD_ERR_STREAM_NOT_OPEN);
    SimBoard_SetSignal(1);
    EXPECT_EQ(stream.Open(), OHD_OK);
}

TEST_F(SimBoardStream, DeliversFramesAtTheProfileRate)
{
    const DWORD mode = OpenAndConfigure("orvane-1920x1080-60-dvi.chp");
    StreamHarness stream(mode, 6, 1920, 1080, 6);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    BufferDescriptor* first = stream.Next(3000);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(stream.Release(first), OHD_OK);

    const LONGLONG start = Qpc();
    int frames = 0;
    DWORD last = first->frameNumber;
    while (QpcSeconds(Qpc() - start) < 1.2) {
        BufferDescriptor* descriptor = stream.Next(1000);
        ASSERT_NE(descriptor, nullptr) << "no frame within 1 s";
        ++frames;
        EXPECT_GE(stream.BlockIndex(descriptor->pixels), 0) << "a block of the caller";
        EXPECT_GT(descriptor->frameNumber, last);
        last = descriptor->frameNumber;
        ASSERT_EQ(stream.Release(descriptor), OHD_OK);
    }
    const double fps = frames / QpcSeconds(Qpc() - start);
    std::printf("1920x1080 60 Hz profile: %.1f frames per second delivered\n", fps);
    EXPECT_GE(fps, 45.0);
    EXPECT_LE(fps, 75.0);
    EXPECT_EQ(Counter("frameRateMilliHz"), 60000);
}

TEST_F(SimBoardStream, EveryFormatWritesItsPixelsAndOnlyItsFrameSize)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED);
    for (int format = 0; format <= 9; ++format) {
        StreamHarness stream(mode, format, 640, 480, 2);
        ASSERT_EQ(stream.OpenAndStart(), OHD_OK) << format;
        BufferDescriptor* a = stream.Next(3000);
        ASSERT_NE(a, nullptr) << format;
        CheckFrame(format, a->pixels, stream.BlockBytes(), 640, 480, a->frameNumber);
        const std::vector<BYTE> frameA(a->pixels, a->pixels + 640 * 480 * kBitsPerPixel[format] / 8);
        ASSERT_EQ(stream.Release(a), OHD_OK);
        BufferDescriptor* b = stream.Next(3000);
        ASSERT_NE(b, nullptr) << format;
        CheckFrame(format, b->pixels, stream.BlockBytes(), 640, 480, b->frameNumber);
        const size_t skip = static_cast<size_t>(16) * 640 * kBitsPerPixel[format] / 8;  // header and counter lines
        EXPECT_NE(std::memcmp(frameA.data() + skip, b->pixels + skip, frameA.size() - skip), 0)
            << "the pattern moves from frame to frame, format " << format;
        ASSERT_EQ(stream.Release(b), OHD_OK);
        ASSERT_EQ(stream.Stop(), OHD_OK);
        ASSERT_EQ(stream.Close(), OHD_OK);
    }
}

// The host sizes its reads by what the module tells it for the type (GetImageSize: width x height
// x bits per pixel / 8): the board must fill exactly that many bytes, and keep 16-bit samples within
// the significant bits the module announces.
TEST_F(SimBoardStream, EachTypeFillsExactlyTheFrameTheModuleAnnounces)
{
    const struct {
        int type;
        int bitsPerPixel;
        int significantBits;
    } table[] = {{0, 8, 8},  {1, 16, 10}, {2, 16, 16}, {3, 8, 8},   {4, 16, 16},
                 {5, 16, 16}, {6, 32, 8},  {7, 16, 16}, {8, 16, 16}, {9, 24, 8}};
    constexpr int kWidth = 64;
    constexpr int kHeight = 32;
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED);
    for (const auto& row : table) {
        SCOPED_TRACE("type " + std::to_string(row.type));
        const orvane::ImageFormat& announced = orvane::ImageFormatOf(row.type);
        EXPECT_EQ(announced.bitsPerPixel, row.bitsPerPixel);
        EXPECT_EQ(announced.significantBits, row.significantBits);

        StreamHarness stream(mode, row.type, kWidth, kHeight, 1);
        ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
        BufferDescriptor* frame = stream.Next(3000);
        ASSERT_NE(frame, nullptr);
        const BYTE* pixels = frame->pixels;
        const size_t imageSize = static_cast<size_t>(kWidth) * kHeight * announced.bitsPerPixel / 8;
        const size_t rowBytes = imageSize / kHeight;
        EXPECT_EQ(Read16(pixels + 14), announced.bitsPerPixel);
        EXPECT_LT(std::count(pixels + imageSize - rowBytes, pixels + imageSize, StreamHarness::kGuard), static_cast<std::ptrdiff_t>(rowBytes))
            << "the last row of the announced size was not written";
        EXPECT_EQ(std::count(pixels + imageSize, pixels + stream.BlockBytes(), StreamHarness::kGuard),
                  static_cast<std::ptrdiff_t>(stream.BlockBytes() - imageSize))
            << "bytes written past the announced size";
        if (announced.bitsPerPixel == 16 && announced.significantBits < 16) {
            unsigned largest = 0;
            // The header at the start is bookkeeping, not samples.
            for (size_t at = simboard::kFrameHeaderBytes; at < imageSize; at += 2) {
                largest = std::max<unsigned>(largest, Read16(pixels + at));
            }
            EXPECT_LT(largest, 1u << announced.significantBits);
        }
        ASSERT_EQ(stream.Release(frame), OHD_OK);
        ASSERT_EQ(stream.Stop(), OHD_OK);
        ASSERT_EQ(stream.Close(), OHD_OK);
    }
}

TEST_F(SimBoardStream, ReleasedBlocksAreRefilledInTurn)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(500);
    StreamHarness stream(mode, 6, 640, 480, 3);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    for (int i = 0; i < 30; ++i) {
        BufferDescriptor* descriptor = stream.Next(3000);
        ASSERT_NE(descriptor, nullptr) << i;
        EXPECT_EQ(stream.BlockIndex(descriptor->pixels), i % 3) << "the board queue is first in, first out";
        EXPECT_EQ(Counter("blocksHeldByBoard") + Counter("blocksReady") + Counter("blocksHandedOver"), 3);
        ASSERT_EQ(stream.Release(descriptor), OHD_OK);
        EXPECT_EQ(stream.Release(descriptor), OHD_ERR_BUFFER_NOT_HANDED_OVER) << "released twice";
    }
    EXPECT_EQ(Counter("framesReleased"), 30);
    EXPECT_GE(Counter("framesDelivered"), 30);
}

TEST_F(SimBoardStream, FramesFindingNoBlockAreDroppedAndCounted)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(200);
    StreamHarness stream(mode, 6, 640, 480, 3);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    BufferDescriptor* kept[3] = {};
    for (auto& descriptor : kept) {
        descriptor = stream.Next(3000);
        ASSERT_NE(descriptor, nullptr);
    }
    ASSERT_TRUE(WaitUntil(5000, [] { return Counter("framesDroppedNoBlock") >= 5; }));
    EXPECT_EQ(Counter("framesProduced"), 3);
    EXPECT_EQ(Counter("blocksHeldByBoard"), 0);
    EXPECT_EQ(Counter("blocksHandedOver"), 3);
    BufferDescriptor* none = nullptr;
    EXPECT_EQ(eHD_GetStreamBuffer(mode, &none), OHD_ERR_NO_BUFFER_READY);

    ASSERT_EQ(stream.Release(kept[1]), OHD_OK);
    BufferDescriptor* refilled = stream.Next(3000);
    ASSERT_NE(refilled, nullptr);
    EXPECT_EQ(refilled, kept[1]) << "the one block given back is the one refilled";
    EXPECT_GT(refilled->frameNumber, kept[2]->frameNumber + 1) << "dropped frames leave a gap in the numbers";
}

TEST_F(SimBoardStream, StopAndCloseLeaveNoThreadBehind)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(300);
    const int threadsBefore = ThreadsOfThisProcess();
    StreamHarness stream(mode, 6, 640, 480, 4);
    ASSERT_EQ(stream.Open(), OHD_OK);
    EXPECT_EQ(Counter("producerThreads"), 0) << "opening starts nothing";
    ASSERT_EQ(stream.Start(), OHD_OK);
    EXPECT_EQ(Counter("producerThreads"), 1);
    ASSERT_NE(stream.Next(3000), nullptr);

    ASSERT_EQ(stream.Stop(), OHD_OK);
    EXPECT_EQ(Counter("producerThreads"), 0) << "stop waits for the producer to end";
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
    const long long produced = Counter("framesProduced");
    Sleep(50);
    EXPECT_EQ(Counter("framesProduced"), produced);
    EXPECT_EQ(stream.Stop(), OHD_OK) << "stopping a stopped stream is harmless";

    ASSERT_EQ(stream.Start(), OHD_OK) << "a stopped stream starts again";
    ASSERT_TRUE(WaitUntil(3000, [&] { return Counter("framesProduced") > produced; }));
    ASSERT_EQ(stream.Close(), OHD_OK) << "close stops a running producer too";
    EXPECT_EQ(Counter("producerThreads"), 0);
    EXPECT_EQ(Counter("streamsOpen"), 0);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
    BufferDescriptor* descriptor = nullptr;
    EXPECT_EQ(eHD_GetStreamBuffer(mode, &descriptor), OHD_ERR_STREAM_NOT_OPEN) << "the blocks are forgotten";
    EXPECT_EQ(stream.Close(), OHD_ERR_STREAM_NOT_OPEN);
    EXPECT_EQ(stream.Start(), OHD_ERR_STREAM_NOT_OPEN);
}

TEST_F(SimBoardStream, ClosingTheBoardOrResettingStopsARunningStream)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    {
        StreamHarness stream(mode, 6, 640, 480, 2);
        ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
        eHD_CloseBoard(kBoard);
        EXPECT_EQ(Counter("producerThreads"), 0);
        EXPECT_EQ(Counter("streamsOpen"), 0);
        EXPECT_EQ(stream.Stop(), OHD_ERR_INVALID_MODE_HANDLE);
    }
    const DWORD again = OpenAndConfigure("orvane-640x480-60-vga.chp");
    StreamHarness stream(again, 6, 640, 480, 2);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    ASSERT_EQ(SimBoard_Reset(), 0);
    EXPECT_EQ(Counter("producerThreads"), 0);
    EXPECT_EQ(Counter("boardsOpen"), 0);
}

TEST_F(SimBoardStream, SignalLostAndRegainedInTheMiddleOfAStream)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(200);
    StreamHarness stream(mode, 6, 640, 480, 4);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    for (int i = 0; i < 3; ++i) {
        BufferDescriptor* descriptor = stream.Next(3000);
        ASSERT_NE(descriptor, nullptr);
        stream.Release(descriptor);
    }
    SimBoard_SetSignal(0);
    const long long noSignal = Counter("ticksNoSignal");
    ASSERT_TRUE(WaitUntil(3000, [&] { return Counter("ticksNoSignal") >= noSignal + 2; }));
    while (BufferDescriptor* descriptor = stream.Next(0)) {
        stream.Release(descriptor);
    }
    const long long produced = Counter("framesProduced");
    ASSERT_TRUE(WaitUntil(3000, [&] { return Counter("ticksNoSignal") >= noSignal + 10; }));
    EXPECT_EQ(Counter("framesProduced"), produced) << "no frame without a signal";
    EXPECT_EQ(stream.Next(0), nullptr);

    SimBoard_SetSignal(1);
    BufferDescriptor* descriptor = stream.Next(3000);
    ASSERT_NE(descriptor, nullptr) << "frames come back with the signal";
    EXPECT_EQ(Counter("producerThreads"), 1);
}

TEST_F(SimBoardStream, PausedProducerMakesNoFramesUntilResumed)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(200);
    StreamHarness stream(mode, 6, 640, 480, 4);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    ASSERT_NE(stream.Next(3000), nullptr);
    ASSERT_EQ(SimBoard_PauseProducer(1), 0);
    const long long produced = Counter("framesProduced");
    const long long dropped = Counter("framesDroppedNoBlock");
    Sleep(150);
    EXPECT_EQ(Counter("framesProduced"), produced);
    EXPECT_EQ(Counter("framesDroppedNoBlock"), dropped);
    ASSERT_EQ(SimBoard_PauseProducer(0), 0);
    ASSERT_TRUE(WaitUntil(3000, [&] { return Counter("framesProduced") > produced; }));
}

TEST_F(SimBoardStream, DropPercentageDropsThatShareOfTicks)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(300);
    ASSERT_EQ(SimBoard_SetDropPercent(50), 0);
    EXPECT_NE(SimBoard_SetDropPercent(101), 0);
    StreamHarness stream(mode, 0, 640, 480, 4);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    for (int i = 0; i < 20; ++i) {
        BufferDescriptor* descriptor = stream.Next(3000);
        ASSERT_NE(descriptor, nullptr);
        stream.Release(descriptor);
    }
    ASSERT_EQ(stream.Stop(), OHD_OK);
    const long long injected = Counter("framesDroppedInjected");
    const long long others = Counter("framesProduced") + Counter("framesDroppedNoBlock");
    EXPECT_GE(injected, 19);
    EXPECT_LE(std::llabs(injected - others), 1) << injected << " dropped on purpose, " << others << " other ticks";
}

TEST_F(SimBoardStream, TimeCodeIsPackedBcdInTheFirstFourBytes)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED);
    EXPECT_NE(SimBoard_SetTimeCode(1, 0), 0);
    ASSERT_EQ(SimBoard_SetTimeCode(1, 30), 0);
    StreamHarness stream(mode, 6, 640, 480, 2);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    auto bcd = [](unsigned v) { return static_cast<BYTE>(((v / 10) << 4) | (v % 10)); };
    for (int i = 0; i < 45; ++i) {
        BufferDescriptor* descriptor = stream.Next(3000);
        ASSERT_NE(descriptor, nullptr);
        const unsigned n = descriptor->frameNumber;
        const BYTE* code = descriptor->pixels;
        EXPECT_EQ(code[0], bcd(n % 30)) << n;
        EXPECT_EQ(code[1], bcd((n / 30) % 60)) << n;
        EXPECT_EQ(code[2], bcd((n / 1800) % 60)) << n;
        EXPECT_EQ(code[3], bcd((n / 108000) % 24)) << n;
        EXPECT_EQ(Read32(code + 4), n);
        stream.Release(descriptor);
    }
    ASSERT_EQ(SimBoard_SetTimeCode(0, 0), 0);
    // Two blocks: the third frame from now was filled after the change.
    BufferDescriptor* descriptor = nullptr;
    for (int i = 0; i < 3; ++i) {
        descriptor = stream.Next(3000);
        ASSERT_NE(descriptor, nullptr);
        if (i < 2) {
            stream.Release(descriptor);
        }
    }
    EXPECT_EQ(Read32(descriptor->pixels), 0u) << "no time code when it is off";
}

TEST_F(SimBoardStream, LateTicksCountTheFramesTheySkipped)
{
    const DWORD mode = OpenAndConfigure("orvane-3840x2160-30-dvi.chp");
    ASSERT_EQ(SimBoard_SetFrameRate(5000), 0);  // a 0.2 ms period no 4K fill can keep
    StreamHarness stream(mode, 6, 3840, 2160, 3);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    DWORD previous = 0;
    bool gap = false;
    for (int i = 0; i < 10; ++i) {
        BufferDescriptor* descriptor = stream.Next(5000);
        ASSERT_NE(descriptor, nullptr);
        gap = gap || (i > 0 && descriptor->frameNumber > previous + 1);
        previous = descriptor->frameNumber;
        stream.Release(descriptor);
    }
    EXPECT_GT(Counter("ticksSkipped"), 0);
    EXPECT_TRUE(gap) << "skipped ticks advance the frame number";
}

TEST_F(SimBoardStream, FrameRateFollowsTheModeAndTheOverride)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    StreamHarness stream(mode, 6, 640, 480, 3);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    ASSERT_TRUE(WaitUntil(3000, [] { return Counter("frameRateMilliHz") != 0; }));
    EXPECT_NEAR(static_cast<double>(Counter("frameRateMilliHz")), 31469000.0 / 525.0, 1.0);

    ASSERT_EQ(SimBoard_SetFrameRate(120), 0);
    EXPECT_TRUE(WaitUntil(3000, [] { return Counter("frameRateMilliHz") == 120000; }));
    ASSERT_EQ(SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED), 0);
    EXPECT_TRUE(WaitUntil(3000, [] { return Counter("frameRateMilliHz") == -1; }));
    ASSERT_EQ(SimBoard_SetFrameRate(SIMBOARD_RATE_FROM_MODE), 0);

    record.verticalTotal = 1050;  // a mode change while streaming halves the rate
    ASSERT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_OK);
    EXPECT_TRUE(WaitUntil(3000, [] { return std::llabs(Counter("frameRateMilliHz") - 29971) <= 1; }))
        << Counter("frameRateMilliHz");
    EXPECT_NE(SimBoard_SetFrameRate(-5), 0);
    EXPECT_NE(SimBoard_SetFrameRate(200000), 0);
}

TEST_F(SimBoardStream, FillTimeOfABlockAllowsMeasuringLatency)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    StreamHarness stream(mode, 6, 640, 480, 3);
    const LONGLONG before = Qpc();
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    BufferDescriptor* descriptor = stream.Next(3000);
    const LONGLONG delivered = Qpc();
    ASSERT_NE(descriptor, nullptr);
    LONGLONG filled = 0;
    ASSERT_EQ(SimBoard_GetFillTime(descriptor->pixels, &filled), 0);
    EXPECT_GT(filled, before);
    EXPECT_LE(filled, delivered);
    std::printf("fill to delivery: %.0f us\n", QpcSeconds(delivered - filled) * 1e6);
    BYTE unknown = 0;
    EXPECT_NE(SimBoard_GetFillTime(&unknown, &filled), 0);
    EXPECT_NE(SimBoard_GetFillTime(descriptor->pixels, nullptr), 0);
}

TEST_F(SimBoardStream, UnlimitedRateRunsAsFastAsBlocksComeBack)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    ASSERT_EQ(SimBoard_SetFrameRate(SIMBOARD_RATE_UNLIMITED), 0);
    StreamHarness stream(mode, 0, 640, 480, 2);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    const LONGLONG start = Qpc();
    for (int i = 0; i < 300; ++i) {
        BufferDescriptor* descriptor = stream.Next(3000);
        ASSERT_NE(descriptor, nullptr) << i;
        ASSERT_EQ(stream.Release(descriptor), OHD_OK);
    }
    std::printf("unlimited rate, 640x480 Mono 8, two blocks: %.0f frames per second\n", 300 / QpcSeconds(Qpc() - start));
    EXPECT_EQ(Counter("framesDroppedNoBlock"), 0) << "an unlimited producer waits for blocks";
}

TEST_F(SimBoardStream, A4kBgr32StreamAt60HzLeavesTheCpuMostlyIdle)
{
    const DWORD mode = OpenAndConfigure("orvane-3840x2160-60-dvi.chp");
    StreamHarness stream(mode, 6, 3840, 2160, 4);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    ASSERT_NE(stream.Next(3000), nullptr);
    FILETIME created, exited, kernel0, user0, kernel1, user1;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel0, &user0);
    const LONGLONG start = Qpc();
    int frames = 0;
    while (QpcSeconds(Qpc() - start) < 1.0) {
        BufferDescriptor* descriptor = stream.Next(1000);
        ASSERT_NE(descriptor, nullptr);
        ++frames;
        stream.Release(descriptor);
    }
    const double seconds = QpcSeconds(Qpc() - start);
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel1, &user1);
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    const double cpu = static_cast<double>(ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 1e7;
    std::printf("3840x2160 BGR32 at 60 Hz: %d frames in %.2f s, process CPU %.0f%% of one core\n", frames, seconds,
                100.0 * cpu / seconds);
    EXPECT_GT(frames, 0);  // only the 60 Hz frame-rate test asserts on time
}

TEST_F(SimBoardStream, BadStreamInputGetsDefinedStatuses)
{
    ModeRecord record{};
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp", &record);
    StreamHarness stream(mode, 6, 640, 480, 2);
    StreamParameters& p = stream.Parameters();
    const StreamParameters good = p;

    EXPECT_EQ(eHD_LiveStreamOpen(mode, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_LiveStreamOpen(0, &p), OHD_ERR_INVALID_MODE_HANDLE);
    EXPECT_EQ(eHD_LiveStreamOpen(mode + 1, &p), OHD_ERR_INVALID_MODE_HANDLE);
    p.size = 0;
    EXPECT_EQ(stream.Open(), OHD_ERR_INVALID_SIZE);
    p.size = sizeof(StreamParameters) + 4;
    EXPECT_EQ(stream.Open(), OHD_ERR_INVALID_SIZE);
    p = good;
    p.buffers = nullptr;
    EXPECT_EQ(stream.Open(), OHD_ERR_INVALID_BUFFER_LIST);
    p = good;
    p.bufferCount = 0;
    EXPECT_EQ(stream.Open(), OHD_ERR_INVALID_BUFFER_LIST);
    BYTE* withNull[2] = {good.buffers[0], nullptr};
    BYTE* twice[2] = {good.buffers[0], good.buffers[0]};
    p = good;
    p.buffers = withNull;
    EXPECT_EQ(stream.Open(), OHD_ERR_INVALID_BUFFER_LIST);
    p.buffers = twice;
    EXPECT_EQ(stream.Open(), OHD_ERR_INVALID_BUFFER_LIST);
    p = good;
    for (int format : {-1, 10, 500}) {
        p.formatType = format;
        EXPECT_EQ(stream.Open(), OHD_ERR_UNKNOWN_FORMAT) << format;
    }
    p = good;
    p.width = 0;
    EXPECT_EQ(stream.Open(), OHD_ERR_STREAM_SIZE_MISMATCH);
    p.width = 644;  // wider than the mode's 640 active pixels
    EXPECT_EQ(stream.Open(), OHD_ERR_STREAM_SIZE_MISMATCH);
    p = good;
    p.height = 481;
    EXPECT_EQ(stream.Open(), OHD_ERR_STREAM_SIZE_MISMATCH);
    p = good;
    p.frameEvent = nullptr;
    EXPECT_EQ(stream.Open(), OHD_ERR_INVALID_EVENT);
    p.frameEvent = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FF0));
    EXPECT_EQ(stream.Open(), OHD_ERR_INVALID_EVENT);
    p = good;
    EXPECT_EQ(Counter("streamsOpen"), 0) << "no failed open leaves a stream";

    ASSERT_EQ(stream.Open(), OHD_OK);
    EXPECT_EQ(stream.Open(), OHD_ERR_STREAM_ALREADY_OPEN) << "a stream opened twice";
    EXPECT_EQ(eHD_LiveStreamMode(mode, 0), OHD_ERR_INVALID_COMMAND);
    EXPECT_EQ(eHD_LiveStreamMode(mode, 2), OHD_ERR_INVALID_COMMAND);
    EXPECT_EQ(eHD_LiveStreamMode(mode + 1, OHD_STREAM_START), OHD_ERR_INVALID_MODE_HANDLE);
    ASSERT_EQ(stream.Start(), OHD_OK);
    EXPECT_EQ(stream.Start(), OHD_ERR_STREAM_ALREADY_STARTED);

    EXPECT_EQ(eHD_GetStreamBuffer(mode, nullptr), OHD_ERR_NULL_POINTER);
    EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, nullptr), OHD_ERR_NULL_POINTER);
    BufferDescriptor foreign{};
    EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, &foreign), OHD_ERR_UNKNOWN_DESCRIPTOR);
    BufferDescriptor* descriptor = stream.Next(3000);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, descriptor + 1), OHD_ERR_BUFFER_NOT_HANDED_OVER);
    EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, reinterpret_cast<BufferDescriptor*>(reinterpret_cast<BYTE*>(descriptor) + 1)),
              OHD_ERR_UNKNOWN_DESCRIPTOR);
    EXPECT_EQ(eHD_ReleaseStreamBuffer(0, descriptor), OHD_ERR_INVALID_MODE_HANDLE);

    // While the stream is open the mode and the board are busy.
    EXPECT_EQ(eHD_ReleaseMode(kBoard), OHD_ERR_BOARD_BUSY);
    DWORD word = 0;
    EXPECT_EQ(eHD_SetParameter(kBoard, "HardReset", 4, &word), OHD_ERR_BOARD_BUSY);
    EXPECT_EQ(eHD_CreateMode(kBoard, 0, &record), 0u);

    StreamParameters other = good;
    BYTE* otherBlocks[2] = {good.buffers[1], good.buffers[0]};
    other.buffers = otherBlocks;
    EXPECT_EQ(eHD_LiveStreamClose(mode, &other), OHD_ERR_STREAM_PARAMS_MISMATCH);
    EXPECT_EQ(eHD_LiveStreamClose(mode, nullptr), OHD_ERR_NULL_POINTER);
    other = good;
    other.size = 0;
    EXPECT_EQ(eHD_LiveStreamClose(mode, &other), OHD_ERR_INVALID_SIZE);
    ASSERT_EQ(stream.Close(), OHD_OK);
    EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, descriptor), OHD_ERR_STREAM_NOT_OPEN);
    EXPECT_EQ(eHD_GetStreamBuffer(mode, &descriptor), OHD_ERR_STREAM_NOT_OPEN);

    // A descriptor of a closed stream never passes for one of the next stream.
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    ASSERT_NE(stream.Next(3000), nullptr);
    EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, descriptor), OHD_ERR_UNKNOWN_DESCRIPTOR);
}

TEST_F(SimBoardStream, TwoConsumerThreadsShareOneStreamSafely)
{
    const DWORD mode = OpenAndConfigure("orvane-640x480-60-vga.chp");
    SimBoard_SetFrameRate(1000);
    StreamHarness stream(mode, 0, 640, 480, 6);
    ASSERT_EQ(stream.OpenAndStart(), OHD_OK);
    volatile LONG taken = 0;
    auto consume = [&] {
        while (InterlockedCompareExchange(&taken, 0, 0) < 200) {
            BufferDescriptor* descriptor = nullptr;
            if (eHD_GetStreamBuffer(mode, &descriptor) == OHD_OK) {
                InterlockedIncrement(&taken);
                EXPECT_EQ(eHD_ReleaseStreamBuffer(mode, descriptor), OHD_OK);
            } else {
                WaitForSingleObject(stream.Event(), 5);
            }
        }
    };
    orvane::test::BoundedThread a(consume);
    orvane::test::BoundedThread b(consume);
    ASSERT_TRUE(a.Join(20000));
    ASSERT_TRUE(b.Join(20000));
    EXPECT_EQ(Counter("framesDelivered"), Counter("framesReleased"));
    EXPECT_EQ(Counter("blocksHandedOver"), 0);
}

}  // namespace
