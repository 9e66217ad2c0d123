#pragma once
// What the board library itself says about the boards present and about profiles, asked through
// its own operations (interfaces/BoardLibrary.h) and nothing else, so that it answers the same with
// the vendor's library: --list-boards and --list-profiles of both tools.
#include <cstdio>
#include <string>
#include <vector>

namespace orvane::host {

struct BoardEntry {
    std::string name;
    std::string serial;
    int index = 0;  // the board index the library opens it by
    int type = 0;
    bool open = false;  // open in this process
};

struct ProfileEntry {
    std::string file;        // the file's name in its folder
    unsigned status = 0;     // what eHD_ReadConfigFile answered
    std::string statusText;  // the library's text for a status other than 0
    bool usable = false;     // the module applies a file read with 0 or 535
    int width = 0;           // as the module captures it: active pixels rounded down to a multiple of 4
    int height = 0;
    double rate = 0;         // horizontal frequency / vertical total
    int cable = -1;
    std::string pixelMode;   // [O-RGB] PixelMode, which decides the formats the board delivers
    std::string description;
};

// The boards present, in the library's order. False with `error` when the library fails.
bool ListBoards(std::vector<BoardEntry>& boards, std::string& error);

// Reads every *.chp of `folder` (sorted by name) with eHD_ReadConfigFile on the board with
// `serial` (empty: the first), which it opens for the purpose and closes again. False with `error`
// when there is no such board or it cannot be opened.
bool ReadProfiles(const std::string& folder, const std::string& serial, std::vector<ProfileEntry>& profiles, std::string& error);

// "DVI to DVI" and the like; "cable N" for a type the module does not name.
std::string CableName(int cable);

void PrintBoards(std::FILE* out, const std::vector<BoardEntry>& boards);
void PrintProfiles(std::FILE* out, const std::string& folder, const std::vector<ProfileEntry>& profiles);

}  // namespace orvane::host
