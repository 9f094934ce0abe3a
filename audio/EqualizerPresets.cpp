#include "audio/EqualizerPresets.h"

#include "audio/PresetSections.h"
#include "platform/Profile.h"

#include <algorithm>
#include <cstdio>

namespace {

// The name may be longer than the probe that decides where the list ends.
constexpr platform::DWORD kNameSize = 1024;

} // namespace

std::int32_t ClampEqualizerPosition(std::int64_t position) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        position, CEqualizerPreset::kMinPosition, CEqualizerPreset::kMaxPosition));
}

CEqualizerPreset::CEqualizerPreset() : bands(kBandCount, kFlatPosition) {}

void CEqualizerPreset::Load(const std::string& file, const std::string& section) {
    char text[kNameSize];
    platform::GetPrivateProfileString(section.c_str(), "Name", kSeparatorName, text, kNameSize,
                                      file.c_str());
    name = text;

    for (int b = 0; b < bandCount; ++b) {
        char key[16];
        std::snprintf(key, sizeof key, "Band%i", b + 1);
        // The reader hands back an unsigned value; a negative entry must
        // come back negative to be clamped to 0 rather than to 200.
        const auto raw = static_cast<std::int32_t>(
            platform::GetPrivateProfileInt(section.c_str(), key, kFlatPosition, file.c_str()));
        bands[b] = ClampEqualizerPosition(raw);
    }
}

std::int32_t CEqualizerPreset::GetBand(int index) const {
    if (index < 0 || index >= bandCount) return kFlatPosition;
    return bands[index];
}

void CEqualizerPreset::Set(const std::string& newName, const std::int32_t* positions) {
    name = newName;
    for (int b = 0; b < bandCount; ++b)
        bands[b] = ClampEqualizerPosition(positions[b]);
}

EqualizerPresetList LoadEqualizerPresets(const std::string& file) {
    EqualizerPresetList presets;
    for (const std::string& section : PresetSections(file)) {
        auto preset = std::make_unique<CEqualizerPreset>();
        preset->Load(file, section);
        presets.push_back(std::move(preset));
    }
    return presets;
}
