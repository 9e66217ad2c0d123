#include "adjustments/AdjustmentSupport.h"

#include <new>
#include <utility>

void CAdjustmentSupport::Add(AdjustmentDescriptor descriptor, const wchar_t* name)
{
    descriptor.name = orvane::UniqueBstr(SysAllocString(name != nullptr ? name : L""));
    if (descriptor.name.Get() == nullptr) {
        throw std::bad_alloc();
    }
    descriptors_.push_back(std::move(descriptor));
}

void CAdjustmentSupport::AddLongAdjustment(LONG id, const wchar_t* name, LONG min, LONG max,
                                           const AdjustmentOptions& options, CAdjustment* adjustment)
{
    AdjustmentDescriptor descriptor;
    descriptor.id = id;
    descriptor.longMin = min;
    descriptor.longMax = max;
    descriptor.isLong = 1;
    descriptor.option1 = options.option1;
    descriptor.option2 = options.option2;
    descriptor.option3 = options.option3;
    descriptor.option4 = options.option4;
    descriptor.adjustment = adjustment;
    Add(std::move(descriptor), name);
}

void CAdjustmentSupport::AddDoubleAdjustment(LONG id, const wchar_t* name, double min, double max,
                                             const AdjustmentOptions& options, CAdjustment* adjustment)
{
    AdjustmentDescriptor descriptor;
    descriptor.id = id;
    descriptor.doubleMin = min;
    descriptor.doubleMax = max;
    descriptor.isLong = 0;
    descriptor.option1 = options.option1;
    descriptor.option2 = options.option2;
    descriptor.option3 = options.option3;
    descriptor.option4 = options.option4;
    descriptor.adjustment = adjustment;
    Add(std::move(descriptor), name);
}

bool CAdjustmentSupport::GetAdjustmentInfo(LONG index, LONG* id, BSTR* name, LONG* longMin, LONG* longMax,
                                           double* doubleMin, double* doubleMax, LONG* isLong, LONG* option1,
                                           LONG* option2, LONG* option3, LONG* option4) const
{
    if (index < 0 || static_cast<size_t>(index) >= descriptors_.size()) {
        return false;
    }
    const AdjustmentDescriptor& entry = descriptors_[static_cast<size_t>(index)];
    const BSTR source = entry.name.Get();
    if (!SysReAllocStringLen(name, source, SysStringLen(source))) {
        throw std::bad_alloc();
    }
    *id = entry.id;
    *longMin = entry.longMin;
    *longMax = entry.longMax;
    *doubleMin = entry.doubleMin;
    *doubleMax = entry.doubleMax;
    *isLong = entry.isLong;
    *option1 = entry.option1;
    *option2 = entry.option2;
    *option3 = entry.option3;
    *option4 = entry.option4;
    return true;
}

const AdjustmentDescriptor* CAdjustmentSupport::Find(LONG id) const noexcept
{
    for (const AdjustmentDescriptor& entry : descriptors_) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

void CAdjustmentSupport::GetLongValue(LONG id, LONG* value)
{
    *value = 0;
    if (const AdjustmentDescriptor* entry = Find(id)) {
        entry->adjustment != nullptr ? entry->adjustment->GetLongValue(value) : DefaultGetLongValue(id, value);
    }
}

void CAdjustmentSupport::SetLongValue(LONG id, LONG value)
{
    if (const AdjustmentDescriptor* entry = Find(id)) {
        entry->adjustment != nullptr ? entry->adjustment->SetLongValue(value) : DefaultSetLongValue(id, value);
    }
}

void CAdjustmentSupport::GetDoubleValue(LONG id, double* value)
{
    *value = 0.0;
    if (const AdjustmentDescriptor* entry = Find(id)) {
        entry->adjustment != nullptr ? entry->adjustment->GetDoubleValue(value) : DefaultGetDoubleValue(id, value);
    }
}

void CAdjustmentSupport::SetDoubleValue(LONG id, double value)
{
    if (const AdjustmentDescriptor* entry = Find(id)) {
        entry->adjustment != nullptr ? entry->adjustment->SetDoubleValue(value) : DefaultSetDoubleValue(id, value);
    }
}

void CAdjustmentSupport::GetStateValue(LONG id, LONG* value)
{
    *value = 0;
    if (const AdjustmentDescriptor* entry = Find(id)) {
        entry->adjustment != nullptr ? entry->adjustment->GetStateValue(value) : DefaultGetStateValue(id, value);
    }
}

void CAdjustmentSupport::SetStateValue(LONG id, LONG value)
{
    if (const AdjustmentDescriptor* entry = Find(id)) {
        entry->adjustment != nullptr ? entry->adjustment->SetStateValue(value) : DefaultSetStateValue(id, value);
    }
}

void CAdjustmentSupport::Execute(LONG id)
{
    if (const AdjustmentDescriptor* entry = Find(id)) {
        entry->adjustment != nullptr ? entry->adjustment->Execute() : DefaultExecute(id);
    }
}

void CAdjustmentSupport::DefaultGetLongValue(LONG /*id*/, LONG* value)
{
    *value = 0;
}

void CAdjustmentSupport::DefaultSetLongValue(LONG /*id*/, LONG /*value*/) {}

void CAdjustmentSupport::DefaultGetDoubleValue(LONG /*id*/, double* value)
{
    *value = 0.0;
}

void CAdjustmentSupport::DefaultSetDoubleValue(LONG /*id*/, double /*value*/) {}

void CAdjustmentSupport::DefaultGetStateValue(LONG /*id*/, LONG* value)
{
    *value = 0;
}

void CAdjustmentSupport::DefaultSetStateValue(LONG /*id*/, LONG /*value*/) {}

void CAdjustmentSupport::DefaultExecute(LONG /*id*/) {}
