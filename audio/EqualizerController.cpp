#include "audio/EqualizerController.h"

#include "platform/AsciiCase.h"
#include "platform/Profile.h"

#include <cstdio>
#include <utility>

namespace {

std::string BandKey(int band) {
    char key[32];
    std::snprintf(key, sizeof key, "EqualizerBand%i", band + 1);
    return key;
}

constexpr const char* kTurnKey = "EqualizerTurn";

} // namespace

CEqualizerController::CEqualizerController(std::string configFile_, const std::string& presetsFile,
                                           PlayerSink sink_)
    : configFile(std::move(configFile_)), sink(std::move(sink_)),
      presets(LoadEqualizerPresets(presetsFile)) {
    positions.fill(CEqualizerPreset::kFlatPosition);
}

void CEqualizerController::SetControls(IEqualizerControls* newControls) {
    controls = newControls;
}

float CEqualizerController::GainFromPosition(int position) {
    const int p = ClampEqualizerPosition(position);
    return static_cast<float>(CEqualizerPreset::kMaxPosition - p) / 100.0f;
}

void CEqualizerController::LoadEqualizerTurn() {
    char text[16];
    platform::GetPrivateProfileString(kSection, kTurnKey, "Off", text, sizeof text,
                                      configFile.c_str());
    eqTurn = platform::EqualNoCase(text, "On");
    if (controls) controls->SetTurnChecked(eqTurn);
}

bool CEqualizerController::SaveEqualizerTurn() const {
    return platform::WritePrivateProfileString(kSection, kTurnKey, eqTurn ? "On" : "Off",
                                               configFile.c_str()) != 0;
}

void CEqualizerController::LoadEqualizerState() {
    for (int b = 0; b < kBands; ++b) {
        // Signed on purpose: a negative entry must clamp to 0, not to 200.
        const auto raw = static_cast<std::int32_t>(platform::GetPrivateProfileInt(
            kSection, BandKey(b).c_str(), CEqualizerPreset::kFlatPosition, configFile.c_str()));
        SetBand(b, ClampEqualizerPosition(raw));
    }
    ApplyEqualizer();
}

bool CEqualizerController::SaveEqualizerState() {
    ReadSliders();
    bool ok = true;
    for (int b = 0; b < kBands; ++b) {
        char value[16];
        std::snprintf(value, sizeof value, "%i", positions[b]);
        ok = platform::WritePrivateProfileString(kSection, BandKey(b).c_str(), value,
                                                 configFile.c_str()) != 0 &&
             ok;
    }
    return ok;
}

void CEqualizerController::ApplyEqualizer() {
    ReadSliders();
    float gains[kBands];
    for (int b = 0; b < kBands; ++b)
        gains[b] = GainFromPosition(positions[b]);
    if (sink) sink(gains, kBands, eqTurn);
}

void CEqualizerController::UpdateEqualizerEnable() {
    if (controls) controls->SetEqualizerEnabled(eqTurn);
}

bool CEqualizerController::OnSliderScroll(int id) {
    if (id < kFirstSliderId || id > kLastSliderId) return false;
    ApplyEqualizer();
    return true;
}

void CEqualizerController::OnTurnPressed() {
    eqTurn = !eqTurn;
    // Keep every button in step with the switch, whatever the button did on
    // its own when clicked.
    if (controls) controls->SetTurnChecked(eqTurn);
    ApplyEqualizer();
    UpdateEqualizerEnable();
}

std::vector<CEqualizerController::PresetMenuItem> CEqualizerController::BuildPresetMenu() {
    ReadSliders();
    std::vector<PresetMenuItem> items;
    items.reserve(presets.size());
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const CEqualizerPreset& preset = *presets[i];
        PresetMenuItem item;
        item.id = static_cast<int>(i) + 1;
        if (preset.IsSeparator()) {
            item.separator = true;
        } else {
            item.text = preset.GetName();
            // The first preset is the neutral one; its check mark would only
            // say "flat", so it is never shown.
            bool matches = i != 0;
            for (int b = 0; b < kBands && matches; ++b)
                matches = positions[b] == preset.GetBand(b);
            item.checked = matches;
        }
        items.push_back(std::move(item));
    }
    return items;
}

bool CEqualizerController::ChoosePreset(int command) {
    if (command < 1 || static_cast<std::size_t>(command) > presets.size()) return false;
    const CEqualizerPreset& preset = *presets[command - 1];
    if (preset.IsSeparator()) return false;
    for (int b = 0; b < kBands; ++b)
        SetBand(b, preset.GetBand(b));
    ApplyEqualizer();
    return true;
}

void CEqualizerController::ReadSliders() {
    if (!controls) return;
    for (int b = 0; b < kBands; ++b) {
        if (const std::optional<int> p = controls->GetBandPosition(b))
            positions[b] = ClampEqualizerPosition(*p);
    }
}

void CEqualizerController::SetBand(int band, int position) {
    positions[band] = position;
    if (controls) controls->SetBandPosition(band, position);
}
