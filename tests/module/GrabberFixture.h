#pragma once
// The grabber object created through COM with a card behind it on the simulated board, and the
// host's threads that call it: what every test of the object with a card starts from.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "platform/UniqueBstr.h"
#include "simboard/SimBoardControl.h"
#include "tests/module/ComTestSupport.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/ModulePath.h"
#include "tests/support/ScratchRegistryKey.h"

namespace orvane::test {

// What a host thread saw of one call: the answer and the error object it left on that thread.
struct HostCall {
    HRESULT result = E_FAIL;
    ThreadError error;
};

inline HostCall Answered(HRESULT result)
{
    return HostCall{result, TakeThreadError()};
}

// Runs one call on a thread of its own, as the host's grab or read thread, with a bound.
inline HostCall OnHostThread(const std::string& what, const std::function<HRESULT()>& call)
{
    HostCall seen;
    RunBounded(20000, what, [&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        SetErrorInfo(0, nullptr);
        seen = Answered(call());
        CoUninitialize();
    });
    return seen;
}

class GrabberCardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
        EnsureModuleRegistered();
        ASSERT_EQ(SimBoard_Reset(), 0);
        ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_ICorvathGenericGrabber,
                                   grabber_.PutVoid()),
                  S_OK);
    }

    void TearDown() override
    {
        grabber_.Reset();
        SimBoard_Reset();
        if (!profile_.empty()) {
            DeleteFileA(profile_.c_str());
        }
    }

    // A private copy of a sample profile, remembered as the card's configuration file; a nonzero
    // size replaces the sample's image size.
    void UseProfile(const char* sample, int width = 0, int height = 0)
    {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%sorvane-module-%lu.chp", folder, GetCurrentProcessId());
        profile_ = name;
        ASSERT_TRUE(CopyFileA(BesideTestProgramA(std::string("profiles\\") + sample).c_str(), name, FALSE));
        if (width != 0) {
            WritePrivateProfileStringA("ORVANEHD", "Image Width", std::to_string(width).c_str(), name);
            WritePrivateProfileStringA("ORVANEHD", "Image Height", std::to_string(height).c_str(), name);
        }
        ASSERT_TRUE(ScratchRegistryKey::SetString(registry_.Path() + "Orvane", "Board File", profile_));
    }

    HostCall Initialize()
    {
        const orvane::UniqueBstr path(SysAllocString(registry_.WidePath().c_str()));
        SetErrorInfo(0, nullptr);
        return Answered(grabber_->InitializeGrabber(path.Get()));
    }

    // Free images queued for the board, which is paused: nothing will be filled until it resumes.
    // One of the object's other interfaces, expected to be there.
    template <typename Interface>
    orvane::ComPtr<Interface> As(REFIID iid)
    {
        orvane::ComPtr<Interface> result;
        EXPECT_EQ(grabber_->QueryInterface(iid, result.PutVoid()), S_OK);
        return result;
    }

    void StartPausedGrab(SHORT buffers)
    {
        ASSERT_EQ(Initialize().result, S_OK);
        ASSERT_EQ(grabber_->AllocateBuffers(buffers), S_OK);
        ASSERT_EQ(SimBoard_PauseProducer(1), 0);
        ASSERT_EQ(grabber_->EnableGrab(), S_OK);
        for (SHORT i = 0; i < buffers; ++i) {
            const HostCall grab = OnHostThread("GrabNext", [&] { return grabber_->GrabNext(); });
            ASSERT_EQ(grab.result, S_OK) << "a free image was waiting";
            EXPECT_FALSE(grab.error.present);
        }
    }

    ComApartment apartment_;
    ScratchRegistryKey registry_;
    std::string profile_;
    orvane::ComPtr<ICorvathGenericGrabber> grabber_;
};

}  // namespace orvane::test
