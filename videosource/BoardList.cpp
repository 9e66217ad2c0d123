#include "videosource/BoardList.h"

#include <cstring>

#include "interfaces/BoardLibrary.h"
#include "platform/OwnedHandle.h"
#include "tools/common/ComErrorText.h"
#include "tools/common/GrabberFactory.h"

namespace orvane::videosource {

namespace {

constexpr wchar_t kLibrary[] = L"OHDW32.dll";
// The library exports its operations by number only.
constexpr WORD kOrdinalGetBoardCount = 1;
constexpr WORD kOrdinalGetBoardList = 2;
constexpr WORD kOrdinalGetBoardName = 3;
constexpr size_t kNameBytes = 32;

struct LibraryCloser {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using Library = OwnedHandle<HMODULE, LibraryCloser>;

Library LoadBoardLibrary()
{
    const std::wstring module = host::GrabberFactory::RegisteredModulePath();
    const size_t slash = module.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        const std::wstring beside = module.substr(0, slash + 1) + kLibrary;
        if (HMODULE library = LoadLibraryExW(beside.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
            return Library(library);
        }
    }
    return Library(LoadLibraryW(kLibrary));
}

template <typename Function>
Function Operation(HMODULE library, WORD ordinal)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(ordinal))));
}

std::wstring FromBoardText(const char* text, size_t capacity)
{
    return host::Widen(std::string(text, strnlen(text, capacity)));
}

}  // namespace

HRESULT ListBoards(std::vector<BoardInfo>& boards, std::string& error)
{
    boards.clear();
    const Library library = LoadBoardLibrary();
    if (!library) {
        const HRESULT result = HRESULT_FROM_WIN32(GetLastError());
        error = "cannot load the board library OHDW32.dll: " + host::DescribeFailure(result);
        return result;
    }
    const auto count = Operation<decltype(&eHD_GetBoardCount)>(library.Get(), kOrdinalGetBoardCount);
    const auto list = Operation<decltype(&eHD_GetBoardList)>(library.Get(), kOrdinalGetBoardList);
    const auto name = Operation<decltype(&eHD_GetBoardName)>(library.Get(), kOrdinalGetBoardName);
    if (count == nullptr || list == nullptr || name == nullptr) {
        error = "the board library OHDW32.dll lacks its listing operations";
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    if (count(0, kOhdMaxBoards) <= 0) {
        return S_OK;
    }
    BoardList present{};
    present.size = sizeof present;
    if (const WORD status = list(0, sizeof present, &present); status != OHD_OK) {
        error = "the board library did not list its boards (status " + std::to_string(status) + ")";
        return E_FAIL;
    }
    for (DWORD i = 0; i < present.count && i < static_cast<DWORD>(kOhdMaxBoards); ++i) {
        const BoardListEntry& entry = present.entries[i];
        char boardName[kNameBytes] = {};
        BoardNameRequest request{static_cast<DWORD>(static_cast<WORD>(entry.boardId)), boardName};
        name(&request);
        boards.push_back({FromBoardText(entry.serial, sizeof entry.serial), FromBoardText(boardName, sizeof boardName)});
    }
    return S_OK;
}

}  // namespace orvane::videosource
