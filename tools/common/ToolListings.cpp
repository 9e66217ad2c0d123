#include "tools/common/ToolListings.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "tools/common/BoardInventory.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/ExitCodes.h"
#include "tools/common/ProfileInfo.h"

namespace orvane::host {

namespace {

nlohmann::json BoardsJson(const std::vector<BoardEntry>& boards)
{
    nlohmann::json list = nlohmann::json::array();
    for (const BoardEntry& b : boards) {
        list.push_back({{"name", Utf8(b.name)}, {"serial", Utf8(b.serial)}, {"index", b.index}, {"type", b.type}, {"open", b.open}});
    }
    return list;
}

nlohmann::json ProfilesJson(const std::vector<ProfileEntry>& profiles)
{
    nlohmann::json list = nlohmann::json::array();
    for (const ProfileEntry& p : profiles) {
        nlohmann::json entry = {{"file", Utf8(p.file)}, {"status", p.status}, {"usable", p.usable}};
        if (!p.statusText.empty()) {
            entry["status_text"] = Utf8(p.statusText);
        }
        if (p.usable) {
            entry["width"] = p.width;
            entry["height"] = p.height;
            entry["rate_hz"] = p.rate;
            entry["cable"] = CableName(p.cable);
            entry["pixel_mode"] = Utf8(p.pixelMode);
            entry["description"] = Utf8(p.description);
        }
        list.push_back(entry);
    }
    return list;
}

}  // namespace

int PrintListings(const char* tool, const CommonOptions& options, std::FILE* out)
{
    nlohmann::json json = nlohmann::json::object();
    std::string error;
    if (options.listBoards) {
        std::vector<BoardEntry> boards;
        if (!ListBoards(boards, error)) {
            std::fprintf(stderr, "%s: error: %s\n", tool, error.c_str());
            return kExitFailed;
        }
        if (options.json) {
            json["boards"] = BoardsJson(boards);
        } else {
            PrintBoards(out, boards);
        }
    }
    if (options.listProfiles) {
        const std::string folder = FullPath(options.listProfiles->empty() ? ProgramFolder() + "profiles" : *options.listProfiles);
        std::vector<ProfileEntry> profiles;
        if (!ReadProfiles(folder, options.board, profiles, error)) {
            std::fprintf(stderr, "%s: error: %s\n", tool, error.c_str());
            return kExitFailed;
        }
        if (options.json) {
            json["profiles_folder"] = Utf8(folder);
            json["profiles"] = ProfilesJson(profiles);
        } else {
            PrintProfiles(out, folder, profiles);
        }
    }
    if (options.json) {
        std::fprintf(out, "%s\n", json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    }
    return std::fflush(out) == 0 ? kExitSuccess : kExitOutputFailed;
}

}  // namespace orvane::host
