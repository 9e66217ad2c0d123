// The grabber object as a host meets it before InitializeGrabber: its interfaces and identity,
// error support, page list and automation; and that nothing it is asked before it has a card can
// bring it down.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>

#include <utility>

#include "CorvathSdk.h"
#include "Orvane.h"
#include "tests/module/ComTestSupport.h"

namespace {

using namespace orvane::test;
using orvane::ComPtr;

class GrabberObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
        EnsureModuleRegistered();
        ASSERT_EQ(CoCreateInstance(CLSID_CorvathOrvane, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   object_.PutVoid()),
                  S_OK);
    }

    template <typename T>
    ComPtr<T> As(REFIID iid)
    {
        ComPtr<T> result;
        EXPECT_EQ(object_.QueryTo(iid, result), S_OK);
        return result;
    }

    ComApartment apartment_;
    ComPtr<IUnknown> object_;
};

TEST_F(GrabberObjectTest, AnswersItsTwelveInterfacesWithOneIdentity)
{
    const IID* const interfaces[] = {
        &IID_ICorvathOrvane,         &IID_IDispatch,
        &IID_ISupportErrorInfo,      &IID_ISpecifyPropertyPages,
        &IID_ICorvathGenericGrabber, &IID_ICorvathImageProp,
        &IID_ICorvathConfigurationFileProp, &IID_ICorvathBufferUsageProp,
        &IID_ICorvathTimeSourceProp, &IID_ICorvathAdjustment,
        &IID_ICorvathGenericButtonClickProp, &IID_ICorvathSettingsProp,
    };
    ComPtr<IUnknown> dispatch;
    ASSERT_EQ(object_.QueryTo(IID_IDispatch, dispatch), S_OK);
    EXPECT_EQ(object_.Get(), dispatch.Get());

    for (const IID* iid : interfaces) {
        ComPtr<IUnknown> part;
        ASSERT_EQ(object_.QueryTo(*iid, part), S_OK);
        ASSERT_TRUE(part);
        ComPtr<IUnknown> identity;
        ASSERT_EQ(part.QueryTo(IID_IUnknown, identity), S_OK);
        EXPECT_EQ(identity.Get(), object_.Get());
        // Every part reaches every other part.
        ComPtr<IUnknown> grabber;
        EXPECT_EQ(part.QueryTo(IID_ICorvathGenericGrabber, grabber), S_OK);
    }

    ComPtr<IUnknown> none;
    EXPECT_EQ(object_.QueryTo(IID_IPersist, none), E_NOINTERFACE);
    EXPECT_FALSE(none);
    void* raw = &none;
    EXPECT_EQ(object_->QueryInterface(IID_IClassFactory, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
}

TEST_F(GrabberObjectTest, SupportsErrorInfoOnlyForItsAutomationInterface)
{
    auto support = As<ISupportErrorInfo>(IID_ISupportErrorInfo);
    ASSERT_TRUE(support);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ICorvathOrvane), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ICorvathGenericGrabber), S_FALSE);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(GrabberObjectTest, ListsTheFourHostPagesInOrder)
{
    auto pages = As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    ASSERT_TRUE(pages);
    EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);

    CAUUID list{};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 4u);
    EXPECT_TRUE(IsEqualCLSID(list.pElems[0], CLSID_CorvathGrabberPage1));
    EXPECT_TRUE(IsEqualCLSID(list.pElems[1], CLSID_CorvathGrabberPage2));
    EXPECT_TRUE(IsEqualCLSID(list.pElems[2], CLSID_CorvathGrabberPage3));
    EXPECT_TRUE(IsEqualCLSID(list.pElems[3], CLSID_CorvathGrabberPage4));
    CoTaskMemFree(list.pElems);
}

TEST_F(GrabberObjectTest, TypeInformationComesFromTheRegisteredLibrary)
{
    auto dispatch = As<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(dispatch);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    ComPtr<ITypeInfo> info;
    ASSERT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), S_OK);
    ASSERT_TRUE(info);
    BSTR name = nullptr;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"ICorvathOrvane");
    SysFreeString(name);
    ComPtr<ITypeLib> library;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(library.Put(), &index), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_ORVANELib));
    library->ReleaseTLibAttr(attributes);

    ComPtr<ITypeInfo> none;
    EXPECT_EQ(dispatch->GetTypeInfo(1, LOCALE_USER_DEFAULT, none.Put()), DISP_E_BADINDEX);
    EXPECT_FALSE(none);

    // No members of its own: every name is unknown.
    wchar_t member[] = L"Anything";
    LPOLESTR names[] = {member};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(GrabberObjectTest, OperationsBeforeInitializeGrabberFailSafely)
{
    auto grabber = As<ICorvathGenericGrabber>(IID_ICorvathGenericGrabber);
    ASSERT_TRUE(grabber);
    EXPECT_EQ(grabber->AllocateBuffers(4), E_UNEXPECTED);
    EXPECT_EQ(grabber->GrabNext(), E_UNEXPECTED);
    SHORT count = 77;
    EXPECT_EQ(grabber->GetBufferCount(&count), E_UNEXPECTED);
    EXPECT_EQ(count, 77);
    ULONG_PTR header = 77;
    EXPECT_EQ(grabber->GetCurrent(&header), E_UNEXPECTED);
    EXPECT_EQ(header, 77u);
    EXPECT_EQ(grabber->GetCurrent(nullptr), E_POINTER);
    EXPECT_EQ(grabber->GetBufferCount(nullptr), E_POINTER);

    // The three interfaces that point into the card answer as they do without one.
    auto adjustment = As<ICorvathAdjustment>(IID_ICorvathAdjustment);
    LONG value = 5;
    EXPECT_EQ(adjustment->GetAdjustmentCount(&value), E_FAIL);
    auto settings = As<ICorvathSettingsProp>(IID_ICorvathSettingsProp);
    EXPECT_EQ(settings->GetSettingCount(&value), E_FAIL);
    auto timeSource = As<ICorvathTimeSourceProp>(IID_ICorvathTimeSourceProp);
    EXPECT_EQ(timeSource->GetSynchronizationStatus(&value), S_OK);
    EXPECT_EQ(value, 5);
}

}  // namespace
