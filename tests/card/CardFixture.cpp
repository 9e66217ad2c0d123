#include "tests/card/CardFixture.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/MessageException.h"
#include "tests/support/ModulePath.h"

namespace orvane::test {

namespace {
std::atomic<unsigned> g_profileCounter{0};

std::string TemporaryProfileName()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%sorvane-card-%lu-%u.chp", folder, GetCurrentProcessId(), ++g_profileCounter);
    return name;
}
}  // namespace

SimBoardDescription SimulatedBoard(const char* name, const char* serial, WORD index)
{
    SimBoardDescription board{};
    std::snprintf(board.name, sizeof board.name, "%s", name);
    std::memcpy(board.serial, serial, std::min(std::strlen(serial), sizeof board.serial));
    board.boardIndex = index;
    board.boardType = 5;
    return board;
}

ScratchProfile ScratchProfile::FromSample(const std::string& sample)
{
    const std::string path = TemporaryProfileName();
    const std::string source = BesideTestProgramA("profiles\\" + sample);
    EXPECT_TRUE(CopyFileA(source.c_str(), path.c_str(), FALSE)) << "no sample profile " << source;
    return ScratchProfile(path);
}

ScratchProfile ScratchProfile::FromText(const std::string& text)
{
    const std::string path = TemporaryProfileName();
    std::ofstream(path, std::ios::binary) << text;
    return ScratchProfile(path);
}

ScratchProfile::~ScratchProfile()
{
    if (!path_.empty()) {
        DeleteFileA(path_.c_str());
    }
}

std::string ScratchProfile::Read(const char* section, const char* key) const
{
    char value[512] = {};
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, path_.c_str());
    return value;
}

void CardTest::SetUp()
{
    ASSERT_EQ(SimBoard_Reset(), 0);
    const std::wstring path = registry_.WidePath();
    registryPath_ = SysAllocString(path.c_str());
}

void CardTest::TearDown()
{
    SysFreeString(registryPath_);
    SimBoard_Reset();
}

void CardTest::RememberBoardFile(const std::string& path)
{
    ASSERT_TRUE(ScratchRegistryKey::SetString(ModuleKey(), "Board File", path));
}

std::string CardTest::RememberSample(const char* sample)
{
    profiles_.push_back(ScratchProfile::FromSample(sample));
    RememberBoardFile(profiles_.back().Path());
    return profiles_.back().Path();
}

std::vector<std::string> CardTest::LinesFrom(const std::string& first)
{
    auto lines = listener_.Lines();
    const auto start = std::find(lines.begin(), lines.end(), first);
    return std::vector<std::string>(start, lines.end());
}

std::string MessageRaisedBy(const std::function<void()>& call)
{
    try {
        call();
    } catch (MessageException message) {
        return message;
    } catch (const ComposedMessage& message) {
        return message.Text();
    }
    return {};
}

std::unique_ptr<COrvaneCard> CardTest::OpenCard()
{
    try {
        return std::make_unique<COrvaneCard>(registryPath_);
    } catch (MessageException message) {
        ADD_FAILURE() << "the card did not open: " << message << "\n" << listener_.Dump();
        return nullptr;
    } catch (const ComposedMessage& message) {
        ADD_FAILURE() << "the card did not open: " << message.Text() << "\n" << listener_.Dump();
        return nullptr;
    }
}

std::string CardTest::OpenCardExpectingFailure()
{
    try {
        COrvaneCard card(registryPath_);
    } catch (MessageException message) {
        return message;
    } catch (const ComposedMessage& message) {
        return message.Text();
    }
    return {};
}

}  // namespace orvane::test
