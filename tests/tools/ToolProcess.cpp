#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/support/ModulePath.h"

namespace orvane::test {

namespace {

std::string TempFolder()
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return temp;
}

HANDLE CreateOutputFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// This process's environment with the additions, as CreateProcess takes it.
std::vector<char> EnvironmentBlock(const std::vector<std::string>& additions)
{
    std::vector<char> block;
    char* current = GetEnvironmentStringsA();
    for (const char* entry = current; entry != nullptr && *entry != '\0'; entry += std::strlen(entry) + 1) {
        block.insert(block.end(), entry, entry + std::strlen(entry) + 1);
    }
    FreeEnvironmentStringsA(current);
    for (const std::string& addition : additions) {
        block.insert(block.end(), addition.begin(), addition.end());
        block.push_back('\0');
    }
    block.push_back('\0');
    return block;
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = folder + "\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

ToolProcess::ToolProcess(std::string program, const std::string& stem) : program_(std::move(program))
{
    const std::string base = TempFolder() + stem + "-" + std::to_string(GetCurrentProcessId());
    outFile_ = base + ".out";
    errFile_ = base + ".err";
}

ToolProcess::~ToolProcess()
{
    DeleteFileA(outFile_.c_str());
    DeleteFileA(errFile_.c_str());
}

ToolRun ToolProcess::Run(const std::string& arguments, DWORD milliseconds)
{
    ToolRun run;
    HANDLE out = CreateOutputFile(outFile_);
    HANDLE err = CreateOutputFile(errFile_);
    if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << outFile_ << " or " << errFile_;
        CloseHandle(out);
        CloseHandle(err);
        return run;
    }
    std::string line = "\"" + BesideTestProgramA(program_) + "\" " + arguments;
    std::vector<char> mutableLine(line.begin(), line.end());
    mutableLine.push_back('\0');
    std::vector<char> environment = EnvironmentBlock(environment_);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, environment.data(), nullptr, &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        ADD_FAILURE() << "cannot start " << program_ << " (" << GetLastError() << ")";
        return run;
    }
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        run.ended = true;
    } else {
        ADD_FAILURE() << program_ << " did not end within " << milliseconds / 1000 << " s";
        TerminateProcess(process.hProcess, 3);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    run.out = ReadWholeFile(outFile_);
    run.err = ReadWholeFile(errFile_);
    return run;
}

ScratchFolder::ScratchFolder(const std::string& stem)
    : path_(TempFolder() + stem + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64()))
{
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

}  // namespace orvane::test
