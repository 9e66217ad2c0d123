#pragma once
// Shared helpers of the simulated-board tests: they drive OHDW32 directly, through its import
// library, as the module does.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "interfaces/BoardLibrary.h"
#include "simboard/SimBoardControl.h"
#include "tests/support/ModulePath.h"

namespace simtest {

constexpr WORD kBoard = 1;  // board index of the default simulated board

inline std::string ProfilePath(const std::string& leaf)
{
    return orvane::test::BesideTestProgramA("profiles\\" + leaf);
}

// A scratch file in the temporary folder, deleted at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::string& content)
    {
        char folder[MAX_PATH] = {};
        char name[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "ohd", 0, name);
        path_ = name;
        Write(content);
    }
    ~TempFile() { DeleteFileA(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    void Write(const std::string& content) const
    {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Text of a whole file.
inline std::string ReadAll(const std::string& path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return text;
    }
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        text.append(buffer, n);
    }
    CloseHandle(file);
    return text;
}

inline std::string ErrorText(WORD status)
{
    char text[256] = {};
    eHD_GetErrorText(status, 255, text);
    return text;
}

inline long long Counter(const char* name) { return SimBoard_GetCounter(name); }

// Every test starts and ends with the simulated board at its defaults.
class SimBoardTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SimBoard_Reset(), 0); }
    void TearDown() override
    {
        EXPECT_EQ(SimBoard_Reset(), 0);
        EXPECT_EQ(Counter("producerThreads"), 0);
    }

    static void OpenBoard()
    {
        OpenRecord record{};
        ASSERT_EQ(eHD_OpenBoard(kBoard, &record), OHD_OK);
    }

    // The module's ConfigureBoard: read the file, (release the old mode,) create the mode, apply it.
    static DWORD Configure(const std::string& path, ModeRecord& record)
    {
        const WORD read = eHD_ReadConfigFile(kBoard, path.c_str(), &record, 0);
        EXPECT_TRUE(read == OHD_OK || read == OHD_CHP_ADJUSTED) << ErrorText(read);
        const DWORD mode = eHD_CreateMode(kBoard, 0, &record);
        EXPECT_NE(mode, 0u);
        EXPECT_EQ(eHD_SetMode(mode, &record, OHD_APPLY_FULL), OHD_OK);
        return mode;
    }

    // Opens the default board and configures it from a sample profile.
    static DWORD OpenAndConfigure(const std::string& leaf, ModeRecord* out = nullptr)
    {
        OpenRecord open{};
        EXPECT_EQ(eHD_OpenBoard(kBoard, &open), OHD_OK);
        ModeRecord record{};
        const DWORD mode = Configure(ProfilePath(leaf), record);
        if (out != nullptr) {
            *out = record;
        }
        return mode;
    }
};

// Caller-owned pixel blocks (width x height x 4 bytes, like the module's), a frame event and the
// stream parameters, as the module's EnableGrab prepares them.
class StreamHarness {
public:
    static constexpr BYTE kGuard = 0xA5;

    StreamHarness(DWORD mode, int format, int width, int height, int blockCount) : mode_(mode)
    {
        blocks_.resize(static_cast<size_t>(blockCount));
        for (auto& block : blocks_) {
            block.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, kGuard);
            pointers_.push_back(block.data());
        }
        event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        std::memset(&parameters_, 0, sizeof parameters_);
        parameters_.size = sizeof(StreamParameters);
        parameters_.buffers = pointers_.data();
        parameters_.bufferCount = static_cast<DWORD>(blockCount);
        parameters_.formatType = format;
        parameters_.height = height;
        parameters_.width = width;
        parameters_.frameEvent = event_;
    }
    ~StreamHarness()
    {
        eHD_LiveStreamMode(mode_, OHD_STREAM_STOP);
        eHD_LiveStreamClose(mode_, &parameters_);
        CloseHandle(event_);
    }
    StreamHarness(const StreamHarness&) = delete;
    StreamHarness& operator=(const StreamHarness&) = delete;

    WORD Open() { return eHD_LiveStreamOpen(mode_, &parameters_); }
    WORD Start() { return eHD_LiveStreamMode(mode_, OHD_STREAM_START); }
    WORD Stop() { return eHD_LiveStreamMode(mode_, OHD_STREAM_STOP); }
    WORD Close() { return eHD_LiveStreamClose(mode_, &parameters_); }
    WORD OpenAndStart()
    {
        const WORD status = Open();
        return status != OHD_OK ? status : Start();
    }

    // The next filled buffer, waiting on the frame event at most `milliseconds`; null on time-out.
    BufferDescriptor* Next(DWORD milliseconds)
    {
        const ULONGLONG deadline = GetTickCount64() + milliseconds;
        for (;;) {
            BufferDescriptor* descriptor = nullptr;
            if (eHD_GetStreamBuffer(mode_, &descriptor) == OHD_OK) {
                return descriptor;
            }
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) {
                return nullptr;
            }
            WaitForSingleObject(event_, static_cast<DWORD>(deadline - now));
        }
    }
    WORD Release(BufferDescriptor* descriptor) { return eHD_ReleaseStreamBuffer(mode_, descriptor); }

    // Index of the caller's block at this address, or -1.
    int BlockIndex(const BYTE* pixels) const
    {
        for (size_t i = 0; i < pointers_.size(); ++i) {
            if (pointers_[i] == pixels) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    StreamParameters& Parameters() { return parameters_; }
    HANDLE Event() const { return event_; }
    DWORD Mode() const { return mode_; }
    size_t BlockBytes() const { return blocks_.front().size(); }

private:
    DWORD mode_;
    std::vector<std::vector<BYTE>> blocks_;
    std::vector<BYTE*> pointers_;
    HANDLE event_ = nullptr;
    StreamParameters parameters_{};
};

inline uint32_t Read32(const BYTE* at) { uint32_t v; std::memcpy(&v, at, 4); return v; }
inline uint16_t Read16(const BYTE* at) { uint16_t v; std::memcpy(&v, at, 2); return v; }

}  // namespace simtest
