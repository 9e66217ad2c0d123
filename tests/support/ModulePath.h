#pragma once
#include <windows.h>

#include <string>

namespace orvane::test {

// Full path of a file in the folder of the running test program (where the build puts the DLLs).
inline std::wstring BesideTestProgram(const std::wstring& file)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + file;
}

inline std::string BesideTestProgramA(const std::string& file)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.resize(folder.find_last_of("\\/") + 1);
    return folder + file;
}

}  // namespace orvane::test
