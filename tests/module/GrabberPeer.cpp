// A second host process for the tests of several boards: it creates the grabber through COM,
// initialises it under a registry path the test prepared (board file, board serial, unattended),
// grabs, checks that every frame came from the board it chose, and reports on stdout. The test
// steps it on with two named manual-reset events.
//
//   grabber_peer <goEvent> <quitEvent> <registryPath> <serial>
//       print "initialized 0x<HRESULT>" (and end with exit code 1 when it failed); grab; after 60
//       frames print "grabbing"; on go stop and print "frames <n> foreign <f> disorder <d>";
//       on quit end.
//
// Every wait is bounded; a peer left waiting ends with exit code 4. Exit code 0: all went well.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "interfaces/ImageHeader.h"

namespace {

constexpr DWORD kWaitMs = 60000;
constexpr int kFramesBeforeReport = 60;

HANDLE OpenNamedEvent(const char* name)
{
    return OpenEventA(SYNCHRONIZE, FALSE, name);
}

std::wstring Widen(const char* text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

struct Grabbing {
    ICorvathGenericGrabber* grabber;
    std::atomic<bool> stop{false};
};

DWORD WINAPI GrabThread(LPVOID argument)
{
    auto* grabbing = static_cast<Grabbing*>(argument);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    while (!grabbing->stop) {
        grabbing->grabber->GrabNext();
    }
    CoUninitialize();
    return 0;
}

int Run(const char* go, const char* quit, const char* registryPath, const char* serial)
{
    HANDLE goEvent = OpenNamedEvent(go);
    HANDLE quitEvent = OpenNamedEvent(quit);
    if (goEvent == nullptr || quitEvent == nullptr) {
        std::printf("no events\n");
        return 1;
    }
    ICorvathGenericGrabber* grabber = nullptr;
    HRESULT result = CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_ICorvathGenericGrabber,
                                      reinterpret_cast<void**>(&grabber));
    if (SUCCEEDED(result)) {
        BSTR path = SysAllocString(Widen(registryPath).c_str());
        result = grabber->InitializeGrabber(path);
        SysFreeString(path);
    }
    std::printf("initialized 0x%08lX\n", static_cast<unsigned long>(result));
    std::fflush(stdout);
    if (FAILED(result)) {
        if (grabber != nullptr) {
            grabber->Release();
        }
        return 1;
    }

    char wanted[8] = {};
    std::memcpy(wanted, serial, std::min<size_t>(std::strlen(serial), sizeof wanted));
    grabber->AllocateBuffers(8);
    grabber->EnableGrab();
    Grabbing grabbing{grabber};
    HANDLE thread = CreateThread(nullptr, 0, GrabThread, &grabbing, 0, nullptr);

    int frames = 0;
    int foreign = 0;
    int disorder = 0;
    unsigned long long last = 0;
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (WaitForSingleObject(goEvent, 0) == WAIT_TIMEOUT) {
        if (GetTickCount64() > deadline) {
            return 4;
        }
        ULONG_PTR address = 0;
        grabber->GetCurrent(&address);
        const auto* header = reinterpret_cast<const ImageHeader*>(address);
        if (header == nullptr || header->pixels == nullptr) {
            continue;
        }
        const auto* pixels = static_cast<const unsigned char*>(header->pixels);
        std::uint32_t number = 0;
        std::memcpy(&number, pixels + 4, sizeof number);
        foreign += std::memcmp(pixels + 28, wanted, sizeof wanted) != 0 ? 1 : 0;
        disorder += frames > 0 && number <= last ? 1 : 0;
        last = number;
        grabber->ReleaseCurrent();
        if (++frames == kFramesBeforeReport) {
            std::printf("grabbing\n");
            std::fflush(stdout);
        }
    }
    grabbing.stop = true;
    while (WaitForSingleObject(thread, 10) == WAIT_TIMEOUT) {
        grabber->SignalGrabEvent();
    }
    CloseHandle(thread);
    grabber->DisableGrab();
    std::printf("frames %d foreign %d disorder %d\n", frames, foreign, disorder);
    std::fflush(stdout);
    grabber->Release();
    const bool quitting = WaitForSingleObject(quitEvent, kWaitMs) == WAIT_OBJECT_0;
    CloseHandle(goEvent);
    CloseHandle(quitEvent);
    return quitting ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::printf("usage: grabber_peer <goEvent> <quitEvent> <registryPath> <serial>\n");
        return 2;
    }
    // A single-threaded apartment, as a host's control thread: the object is created in it directly
    // and the grab thread calls it on the raw pointer, as hosts do.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int code = Run(argv[1], argv[2], argv[3], argv[4]);
    CoUninitialize();
    return code;
}
