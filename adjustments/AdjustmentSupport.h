#pragma once
// The registry of adjustments the host lists and drives, in registration order. It is a base of the
// card, rebuilt whole by the card's InitAdjustments, never edited in place. A by-identifier call
// reaches the first entry with that id only; ids are not checked for duplicates.
#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "adjustments/AdjustmentDescriptor.h"

// The four options the host receives unchanged, in the host's order.
struct AdjustmentOptions {
    LONG option1 = 0;
    LONG option2 = 0;
    LONG option3 = 0;
    LONG option4 = 0;
};

class CAdjustmentSupport {
public:
    CAdjustmentSupport() = default;
    CAdjustmentSupport(const CAdjustmentSupport&) = delete;
    CAdjustmentSupport& operator=(const CAdjustmentSupport&) = delete;
    virtual ~CAdjustmentSupport() = default;

    void ClearAdjustments() noexcept { descriptors_.clear(); }
    void AddLongAdjustment(LONG id, const wchar_t* name, LONG min, LONG max, const AdjustmentOptions& options,
                           CAdjustment* adjustment);
    void AddDoubleAdjustment(LONG id, const wchar_t* name, double min, double max, const AdjustmentOptions& options,
                             CAdjustment* adjustment);

    LONG GetAdjustmentCount() const noexcept { return static_cast<LONG>(descriptors_.size()); }
    // Copies the entry at `index`; the caller's name is reallocated to a copy of the entry's. False,
    // with nothing written, for an index outside the registry.
    bool GetAdjustmentInfo(LONG index, LONG* id, BSTR* name, LONG* longMin, LONG* longMax, double* doubleMin,
                           double* doubleMax, LONG* isLong, LONG* option1, LONG* option2, LONG* option3,
                           LONG* option4) const;

    // By identifier: gets write zero first; an unknown id leaves that zero and a set does nothing.
    void GetLongValue(LONG id, LONG* value);
    void SetLongValue(LONG id, LONG value);
    void GetDoubleValue(LONG id, double* value);
    void SetDoubleValue(LONG id, double value);
    void GetStateValue(LONG id, LONG* value);
    void SetStateValue(LONG id, LONG value);
    void Execute(LONG id);

    const std::vector<AdjustmentDescriptor>& Descriptors() const noexcept { return descriptors_; }

protected:
    // What answers for an entry registered without an adjustment object; the virtual operations
    // keep this order.
    virtual void DefaultGetLongValue(LONG id, LONG* value);
    virtual void DefaultSetLongValue(LONG id, LONG value);
    virtual void DefaultGetDoubleValue(LONG id, double* value);
    virtual void DefaultSetDoubleValue(LONG id, double value);
    virtual void DefaultGetStateValue(LONG id, LONG* value);
    virtual void DefaultSetStateValue(LONG id, LONG value);
    virtual void DefaultExecute(LONG id);

private:
    const AdjustmentDescriptor* Find(LONG id) const noexcept;
    void Add(AdjustmentDescriptor descriptor, const wchar_t* name);

    std::vector<AdjustmentDescriptor> descriptors_;
};
