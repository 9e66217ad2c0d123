#pragma once
// What every card test starts from: a simulated board in its default state, a scratch registry
// path for the host, a private copy of a sample profile, and the debug output collected.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "card/OrvaneCard.h"
#include "simboard/SimBoardControl.h"
#include "tests/support/DebugOutputListener.h"
#include "tests/support/DialogAnswerer.h"
#include "tests/support/ScratchRegistryKey.h"

namespace orvane::test {

constexpr char kDialogTitle[] = "Orvane - Find a compatible common hardware profile";
constexpr char kDefaultProfile[] = "orvane-1920x1080-60-dvi.chp";

// A copy of a sample profile (or of the given text) in the temporary folder, removed at the end.
class ScratchProfile {
public:
    static ScratchProfile FromSample(const std::string& sample);
    static ScratchProfile FromText(const std::string& text);
    ScratchProfile(ScratchProfile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    ~ScratchProfile();
    const std::string& Path() const { return path_; }
    std::string Read(const char* section, const char* key) const;

private:
    explicit ScratchProfile(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// A simulated board of type 5; a serial number of eight characters fills its field without a
// terminator, as in the board library's own list.
SimBoardDescription SimulatedBoard(const char* name, const char* serial, WORD index);

// The message a card call failed with, a constant or a composed one (empty when it did not fail).
std::string MessageRaisedBy(const std::function<void()>& call);

class CardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The module key the card reads "Board File" from.
    std::string ModuleKey() const { return registry_.Path() + "Orvane"; }
    void RememberBoardFile(const std::string& path);
    // A scratch copy of a sample profile, remembered as the board file: its path.
    std::string RememberSample(const char* sample);
    // The debug lines from the first one equal to `first` on (empty when it never came).
    std::vector<std::string> LinesFrom(const std::string& first);
    std::unique_ptr<COrvaneCard> OpenCard();
    // Construction that is expected to fail: the message it raised (empty when none).
    std::string OpenCardExpectingFailure();

    DebugOutputListener listener_;
    ScratchRegistryKey registry_;
    std::vector<ScratchProfile> profiles_;
    BSTR registryPath_ = nullptr;
};

}  // namespace orvane::test
