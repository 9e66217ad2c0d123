// The class factory and the module's lock count, through the COM runtime: whether the module may
// be unloaded follows the objects, the factory references and LockServer; aggregation hands the
// outer object an inner IUnknown and delegates everything else to it.
#include <gtest/gtest.h>
#include <windows.h>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "tests/module/ComTestSupport.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

class ClassFactoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
        EnsureModuleRegistered();
    }

    ComPtr<IClassFactory> Factory()
    {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(CoGetClassObject(CLSID_CorvathOrvane, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   factory.PutVoid()),
                  S_OK);
        return factory;
    }

    ComApartment apartment_;
};

// An outer object as an aggregating host writes it: its own identity, the rest from the inner one.
class OuterObject : public IUnknown {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override
    {
        ++queries;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (inner == nullptr) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return inner->QueryInterface(iid, object);
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++references); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--references); }

    LONG references = 1;
    int queries = 0;
    IUnknown* inner = nullptr;
};

TEST_F(ClassFactoryTest, TheModuleStaysLoadedWhileAnObjectLives)
{
    ComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid()),
              S_OK);
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);

    ComPtr<IUnknown> second;
    ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, second.PutVoid()),
              S_OK);
    EXPECT_NE(object.Get(), second.Get());
    object.Reset();
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);
    second.Reset();
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
}

TEST_F(ClassFactoryTest, FactoryReferencesAndLockServerKeepTheModuleLoaded)
{
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);

    factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);
    factory.Reset();
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
}

TEST_F(ClassFactoryTest, AnAggregatedObjectDelegatesItsIUnknownToTheOuterObject)
{
    OuterObject outer;
    ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    ASSERT_NE(outer.inner, nullptr);
    EXPECT_EQ(outer.references, 1);

    // The inner IUnknown is its own identity and counts its own references.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, outer.inner);
    EXPECT_EQ(innerAgain->Release(), 1u);
    EXPECT_EQ(outer.references, 1);

    // The grabber's interfaces count on the outer object and answer IUnknown with it.
    ComPtr<ICorvathGenericGrabber> grabber;
    ASSERT_EQ(outer.QueryInterface(IID_ICorvathGenericGrabber, grabber.PutVoid()), S_OK);
    EXPECT_EQ(outer.references, 2);
    IUnknown* identity = nullptr;
    const int queriesBefore = outer.queries;
    ASSERT_EQ(grabber->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.queries, queriesBefore + 1);
    identity->Release();
    ComPtr<ISupportErrorInfo> errorSupport;
    EXPECT_EQ(grabber.QueryTo(IID_ISupportErrorInfo, errorSupport), S_OK);
    errorSupport.Reset();
    grabber.Reset();
    EXPECT_EQ(outer.references, 1);

    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);
    EXPECT_EQ(outer.inner->Release(), 0u);
    outer.inner = nullptr;
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
}

TEST_F(ClassFactoryTest, AggregationAskingForAnotherInterfaceIsRefusedWithANullPointer)
{
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    OuterObject outer;
    void* object = &outer;  // anything but null, to see it cleared
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ICorvathGenericGrabber, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(outer.references, 1);

    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICorvathGenericGrabber, nullptr), E_POINTER);
    object = &outer;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    factory.Reset();
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);

    HMODULE module = GetModuleHandleW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_NE(get, nullptr);
    object = &outer;
    EXPECT_EQ(get(IID_ICorvathGenericGrabber, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
}

}  // namespace
