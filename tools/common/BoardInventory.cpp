#include "tools/common/BoardInventory.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "interfaces/BoardLibrary.h"
#include "tools/common/ProfileInfo.h"

namespace orvane::host {

namespace {

std::string StatusText(WORD status)
{
    char text[256] = {};
    if (eHD_GetErrorText(status, sizeof text - 1, text) != OHD_OK || text[0] == '\0') {
        return "status " + std::to_string(status);
    }
    return text;
}

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// The board list's serial field holds at most 7 characters and a terminator; one that fills the
// field is taken whole rather than read past its end.
std::string SerialOf(const BoardListEntry& entry)
{
    return std::string(entry.serial, strnlen(entry.serial, sizeof entry.serial));
}

}  // namespace

bool ListBoards(std::vector<BoardEntry>& boards, std::string& error)
{
    boards.clear();
    const short count = eHD_GetBoardCount(0, kOhdMaxBoards);
    if (count < 0) {
        error = "the board library cannot count its boards (" + std::to_string(count) + ")";
        return false;
    }
    if (count == 0) {
        return true;
    }
    auto list = std::make_unique<BoardList>();
    *list = {};
    list->size = sizeof(BoardList);
    const WORD status = eHD_GetBoardList(0, sizeof(BoardList), list.get());
    if (status != OHD_OK) {
        error = "the board library cannot list its boards: " + StatusText(status) + " (" + Hex(status) + ")";
        return false;
    }
    const DWORD filled = std::min<DWORD>(list->count, static_cast<DWORD>(kOhdMaxBoards));
    for (DWORD i = 0; i < filled; ++i) {
        const BoardListEntry& entry = list->entries[i];
        BoardEntry board;
        board.serial = SerialOf(entry);
        board.index = entry.boardIndex;
        board.type = entry.boardType;
        board.open = (entry.flags & 1) != 0;
        char name[32] = {};
        BoardNameRequest request{static_cast<DWORD>(static_cast<WORD>(entry.boardId)), name};
        if (eHD_GetBoardName(&request) == OHD_OK) {
            board.name.assign(name, strnlen(name, sizeof name));
        }
        boards.push_back(board);
    }
    return true;
}

bool ReadProfiles(const std::string& folder, const std::string& serial, std::vector<ProfileEntry>& profiles, std::string& error)
{
    profiles.clear();
    std::vector<BoardEntry> boards;
    if (!ListBoards(boards, error)) {
        return false;
    }
    const auto board = std::find_if(boards.begin(), boards.end(),
                                    [&serial](const BoardEntry& b) { return serial.empty() || b.serial == serial; });
    if (board == boards.end()) {
        error = serial.empty() ? "the board library reports no board" : "no board has the serial number " + serial;
        return false;
    }
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.chp").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                files.push_back(found.cFileName);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(files.begin(), files.end());

    // The library reads a profile only for a board that is open; one this process has open already
    // (the module's) is used as it is and left open.
    const WORD index = static_cast<WORD>(board->index);
    OpenRecord record{};
    const WORD opened = eHD_OpenBoard(index, &record);
    if (opened != OHD_OK && opened != OHD_ERR_BOARD_ALREADY_OPEN) {
        error = "board " + board->serial + " cannot be opened: " + StatusText(opened) + " (" + Hex(opened) + ")";
        return false;
    }
    for (const std::string& file : files) {
        const std::string path = folder + "\\" + file;
        ProfileEntry profile;
        profile.file = file;
        auto mode = std::make_unique<ModeRecord>();
        *mode = {};
        profile.status = eHD_ReadConfigFile(index, path.c_str(), mode.get(), 0);
        profile.usable = profile.status == OHD_OK || profile.status == OHD_CHP_ADJUSTED;
        if (profile.status != OHD_OK) {
            profile.statusText = StatusText(static_cast<WORD>(profile.status));
        }
        if (profile.usable) {
            profile.width = mode->activePixels & ~3;
            profile.height = mode->activeLines;
            profile.cable = mode->cableType;
            profile.rate = mode->verticalTotal > 0 ? static_cast<double>(mode->horizontalFrequency) / mode->verticalTotal : 0;
        }
        char pixelMode[8] = {};
        GetPrivateProfileStringA("O-RGB", "PixelMode", "", pixelMode, sizeof pixelMode, path.c_str());
        profile.pixelMode = pixelMode[0] != '\0' ? pixelMode : "RGB";
        if (const auto info = ReadProfile(path)) {
            profile.description = info->description;
        }
        profiles.push_back(profile);
    }
    if (opened == OHD_OK) {
        eHD_CloseBoard(index);
    }
    return true;
}

std::string CableName(int cable)
{
    switch (cable) {
    case OHD_CABLE_DVI_TO_BNC:
        return "DVI to BNC";
    case OHD_CABLE_DVI_TO_VGA:
        return "DVI to VGA";
    case OHD_CABLE_DVI_TO_DVI:
        return "DVI to DVI";
    default:
        return "cable " + std::to_string(cable);
    }
}

void PrintBoards(std::FILE* out, const std::vector<BoardEntry>& boards)
{
    if (boards.empty()) {
        std::fprintf(out, "No board present.\n");
        return;
    }
    std::fprintf(out, "%-24s %-10s %-6s %s\n", "name", "serial", "index", "type");
    for (const BoardEntry& board : boards) {
        std::fprintf(out, "%-24s %-10s %-6d %d%s\n", board.name.c_str(), board.serial.c_str(), board.index, board.type,
                     board.open ? " (open)" : "");
    }
}

void PrintProfiles(std::FILE* out, const std::string& folder, const std::vector<ProfileEntry>& profiles)
{
    std::fprintf(out, "Profiles in %s:\n", folder.c_str());
    if (profiles.empty()) {
        std::fprintf(out, "  none (*.chp)\n");
        return;
    }
    std::fprintf(out, "  %-32s %-13s %-10s  %-10s %-15s %s\n", "file", "size", "rate", "cable", "pixel mode", "description");
    for (const ProfileEntry& p : profiles) {
        if (!p.usable) {
            std::fprintf(out, "  %-32s not usable: %s\n", p.file.c_str(), p.statusText.c_str());
            continue;
        }
        std::fprintf(out, "  %-32s %5d x %-5d %7.3f Hz  %-10s %-15s %s\n", p.file.c_str(), p.width, p.height, p.rate,
                     CableName(p.cable).c_str(), p.pixelMode.c_str(), p.description.c_str());
        if (p.status != OHD_OK) {
            std::fprintf(out, "  %-32s (accepted with changes: %s)\n", "", p.statusText.c_str());
        }
    }
}

}  // namespace orvane::host
