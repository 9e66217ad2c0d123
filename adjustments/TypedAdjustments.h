#pragma once
// The ten board controls as typed adjustments. Each is a template over its value type (double or
// long) with a typed getter and setter named after the control, so that one object (the card) can
// derive from all ten and implement each pair without one override reaching another.
//
// Every template has the same shape; the macro below spells it once so the ten cannot drift apart.
#include <type_traits>

#include "adjustments/Adjustment.h"

#define ORVANE_TYPED_ADJUSTMENT(Name)                                                         \
    template <typename T>                                                                     \
    class C##Name##Adjustment : public CAdjustment {                                          \
        static_assert(std::is_same_v<T, double> || std::is_same_v<T, long>,                   \
                      "an adjustment holds a double or a 32-bit integer");                    \
                                                                                              \
    public:                                                                                   \
        void GetDoubleValue(double* value) override                                           \
        {                                                                                     \
            if constexpr (std::is_same_v<T, double>) {                                        \
                *value = Get##Name##Value();                                                  \
            } else {                                                                          \
                CAdjustment::GetDoubleValue(value);                                           \
            }                                                                                 \
        }                                                                                     \
        void GetLongValue(LONG* value) override                                               \
        {                                                                                     \
            if constexpr (std::is_same_v<T, long>) {                                          \
                *value = Get##Name##Value();                                                  \
            } else {                                                                          \
                CAdjustment::GetLongValue(value);                                             \
            }                                                                                 \
        }                                                                                     \
        void SetDoubleValue(double value) override                                            \
        {                                                                                     \
            if constexpr (std::is_same_v<T, double>) {                                        \
                Set##Name##Value(value);                                                      \
            } else {                                                                          \
                CAdjustment::SetDoubleValue(value);                                           \
            }                                                                                 \
        }                                                                                     \
        void SetLongValue(LONG value) override                                                \
        {                                                                                     \
            if constexpr (std::is_same_v<T, long>) {                                          \
                Set##Name##Value(value);                                                      \
            } else {                                                                          \
                CAdjustment::SetLongValue(value);                                             \
            }                                                                                 \
        }                                                                                     \
        void GetStateValue(LONG* value) override { *value = ReadState(); }                    \
        void SetStateValue(LONG value) override { WriteState(value); }                        \
        void Execute() override { OnExecute(); }                                              \
                                                                                              \
        virtual T Get##Name##Value() = 0;                                                     \
        virtual void Set##Name##Value(T value) = 0;                                           \
        virtual LONG ReadState() { return 0; }                                                \
        virtual void WriteState(LONG /*state*/) {}                                            \
        virtual void OnExecute() {}                                                           \
                                                                                              \
    protected:                                                                                \
        C##Name##Adjustment() = default;                                                      \
        ~C##Name##Adjustment() = default;                                                     \
        C##Name##Adjustment(const C##Name##Adjustment&) = default;                            \
        C##Name##Adjustment& operator=(const C##Name##Adjustment&) = default;                 \
    };

ORVANE_TYPED_ADJUSTMENT(Gain)
ORVANE_TYPED_ADJUSTMENT(BlackLevel)
ORVANE_TYPED_ADJUSTMENT(Phase)
ORVANE_TYPED_ADJUSTMENT(HorizontalPosition)
ORVANE_TYPED_ADJUSTMENT(VerticalPosition)
ORVANE_TYPED_ADJUSTMENT(PixelClock)
ORVANE_TYPED_ADJUSTMENT(Brightness)
ORVANE_TYPED_ADJUSTMENT(Contrast)
ORVANE_TYPED_ADJUSTMENT(Hue)
ORVANE_TYPED_ADJUSTMENT(Saturation)

#undef ORVANE_TYPED_ADJUSTMENT
