#pragma once
// One board control as the host sees it: read and written as an integer or a floating-point value,
// with a state value and an action. An adjustment answers only in its own value type; the other
// type reads as zero and its writes are ignored.
#include <windows.h>

class CAdjustment {
public:
    // The virtual operations keep this order.
    virtual void GetDoubleValue(double* value) { *value = 0.0; }
    virtual void GetLongValue(LONG* value) { *value = 0; }
    virtual void SetDoubleValue(double /*value*/) {}
    virtual void SetLongValue(LONG /*value*/) {}
    virtual void GetStateValue(LONG* value) = 0;
    virtual void SetStateValue(LONG value) = 0;
    virtual void Execute() = 0;

protected:
    CAdjustment() = default;
    ~CAdjustment() = default;
    CAdjustment(const CAdjustment&) = default;
    CAdjustment& operator=(const CAdjustment&) = default;
};
