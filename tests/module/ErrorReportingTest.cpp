// How a failure reaches the host: the card's message text becomes the calling thread's error
// object with DISP_E_EXCEPTION, and no C++ exception ever leaves through an interface.
#include <gtest/gtest.h>
#include <windows.h>

#include <new>
#include <stdexcept>

#include "platform/MessageException.h"
#include "platform/InterfaceBoundary.h"
#include "tests/module/ComTestSupport.h"

namespace {

using namespace orvane::test;

class ErrorReportingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
        EnsureModuleRegistered();
        SetErrorInfo(0, nullptr);
    }
    ComApartment apartment_;
};

TEST_F(ErrorReportingTest, ACardMessageBecomesAnErrorObjectInTheAnsiCodePage)
{
    const HRESULT result = orvane::CallAtInterface([]() -> HRESULT { orvane::RaiseMessage("Not Enough memory"); });
    EXPECT_EQ(result, static_cast<HRESULT>(0x80020009));
    const ThreadError error = TakeThreadError();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(error.description, L"Not Enough memory");
    EXPECT_EQ(error.source, L"Orvane.CorvathOrvane.1");
    EXPECT_TRUE(IsEqualGUID(error.guid, GUID_NULL));
    EXPECT_TRUE(error.helpFile.empty());
    EXPECT_EQ(error.helpContext, 0u);

    if (GetACP() == 1252) {
        orvane::ReportError("Caf\xe9 \x80", S_OK);
        EXPECT_EQ(TakeThreadError().description, L"Caf\u00e9 \u20ac");
    }
}

TEST_F(ErrorReportingTest, OtherExceptionsStopAtTheInterfaceWithoutAnErrorObject)
{
    EXPECT_EQ(orvane::CallAtInterface([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(orvane::CallAtInterface([]() -> HRESULT { throw std::runtime_error("a fault"); }), E_UNEXPECTED);
    EXPECT_EQ(orvane::CallAtInterface([]() -> HRESULT { throw 42; }), E_UNEXPECTED);
    EXPECT_FALSE(TakeThreadError().present);
}

}  // namespace
