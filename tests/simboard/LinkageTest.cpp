// The library as the module links it: the import library OHDW32 brings the 22 operations in by
// ordinal (no names), ordinal N is the Nth operation of the board library, and only the control functions
// have names.
#include <set>
#include <string>

#include "tests/simboard/SimBoardFixture.h"

namespace {

using namespace simtest;

template <class Function>
FARPROC Proc(Function* function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

// The operations in ordinal order, taken through this program's own imports.
const FARPROC kImported[22] = {
    Proc(&eHD_GetBoardCount),      Proc(&eHD_GetBoardList),
    Proc(&eHD_GetBoardName),       Proc(&eHD_OpenBoard),
    Proc(&eHD_CloseBoard),         Proc(&eHD_SetParameter),
    Proc(&eHD_GetParameter),       Proc(&eHD_ReadConfigFile),
    Proc(&eHD_ReleaseMode),        Proc(&eHD_CreateMode),
    Proc(&eHD_SetMode),            Proc(&eHD_GetMode),
    Proc(&eHD_GetModelTable),      Proc(&eHD_GetBoardInfo),
    Proc(&eHD_GetErrorText),       Proc(&eHD_LiveStreamOpen),
    Proc(&eHD_LiveStreamMode),     Proc(&eHD_LiveStreamClose),
    Proc(&eHD_GetStreamBuffer),    Proc(&eHD_ReleaseStreamBuffer),
    Proc(&eHD_TestWhiteBalance),   Proc(&eHD_SetWhiteBalance),
};

const char* const kOperationNames[22] = {
    "eHD_GetBoardCount", "eHD_GetBoardList", "eHD_GetBoardName", "eHD_OpenBoard", "eHD_CloseBoard",
    "eHD_SetParameter", "eHD_GetParameter", "eHD_ReadConfigFile", "eHD_ReleaseMode", "eHD_CreateMode",
    "eHD_SetMode", "eHD_GetMode", "eHD_GetModelTable", "eHD_GetBoardInfo", "eHD_GetErrorText",
    "eHD_LiveStreamOpen", "eHD_LiveStreamMode", "eHD_LiveStreamClose", "eHD_GetStreamBuffer",
    "eHD_ReleaseStreamBuffer", "eHD_TestWhiteBalance", "eHD_SetWhiteBalance",
};

struct ImportsFromBoard {
    std::set<unsigned> ordinals;
    std::set<std::string> names;
    bool found = false;
};

// Walks this program's import directory for OHDW32.dll.
ImportsFromBoard ReadOwnImports()
{
    ImportsFromBoard result;
    const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + descriptor->Name), "OHDW32.dll") != 0) {
            continue;
        }
        result.found = true;
        const DWORD lookup = descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
        for (const auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + lookup); thunk->u1.AddressOfData != 0; ++thunk) {
            if (IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal)) {
                result.ordinals.insert(static_cast<unsigned>(IMAGE_ORDINAL(thunk->u1.Ordinal)));
            } else {
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData);
                result.names.insert(reinterpret_cast<const char*>(byName->Name));
            }
        }
    }
    return result;
}

TEST(SimBoardLinkage, ImportsTheTwentyTwoOperationsByOrdinalOnly)
{
    const ImportsFromBoard imports = ReadOwnImports();
    ASSERT_TRUE(imports.found) << "no import descriptor for OHDW32.dll";
    for (unsigned ordinal = 1; ordinal <= 22; ++ordinal) {
        EXPECT_EQ(imports.ordinals.count(ordinal), 1u) << "ordinal " << ordinal << " not imported by number";
    }
    for (const std::string& name : imports.names) {
        EXPECT_EQ(name.rfind("SimBoard_", 0), 0u) << "imported by name: " << name;
    }
}

TEST(SimBoardLinkage, OrdinalNIsTheNthOperationAndNoOperationHasAName)
{
    HMODULE board = GetModuleHandleW(L"OHDW32.dll");
    ASSERT_NE(board, nullptr);
    for (int i = 0; i < 22; ++i) {
        EXPECT_EQ(GetProcAddress(board, MAKEINTRESOURCEA(i + 1)), kImported[i]) << kOperationNames[i];
        EXPECT_EQ(GetProcAddress(board, kOperationNames[i]), nullptr) << kOperationNames[i] << " has a name";
    }
    EXPECT_EQ(GetProcAddress(board, MAKEINTRESOURCEA(23)), nullptr);
}

TEST(SimBoardLinkage, ControlFunctionsAreExportedByName)
{
    HMODULE board = GetModuleHandleW(L"OHDW32.dll");
    ASSERT_NE(board, nullptr);
    for (const char* name : {"SimBoard_Reset", "SimBoard_SetBoards", "SimBoard_SetSignal", "SimBoard_SetFrameRate",
                             "SimBoard_SetDropPercent", "SimBoard_FailNext", "SimBoard_PauseProducer", "SimBoard_SetTimeCode",
                             "SimBoard_GetCounter", "SimBoard_ResetCounters", "SimBoard_GetFillTime", "SimBoard_DelayNext",
                             "SimBoard_SetBoardSignal", "SimBoard_SetBoardFrameRate", "SimBoard_SetBoardDropPercent",
                             "SimBoard_FailNextOnBoard", "SimBoard_PauseBoardProducer", "SimBoard_GetBoardCounter"}) {
        EXPECT_NE(GetProcAddress(board, name), nullptr) << name;
    }
}

TEST(SimBoardLinkage, RecordSizesMatchTheSpecifiedLayouts)
{
    EXPECT_EQ(sizeof(BoardList), 380u);
    EXPECT_EQ(sizeof(BoardListEntry), 24u);
    EXPECT_EQ(sizeof(OpenRecord), 32u);
    EXPECT_EQ(sizeof(ModeRecord), 1134u);
    EXPECT_EQ(sizeof(WhiteBalanceRecord), 36u);
    EXPECT_EQ(sizeof(ModelTableEntry), 236u);
    EXPECT_EQ(offsetof(ModelTable, entries), 8u);
    // Records with addresses: the i686 sizes (84, 8, 8); natural layout elsewhere.
    EXPECT_EQ(sizeof(StreamParameters), sizeof(void*) == 4 ? 84u : sizeof(StreamParameters));
    EXPECT_EQ(offsetof(BufferDescriptor, pixels), sizeof(void*) == 4 ? 4u : 8u);
    EXPECT_EQ(offsetof(ParameterBlock, mode), sizeof(void*) == 4 ? 4u : 8u);
}

}  // namespace
