// The registry and its host interface with adjustments of the test's own: which object a call
// reaches, what the other value type answers, and what the host sees at the registry's edges.
#include <gtest/gtest.h>

#include <array>

#include "adjustments/AdjustmentSupport.h"
#include "adjustments/AdjustmentSupportInterface.h"
#include "adjustments/TypedAdjustments.h"

namespace {

// A double and an integer control that remember what reached them.
class Controls : public CGainAdjustment<double>, public CBrightnessAdjustment<long> {
public:
    double GetGainValue() override { return gain; }
    void SetGainValue(double value) override { gain = value; ++gainWrites; }
    long GetBrightnessValue() override { return brightness; }
    void SetBrightnessValue(long value) override { brightness = value; ++brightnessWrites; }

    double gain = 1.5;
    long brightness = 42;
    int gainWrites = 0;
    int brightnessWrites = 0;
};

class Registry : public CAdjustmentSupport {};

class Host : public CAdjustmentSupportInterface {
public:
    STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
};

class AdjustmentFramework : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry_.AddDoubleAdjustment(1, L"Gain", 0.5, 2.0, {0, 1, 0, 0}, static_cast<CGainAdjustment<double>*>(&controls_));
        registry_.AddLongAdjustment(6, L"Brightness", 0, 255, {7, 8, 9, 10},
                                    static_cast<CBrightnessAdjustment<long>*>(&controls_));
        host_.SetAdjustmentSupport(&registry_);
    }

    Controls controls_;
    Registry registry_;
    Host host_;
};

TEST_F(AdjustmentFramework, EachTypeAnswersOnlyInItsOwnTypeAndIgnoresTheOther)
{
    double d = -1.0;
    LONG l = -1;
    EXPECT_EQ(host_.GetDoubleValue(6, &d), S_OK);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(host_.GetLongValue(6, &l), S_OK);
    EXPECT_EQ(l, 42);
    EXPECT_EQ(host_.SetDoubleValue(6, 99.0), S_OK);
    EXPECT_EQ(controls_.brightnessWrites, 0);

    EXPECT_EQ(host_.GetLongValue(1, &l), S_OK);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(host_.GetDoubleValue(1, &d), S_OK);
    EXPECT_EQ(d, 1.5);
    EXPECT_EQ(host_.SetLongValue(1, 3), S_OK);
    EXPECT_EQ(controls_.gainWrites, 0);
}

TEST_F(AdjustmentFramework, StateIsZeroAndStateWritesAndActionsDoNothing)
{
    for (LONG id : {1, 6, 77}) {
        LONG state = -1;
        EXPECT_EQ(host_.SetStateValue(id, 5), S_OK);
        EXPECT_EQ(host_.Execute(id), S_OK);
        EXPECT_EQ(host_.GetStateValue(id, &state), S_OK);
        EXPECT_EQ(state, 0) << id;
    }
    EXPECT_EQ(controls_.gainWrites + controls_.brightnessWrites, 0);
}

TEST_F(AdjustmentFramework, DuplicateIdsReachOnlyTheFirstByIdButBothByIndex)
{
    Controls second;
    registry_.AddDoubleAdjustment(1, L"Gain again", 0.0, 1.0, {}, static_cast<CGainAdjustment<double>*>(&second));
    LONG count = 0;
    ASSERT_EQ(host_.GetAdjustmentCount(&count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(host_.SetDoubleValue(1, 1.75), S_OK);
    EXPECT_EQ(controls_.gain, 1.75);
    EXPECT_EQ(second.gainWrites, 0);

    // The host's name is replaced by a copy of the entry's; the options come in the host's order.
    BSTR name = SysAllocString(L"what the host had");
    LONG id = 0, longMin = -1, longMax = -1, isLong = -1, o[4] = {};
    double doubleMin = -1, doubleMax = -1;
    for (LONG index : {2, 1}) {
        ASSERT_EQ(host_.GetAdjustmentInfo(index, &id, &name, &longMin, &longMax, &doubleMin, &doubleMax, &isLong,
                                          &o[0], &o[1], &o[2], &o[3]),
                  S_OK);
        const bool gain = index == 2;
        EXPECT_EQ(id, gain ? 1 : 6);
        EXPECT_STREQ(name, gain ? L"Gain again" : L"Brightness");
        EXPECT_EQ(isLong, gain ? 0 : 1);
        EXPECT_EQ(gain ? doubleMax : longMax, gain ? 1.0 : 255);
        EXPECT_EQ(gain ? longMax : doubleMax, 0.0) << "the other type's bounds are zero";
    }
    SysFreeString(name);
    EXPECT_EQ((std::array<LONG, 4>{o[0], o[1], o[2], o[3]}), (std::array<LONG, 4>{7, 8, 9, 10}));
}

// Outside the registry nothing is read and nothing written; an unknown id answers zero.
TEST_F(AdjustmentFramework, OutsideTheRegistryNothingIsReadOrWritten)
{
    LONG id = 12345;
    BSTR name = nullptr;
    LONG longMin = 1, longMax = 2, isLong = 3, o1 = 4, o2 = 5, o3 = 6, o4 = 7;
    double doubleMin = 8, doubleMax = 9;
    for (LONG index : {-1, 2, 1000000}) {
        EXPECT_EQ(host_.GetAdjustmentInfo(index, &id, &name, &longMin, &longMax, &doubleMin, &doubleMax, &isLong, &o1,
                                          &o2, &o3, &o4),
                  E_INVALIDARG)
            << index;
    }
    EXPECT_EQ(id, 12345);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(doubleMax, 9);

    LONG value = -1;
    double d = -1;
    EXPECT_EQ(host_.GetLongValue(99, &value), S_OK);
    EXPECT_EQ(host_.GetDoubleValue(99, &d), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(d, 0.0);

    registry_.ClearAdjustments();
    LONG count = -1;
    EXPECT_EQ(host_.GetAdjustmentCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(host_.SetLongValue(6, 1), S_OK);
    EXPECT_EQ(controls_.brightnessWrites, 0);
}

TEST(AdjustmentInterface, WithoutARegistryEveryOperationFailsAndWritesNothing)
{
    Host host;
    LONG value = 7;
    double d = 7.0;
    BSTR name = nullptr;
    EXPECT_EQ(host.GetAdjustmentCount(&value), E_FAIL);
    EXPECT_EQ(host.GetAdjustmentInfo(0, &value, &name, &value, &value, &d, &d, &value, &value, &value, &value, &value),
              E_FAIL);
    EXPECT_EQ(host.GetLongValue(1, &value), E_FAIL);
    EXPECT_EQ(host.SetLongValue(1, 1), E_FAIL);
    EXPECT_EQ(host.GetDoubleValue(1, &d), E_FAIL);
    EXPECT_EQ(host.SetDoubleValue(1, 1.0), E_FAIL);
    EXPECT_EQ(host.GetStateValue(1, &value), E_FAIL);
    EXPECT_EQ(host.SetStateValue(1, 1), E_FAIL);
    EXPECT_EQ(host.Execute(1), E_FAIL);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(d, 7.0);
}

}  // namespace
