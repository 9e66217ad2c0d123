#pragma once
// The boards present, as the board library the module uses lists them: registration offers one
// device per board. The module's host interfaces name no boards, so the library is asked
// directly, loaded from beside the registered module (as the module loads it) and only for its
// three listing operations, which open nothing.
#include <windows.h>

#include <string>
#include <vector>

namespace orvane::videosource {

struct BoardInfo {
    std::wstring serial;
    std::wstring name;
};

// S_OK with the boards (possibly none); a failure when the library cannot be loaded or does not
// list, with the reason in `error`.
HRESULT ListBoards(std::vector<BoardInfo>& boards, std::string& error);

}  // namespace orvane::videosource
