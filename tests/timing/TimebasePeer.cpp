// A second process for the shared timebase tests. It attaches like a card in another process would
// and reports on stdout; the test steps it on with two named manual-reset events.
//
//   timebase_peer <goEvent> <quitEvent> hold <counter>
//       attach; print "record <count> <referenceCounter>" and "time <s> <ms> <us>" for
//       the counter; on go detach and print "detached"; on quit exit.
//   timebase_peer <goEvent> <quitEvent> churn <threads> <cycles>
//       on go, every thread attaches a resident object and then attaches and detaches another one
//       <cycles> times, checking that it is attached and sees the resident's reference; print
//       "churn <ok> <referenceCounter>"; on quit detach the residents and exit.
//
// Every wait is bounded; a peer left waiting ends with exit code 4. Exit code 0 means all went well.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "timing/SharedTimebase.h"

namespace {

constexpr DWORD kWaitMs = 60000;

bool SameReference(const TimebaseRecord& a, const TimebaseRecord& b)
{
    return a.referenceCounter == b.referenceCounter && a.reference.seconds == b.reference.seconds &&
           a.reference.milliseconds == b.reference.milliseconds && a.frequency == b.frequency;
}

bool WaitFor(const char* eventName)
{
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, eventName);
    const bool signalled = event != nullptr && WaitForSingleObject(event, kWaitMs) == WAIT_OBJECT_0;
    if (event != nullptr) {
        CloseHandle(event);
    }
    return signalled;
}

int Hold(const char* go, const char* quit, long long counter)
{
    SharedTimebase timebase;
    timebase.AttachTimebase();
    const auto record = timebase.Record();
    if (!record) {
        std::printf("unattached\n");
        return 1;
    }
    std::int32_t s = 0;
    std::uint16_t ms = 0, us = 0;
    timebase.ReadTimebaseAt(counter, s, ms, us);
    std::printf("record %u %lld\n", unsigned{record->attachCount}, static_cast<long long>(record->referenceCounter));
    std::printf("time %ld %u %u\n", static_cast<long>(s), unsigned{ms}, unsigned{us});
    std::fflush(stdout);
    if (!WaitFor(go)) {
        return 4;
    }
    timebase.DetachTimebase();
    std::printf("detached\n");
    std::fflush(stdout);
    return WaitFor(quit) ? 0 : 4;
}

struct Churner {
    const char* go = nullptr;
    int cycles = 0;
    SharedTimebase resident;
    bool ok = false;

    static DWORD WINAPI Run(LPVOID self)
    {
        static_cast<Churner*>(self)->Loop();
        return 0;
    }

    void Loop()
    {
        if (!WaitFor(go)) {
            return;
        }
        resident.AttachTimebase();
        const auto reference = resident.Record();
        ok = reference.has_value();
        for (int i = 0; ok && i < cycles; ++i) {
            SharedTimebase visitor;
            visitor.AttachTimebase();
            const auto seen = visitor.Record();
            ok = seen && SameReference(*seen, *reference) && seen->attachCount >= 1;
            visitor.DetachTimebase();
        }
    }
};

int Churn(const char* go, const char* quit, int threadCount, int cycles)
{
    std::vector<std::unique_ptr<Churner>> churners;
    std::vector<HANDLE> threads;
    for (int i = 0; i < threadCount && i < MAXIMUM_WAIT_OBJECTS; ++i) {
        churners.push_back(std::make_unique<Churner>());
        churners.back()->go = go;
        churners.back()->cycles = cycles;
        threads.push_back(CreateThread(nullptr, 0, &Churner::Run, churners.back().get(), 0, nullptr));
        if (threads.back() == nullptr) {
            return 1;
        }
    }
    if (WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, kWaitMs) != WAIT_OBJECT_0) {
        return 4;
    }
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }
    bool ok = !churners.empty();
    const auto reference = churners.front()->resident.Record();
    for (const auto& churner : churners) {
        const auto seen = churner->resident.Record();
        ok = ok && churner->ok && seen && reference && SameReference(*seen, *reference);
    }
    std::printf("churn %d %lld\n", ok ? 1 : 0, reference ? static_cast<long long>(reference->referenceCounter) : 0LL);
    std::fflush(stdout);
    if (!WaitFor(quit)) {
        return 4;
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[3], "hold") == 0) {
        return Hold(argv[1], argv[2], std::strtoll(argv[4], nullptr, 10));
    }
    if (argc == 6 && std::strcmp(argv[3], "churn") == 0) {
        return Churn(argv[1], argv[2], std::atoi(argv[4]), std::atoi(argv[5]));
    }
    std::fprintf(stderr, "usage: timebase_peer <goEvent> <quitEvent> hold <counter> | churn <threads> <cycles>\n");
    return 2;
}
