// The pieces of the host-side programs: command line, statistics, PNG files, the image format
// choice and the host session's start and stop against the simulated board.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/ComApartment.h"
#include "simboard/SimBoardControl.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/ModulePath.h"
#include "tests/tools/PngFile.h"
#include "tools/capture/CaptureOptions.h"
#include "tools/capture/PngWriter.h"
#include "tools/common/BoardControl.h"
#include "tools/common/GrabberSession.h"
#include "tools/common/ImageFormatChoice.h"
#include "tools/common/RegistryPath.h"
#include "tools/common/Statistics.h"

namespace {

using namespace orvane;

std::optional<capture::CaptureOptions> Parse(std::vector<std::string> arguments, std::string& error)
{
    return capture::ParseOptions(arguments, error);
}

TEST(CaptureOptions, ParsesFlagsAndRejectsBadValues)
{
    std::string error;
    auto defaults = Parse({}, error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->frames, 0u);
    EXPECT_EQ(defaults->seconds, capture::kDefaultSeconds);
    EXPECT_EQ(defaults->buffers, 8);
    EXPECT_EQ(defaults->common.registryPath, L"Software\\OrvaneTools\\");

    auto all = Parse({"--profile", "p.chp", "--frames=120", "--buffers", "3", "--csv", "x.csv", "--save-every", "0", "--out-dir",
                      "out", "--log", "--format", "Mono 10", "--registry-path", "Software\\Mine", "--stream-to", "-",
                      "--list-profiles"},
                     error);
    ASSERT_TRUE(all) << error;
    EXPECT_EQ(all->profile, "p.chp");
    EXPECT_EQ(all->frames, 120u);
    EXPECT_EQ(all->seconds, 0) << "--frames alone runs until the frames are in";
    EXPECT_EQ(all->buffers, 3);
    EXPECT_EQ(all->csv, "x.csv");
    EXPECT_EQ(all->saveEvery, 0);
    EXPECT_EQ(all->outDir, "out");
    EXPECT_TRUE(all->common.log);
    EXPECT_EQ(all->format, "Mono 10");
    EXPECT_EQ(all->common.registryPath, L"Software\\Mine\\");
    EXPECT_TRUE(all->StreamsToStandardOutput());
    EXPECT_EQ(all->common.listProfiles, std::optional<std::string>(""));

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--frames", "0"}, {"--frames", "-3"}, {"--buffers", "0"}, {"--buffers", "40000"}, {"--seconds", "0"},
             {"--seconds", "2x"}, {"--csv"}, {"--wat"}, {"--format", "10"}, {"--format", " "}, {"--registry-path", ""},
             {"--registry-path", "HKCU\\Software"}, {"--stream-to", "-", "--json"}, {"--timecode-mode", "3"}}) {
        error.clear();
        EXPECT_FALSE(Parse(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
    }
}

// The module appends "Orvane" to the path as it is: the tools give it one that ends in a separator
// and refuse what would put the values into HKEY_CURRENT_USER itself or another root.
TEST(RegistryPath, GetsItsSeparatorAndRefusesEmptyAndAbsolutePaths)
{
    const struct {
        const char* typed;
        const wchar_t* normalised;  // null: refused
    } cases[] = {
        {"Software\\X", L"Software\\X\\"},     {"Software\\X\\", L"Software\\X\\"}, {"Software\\X\\\\", L"Software\\X\\"},
        {"", nullptr},                         {"\\", nullptr},                     {"  ", nullptr},
        {"\\Software\\X", nullptr},            {"HKEY_CURRENT_USER\\Software", nullptr}, {"hkcu\\Software", nullptr},
        {"HKLM", nullptr},                     {"Software\\\\X", nullptr},          {"HKCUSoftware\\X", L"HKCUSoftware\\X\\"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto path = host::NormaliseRegistryPath(c.typed, error);
        if (c.normalised == nullptr) {
            EXPECT_FALSE(path) << "\"" << c.typed << "\"";
            EXPECT_FALSE(error.empty()) << c.typed;
        } else {
            EXPECT_EQ(path, std::optional<std::wstring>(c.normalised)) << "\"" << c.typed << "\"";
        }
    }
}

TEST(Statistics, PercentilesByNearestRankAndSpread)
{
    std::vector<double> values;
    for (int i = 100; i >= 1; --i) {
        values.push_back(i);
    }
    const host::Summary s = host::Summarize(values);
    EXPECT_EQ(s.count, 100u);
    EXPECT_DOUBLE_EQ(s.min, 1);
    EXPECT_DOUBLE_EQ(s.max, 100);
    EXPECT_DOUBLE_EQ(s.mean, 50.5);
    EXPECT_DOUBLE_EQ(s.p50, 50);
    EXPECT_DOUBLE_EQ(s.p99, 99);
    EXPECT_NEAR(s.stddev, 28.866, 0.001);

    const host::Summary one = host::Summarize({7});
    EXPECT_DOUBLE_EQ(one.p50, 7);
    EXPECT_DOUBLE_EQ(one.p99, 7);
    EXPECT_DOUBLE_EQ(one.stddev, 0);
    EXPECT_EQ(host::Summarize({}).count, 0u);
}

std::string TempFile(const char* name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + name + std::to_string(GetCurrentProcessId()) + ".png";
}

TEST(PngWriter, WritesColourAndGreyPicturesThatReadBackTheSame)
{
    const orvane::ComApartment apartment;
    const capture::ViewableImage colour{3, 2, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}};
    const capture::ViewableImage grey{4, 1, 1, {50, 100, 150, 200}};
    for (const capture::ViewableImage* image : {&colour, &grey}) {
        const std::string path = TempFile(image->channels == 1 ? "orvane-grey-" : "orvane-colour-");
        std::string error;
        ASSERT_TRUE(capture::WritePng(path, *image, error)) << error;
        test::PngPicture picture;
        const bool read = test::ReadPng(path, image->channels, picture);
        DeleteFileA(path.c_str());
        ASSERT_TRUE(read) << path;
        EXPECT_EQ(picture.width, static_cast<UINT>(image->width));
        EXPECT_EQ(picture.height, static_cast<UINT>(image->height));
        EXPECT_TRUE(IsEqualGUID(picture.format, image->channels == 1 ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR));
        EXPECT_EQ(picture.pixels, image->pixels);
    }
}

TEST(ImageFormatChoice, PicksAnOfferedNameOrAnyTypeNumber)
{
    const std::vector<host::FormatOption> offered = {{"BGR 32", 6}, {"BGR 24", 9},   {"BGR 555", 7},   {"Mono 8", 0},        {"Mono 10", 1},
                                                     {"Mono 16", 2}, {"Y Only 8", 3}, {"Y Only 16", 4}, {"Full YCbCr 16", 5}};
    const struct {
        const char* request;
        LONG type;
        const char* name;
    } picks[] = {{"BGR 32", 6, "BGR 32"}, {"mono 10", 1, "Mono 10"}, {"yonly16", 4, "Y Only 16"}, {"FULL YCBCR 16", 5, "Full YCbCr 16"},
                 {"0", 0, "Mono 8"},      {"8", 8, ""}};
    for (const auto& pick : picks) {
        const auto choice = host::MatchFormat(pick.request, offered);
        ASSERT_TRUE(choice) << pick.request;
        EXPECT_EQ(choice->type, pick.type) << pick.request;
        EXPECT_EQ(choice->name, pick.name) << pick.request;
    }
    for (const char* unknown : {"Mono 12", "BGR", "-1"}) {
        EXPECT_FALSE(host::MatchFormat(unknown, offered)) << unknown;
    }
    const std::string list = host::ListChoices(offered);
    EXPECT_EQ(list.rfind("\"BGR 32\" (6), \"BGR 24\" (9)", 0), 0u) << list;
    EXPECT_NE(list.find("\"Full YCbCr 16\" (5)"), std::string::npos) << list;
}

class CountingSink : public host::FrameSink {
public:
    void OnFrame(const ImageHeader& header, LONGLONG) override
    {
        if (header.pixels != nullptr) {
            ++frames;
        }
    }
    int frames = 0;
};

TEST(BoardControl, FindsTheSimulatedBoardsFunctionsAndDoesWithoutThem)
{
    const host::BoardControl simulated;
    EXPECT_TRUE(simulated.HasCounters());
    EXPECT_TRUE(simulated.HasFillTimes());
    EXPECT_TRUE(simulated.HasFrameRate());
    EXPECT_EQ(simulated.MissingFigures(), "");

    // The vendor's library exports none of them; any library without them stands in for it, and
    // so does one that is not there at all.
    for (const wchar_t* library : {L"kernel32.dll", L"NoSuchBoardLibrary.dll"}) {
        const host::BoardControl other(library);
        EXPECT_FALSE(other.HasCounters());
        EXPECT_FALSE(other.HasFillTimes());
        EXPECT_FALSE(other.HasFrameRate());
        const std::string missing = other.MissingFigures();
        EXPECT_NE(missing.find("fill times"), std::string::npos) << missing;
        EXPECT_NE(missing.find("dropped"), std::string::npos) << missing;
        other.ResetCounters();
        EXPECT_EQ(other.ReadCounters().produced, 0);
        const int block = 0;
        EXPECT_EQ(other.FillTime(&block), 0);
        EXPECT_FALSE(other.SetFrameRate(60));
    }
}

// Drives the module in this process (from its file, no registration) on the simulated board.
class HostSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimBoard_Reset();
        // A key of this process's own: other tests may run a session at the same time.
        settings_.registryPath = key_ + L"\\";
        settings_.profilePath = test::BesideTestProgramA("profiles\\orvane-640x480-60-vga.chp");
        settings_.buffers = 4;
        settings_.creation = host::Creation::ModuleFile;
    }
    void TearDown() override
    {
        SimBoard_Reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
    }

    const std::wstring key_ = L"Software\\OrvaneHostSessionTest " + std::to_wstring(GetCurrentProcessId());
    orvane::ComApartment apartment_;
    host::SessionSettings settings_;
};

TEST_F(HostSession, DeliversTheFramesAskedForAndStops)
{
    test::RunBounded(30000, "capture 10 frames", [&] {
        CountingSink sink;
        host::GrabberSession session;
        std::string error;
        ASSERT_TRUE(session.Open(settings_, error)) << error;
        ASSERT_TRUE(session.Start(sink, 10, error)) << error;
        ASSERT_TRUE(session.WaitForFrames(20000));
        ASSERT_TRUE(session.Stop(error)) << error;
        EXPECT_EQ(session.Counters().delivered, 10u);
        EXPECT_EQ(sink.frames, 10);
        EXPECT_EQ(session.Counters().failures, 0u);
    });
}

TEST_F(HostSession, StopWakesThreadsBlockedWithoutFrames)
{
    // No frame ever comes: the read thread sits in GetCurrent and the grab thread in GrabNext
    // once every buffer is queued. The stop must still end both.
    SimBoard_PauseProducer(1);
    test::RunBounded(30000, "stop a session that got no frames", [&] {
        CountingSink sink;
        host::GrabberSession session;
        std::string error;
        ASSERT_TRUE(session.Open(settings_, error)) << error;
        ASSERT_TRUE(session.Start(sink, 0, error)) << error;
        ASSERT_TRUE(test::WaitUntil(5000, [&] { return session.Counters().grabCalls >= 4; }));
        EXPECT_TRUE(session.Stop(error)) << error;
        EXPECT_EQ(WaitForSingleObject(session.ReadThread(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(session.GrabThread(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(sink.frames, 0);
    });
}

TEST_F(HostSession, SelectedFormatIsTheOneTheModuleDescribes)
{
    // Mono 10 keeps the sample profile's pixel mode (RGB), so the shared file is not rewritten.
    settings_.format = "mono 10";
    std::string notSelectable;
    test::RunBounded(30000, "open in Mono 10", [&] {
        host::GrabberSession session;
        std::string error;
        ASSERT_TRUE(session.Open(settings_, error)) << error;
        if (session.FormatResult() == host::FormatOutcome::NotSelectable) {
            EXPECT_FALSE(session.Geometry().reported) << "a module with the image interface has the setting too";
            notSelectable = session.FormatNote();
            return;
        }
        ASSERT_EQ(session.FormatResult(), host::FormatOutcome::Selected);
        const host::ImageGeometry& g = session.Geometry();
        EXPECT_TRUE(g.reported);
        EXPECT_EQ(g.formatType, 1);
        EXPECT_EQ(g.formatName, "Mono 10");
        EXPECT_EQ(g.bitsPerPixel, 16);
        EXPECT_EQ(g.significantBits, 10);
        EXPECT_EQ(g.formatCode, 114);
        EXPECT_EQ(g.imageBytes, g.width * g.height * 2);
    });
    if (!notSelectable.empty()) {
        GTEST_SKIP() << "this module offers no image format setting: " << notSelectable;
    }

    settings_.format = "Mono 12";
    host::GrabberSession session;
    std::string error;
    EXPECT_FALSE(session.Open(settings_, error));
    EXPECT_EQ(session.FormatResult(), host::FormatOutcome::NoSuchChoice);
    EXPECT_NE(error.find("\"Mono 10\" (1)"), std::string::npos) << "the choices offered: " << error;
}

TEST_F(HostSession, ExplainsAMissingBoard)
{
    SimBoard_SetBoards(nullptr, 0);
    host::GrabberSession session;
    std::string error;
    EXPECT_FALSE(session.Open(settings_, error));
    EXPECT_NE(error.find("could not be initialised"), std::string::npos) << error;
    EXPECT_NE(error.find("0x80020009"), std::string::npos) << "the module's error object: " << error;
}

}  // namespace
