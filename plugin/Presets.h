// The six settings of an effect instance as a preset: keys, defaults, and
// their reading and writing through the typed value store.
#pragma once

#include "plugin/EffectInstance.h"
#include "plugin/TypedValues.h"

namespace stavo {

// Key order of every read and write; the value type of each is DWORD.
inline constexpr const char* kSettingKeys[6] = {"Speed", "Threshold", "Rate",
                                                "Drums", "FirstTone", "SecondTone"};

inline constexpr std::int32_t kDefaultSpeed = 3;
inline constexpr std::int32_t kDefaultThreshold = 10;
inline constexpr std::int32_t kDefaultRate = 3;
inline constexpr std::int32_t kDefaultLaw = 0;        // Drums
inline constexpr std::int32_t kDefaultFirstTone = 4;  // +2 semitones
inline constexpr std::int32_t kDefaultSecondTone = 8; // -2 semitones

void ApplyDefaults(EffectInstance& instance);
// Reads the six settings into the instance, each keeping its default when
// absent from the store.
void ReadSettings(const ValueStore& store, EffectInstance& instance);
// 1 when stored; 0 when not, and the store keeps its old contents.
int WriteSettings(const ValueStore& store, const EffectInstance& instance);
// Copies the six settings only.
void CopySettings(EffectInstance& to, const EffectInstance& from);

} // namespace stavo
