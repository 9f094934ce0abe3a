#include "plugin/Presets.h"

namespace stavo {

namespace {
constexpr const char* kSettingTypes = "DWORD DWORD DWORD DWORD DWORD DWORD";
}

void ApplyDefaults(EffectInstance& instance) {
    instance.Speed = kDefaultSpeed;
    instance.Threshold = kDefaultThreshold;
    instance.Rate = kDefaultRate;
    instance.law = kDefaultLaw;
    instance.FirstTone = kDefaultFirstTone;
    instance.SecondTone = kDefaultSecondTone;
}

void ReadSettings(const ValueStore& store, EffectInstance& instance) {
    ApplyDefaults(instance);
    void* const values[6] = {&instance.Speed, &instance.Threshold, &instance.Rate,
                             &instance.law,   &instance.FirstTone, &instance.SecondTone};
    ReadTypedValues(store, kSettingKeys, kSettingTypes, values);
}

int WriteSettings(const ValueStore& store, const EffectInstance& instance) {
    const void* const values[6] = {&instance.Speed, &instance.Threshold, &instance.Rate,
                                   &instance.law,   &instance.FirstTone, &instance.SecondTone};
    return WriteTypedValues(store, kSettingKeys, kSettingTypes, values);
}

void CopySettings(EffectInstance& to, const EffectInstance& from) {
    to.Speed = from.Speed;
    to.Threshold = from.Threshold;
    to.Rate = from.Rate;
    to.law = from.law;
    to.FirstTone = from.FirstTone;
    to.SecondTone = from.SecondTone;
}

} // namespace stavo
