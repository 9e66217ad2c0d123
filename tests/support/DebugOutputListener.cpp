#include "tests/support/DebugOutputListener.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orvane::test {

DebugOutputListener::DebugOutputListener()
{
    if (turn_.Held()) {
        reader_.emplace(/*takeOver=*/true);
    }
}

std::vector<std::string> DebugOutputListener::Lines()
{
    if (!reader_) {
        ADD_FAILURE() << "debug output listener: another test process kept the debug output for minutes";
        return {};
    }
    if (!reader_->Active()) {
        ADD_FAILURE() << "debug output listener: " << reader_->Problem();
    }
    return reader_->Lines(10000);
}

void DebugOutputListener::Clear()
{
    if (reader_) {
        reader_->Clear();
    }
}

int DebugOutputListener::Count(const std::string& line)
{
    const auto all = Lines();
    return static_cast<int>(std::count(all.begin(), all.end(), line));
}

bool DebugOutputListener::WaitFor(const std::string& line, DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        const auto arrived = reader_ ? reader_->Collected() : std::vector<std::string>{};
        if (std::find(arrived.begin(), arrived.end(), line) != arrived.end()) {
            return true;
        }
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(2);
    }
}

std::string DebugOutputListener::Dump()
{
    std::string all;
    for (const auto& line : Lines()) {
        all += line;
        all += '\n';
    }
    return all;
}

}  // namespace orvane::test
