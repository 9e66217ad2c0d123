#include "benchmarks/VideoSourceCopy.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/common/Statistics.h"
#include "videosource/FrameCopy.h"
#include "videosource/VideoFormats.h"

namespace orvane::bench {

namespace {

struct CopyCase {
    LONG width;
    LONG height;
    LONG moduleType;
    const char* what;
};

constexpr CopyCase kCases[] = {
    {1920, 1080, 6, "RGB32, bottom-up"}, {1920, 1080, 9, "RGB24, bottom-up"}, {1920, 1080, 5, "YUY2, as it is"},
    {3840, 2160, 6, "RGB32, bottom-up"}, {3840, 2160, 9, "RGB24, bottom-up"}, {3840, 2160, 5, "YUY2, as it is"},
};

double Microseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

void RunVideoSourceCopy(int rounds)
{
    std::printf("(e) video source: the copy of each frame into its DirectShow sample (flip and row padding where the type\n"
                "    asks for them) against memcpy of the same bytes, %d rounds of each, median per frame\n",
                rounds);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (const CopyCase& copy : kCases) {
        const videosource::FormatMapping& mapping = *videosource::MappingForType(copy.moduleType);
        videosource::CopyPlan plan;
        plan.rowBytes = videosource::ModuleRowBytes(mapping, copy.width);
        plan.rows = copy.height;
        plan.targetStride = videosource::SampleStride(mapping, copy.width);
        plan.flip = mapping.rgb;
        // Filled, so that no page is first touched inside a timed copy.
        std::vector<BYTE> source(plan.rowBytes * static_cast<size_t>(copy.height), 0x5A);
        std::vector<BYTE> sample(plan.TargetBytes(), 0);
        std::vector<double> copies;
        std::vector<double> plain;
        for (int round = 0; round < rounds; ++round) {
            LARGE_INTEGER t0, t1, t2;
            QueryPerformanceCounter(&t0);
            videosource::CopyFrame(source.data(), sample.data(), plan);
            QueryPerformanceCounter(&t1);
            std::memcpy(sample.data(), source.data(), source.size());
            QueryPerformanceCounter(&t2);
            copies.push_back(Microseconds(t0, t1, frequency));
            plain.push_back(Microseconds(t1, t2, frequency));
        }
        const host::Summary copied = host::Summarize(copies);
        const host::Summary memcpied = host::Summarize(plain);
        const double megabytes = static_cast<double>(source.size()) / 1e6;
        std::printf("    %4ldx%-4ld %-17s: %7.0f us per frame (%5.2f GB/s, p99 %6.0f us); memcpy %7.0f us (%5.2f GB/s): %.2fx\n",
                    copy.width, copy.height, copy.what, copied.p50, megabytes * 1e3 / copied.p50, copied.p99, memcpied.p50,
                    megabytes * 1e3 / memcpied.p50, memcpied.p50 > 0 ? copied.p50 / memcpied.p50 : 0);
    }
    std::fflush(stdout);
}

}  // namespace orvane::bench
