#pragma once
// Runs one of the tools beside the test program as a user runs it, with its standard output and
// standard error in files (pipes would be held open by Wine's helper processes) and no input; a
// run that does not end within its bound fails the test and is ended.
#include <windows.h>

#include <string>
#include <vector>

namespace orvane::test {

struct ToolRun {
    DWORD exitCode = ~0u;
    bool ended = false;  // false: it had to be ended after the bound
    std::string out;     // standard output, byte for byte
    std::string err;
    std::string Output() const { return out + err; }
};

class ToolProcess {
public:
    // `program`: a file beside the test program. Scratch files are named after `stem` in the
    // temporary folder, with this process's id.
    ToolProcess(std::string program, const std::string& stem);
    ~ToolProcess();  // removes the scratch files
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // NAME=VALUE pairs added to the tool's environment.
    void SetEnvironment(std::vector<std::string> additions) { environment_ = std::move(additions); }

    ToolRun Run(const std::string& arguments, DWORD milliseconds = 90000);

private:
    std::string program_;
    std::string outFile_;
    std::string errFile_;
    std::vector<std::string> environment_;
};

// A folder of its own in the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& stem);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string In(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace orvane::test
