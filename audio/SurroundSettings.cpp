#include "audio/SurroundSettings.h"

#include "platform/AsciiCase.h"
#include "platform/Profile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// The order in which a replacement for an unsupported mode is looked for.
constexpr std::array<int, 6> kFallbackOrder = {2, 4, 5, 3, 1, 0};

// Slider notification codes (as veneer::ESliderCode).
constexpr int kSbThumbPosition = 4;
constexpr int kSbThumbTrack = 5;
constexpr int kSbEndScroll = 8;

constexpr std::uint32_t Bit(int mode) {
    return 1u << (mode + 1);
}

} // namespace

const std::array<CSurroundSettings::SliderInfo, 8>& CSurroundSettings::Sliders() {
    static const std::array<SliderInfo, 8> kSliders = {{
        {kLfeFrequencySlider, 40, 200, 1},
        {kLfeVolumeSlider, 0, 200, 3},
        {kPositioningSlider, 0, 300, 14},
        {kOriginalSlider, 0, 100, 15},
        {kReverbVolumeSlider, 0, 200, 16},
        {kRoomSizeSlider, 20, 500, 11},
        {kAbsorbSlider, 1, 99, 12},
        {kDecaySlider, 0, 100, 13},
    }};
    return kSliders;
}

std::uint32_t CSurroundSettings::ModeMask(int mode) {
    return ambio::SpeakerModeMask(mode);
}

int CSurroundSettings::ModeChannels(int mode) {
    return ambio::MakeLayout(ambio::SpeakerModeMask(mode)).channels;
}

const char* CSurroundSettings::ModeName(int mode) {
    return ambio::SpeakerModeName(mode);
}

int CSurroundSettings::FallbackMode(int mode, std::uint32_t supported) {
    if (mode == kStereoMode) return mode;
    if (mode >= 0 && mode < kModes && (supported & Bit(mode))) return mode;
    for (int candidate : kFallbackOrder)
        if (supported & Bit(candidate)) return candidate;
    return mode;
}

std::string CSurroundSettings::SupportNoticeText(std::uint32_t supported) {
    if ((supported & kAllModes) == kAllModes) return {};
    if ((supported & kAllModes) == 0)
        return "Your sound card does not support any surround modes. Zuzuvezizu will be "
               "disabled.";
    std::string text = "Your sound card doesn't support surround ";
    int missing = 0;
    for (int mode = 0; mode < kModes; ++mode) {
        if (supported & Bit(mode)) continue;
        text += ModeName(mode);
        text += ", ";
        ++missing;
    }
    text.resize(text.size() - 2);
    text += missing == 1 ? " mode, which will be disabled." : " modes, which will be disabled.";
    return text;
}

CSurroundSettings::CSurroundSettings(std::string configFile_, const std::string& presetsFile,
                                     ISurroundHost& host)
    : configFile(std::move(configFile_)), m_host(host), presets(LoadSurroundPresets(presetsFile)) {}

// ---------------------------------------------------------------- load, save

void CSurroundSettings::LoadSettings(bool apply) {
    const char* file = configFile.c_str();
    auto integer = [&](const char* key, int def) {
        return static_cast<int>(platform::GetPrivateProfileInt(kSection, key, def, file));
    };
    auto flag = [&](const char* key, const char* def) {
        char text[16];
        platform::GetPrivateProfileString(kSection, key, def, text, sizeof text, file);
        return platform::EqualNoCase(text, "On");
    };
    auto number = [&](const char* key) {
        char text[64];
        platform::GetPrivateProfileString(kSection, key, "-1", text, sizeof text, file);
        const float v = std::strtof(text, nullptr);
        return std::isfinite(v) ? v : -1.0f;
    };
    // Slider settings outside their sliders' ranges are brought in: the
    // dialog could not show them, and the player would take them as they are.
    auto ranged = [&](const char* key, int def, int control) {
        const int v = integer(key, def);
        for (const SliderInfo& s : Sliders())
            if (s.control == control) return std::clamp(v, s.minimum, s.maximum);
        return v;
    };
    surroundMode = integer("SurroundMode", 2);
    if (surroundMode < 0 || surroundMode > kStereoMode) surroundMode = 2;
    lfeFrequency = ranged("SurroundLFE", 80, kLfeFrequencySlider);
    lfeVolume = ranged("SurroundLFEVolume", 100, kLfeVolumeSlider);
    volPositioning = ranged("SurroundVolPositioning", 224, kPositioningSlider);
    volOriginal = ranged("SurroundVolOriginal", 21, kOriginalSlider);
    volReverb = ranged("SurroundVolReverb", 101, kReverbVolumeSlider);
    roomSize = ranged("SurroundRevSize", 200, kRoomSizeSlider);
    revAbsorb = ranged("SurroundRevAbsorb", 14, kAbsorbSlider);
    revDecay = ranged("SurroundRevDecay", 42, kDecaySlider);
    reverbOn = flag("SurroundReverb", "On");
    delaysOn = flag("SurroundDelays", "On");
    processAdvance = flag("SurroundProcessAdvance", "Off");
    soundPosX = number("SurroundSoundPosX");
    soundPosY = number("SurroundSoundPosY");
    showSupportNotice = flag("SurroundSupportFormatDlg", "On");
    char name[1024];
    platform::GetPrivateProfileString(kSection, "SurroundBasisPreset", "", name, sizeof name, file);
    basisPreset = -1;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (!presets[i].IsSeparator() && presets[i].name == name) {
            basisPreset = static_cast<int>(i);
            break;
        }
    }
    loaded = true;
    if (const SurroundPreset* p = BasisPreset(); p && (soundPosX < 0 || soundPosY < 0)) {
        soundPosX = p->soundX;
        soundPosY = p->soundY;
    }
    if (soundPosX < 0 || soundPosY < 0) {
        // No position stored and no preset to take one from (a first start):
        // the middle of the room, not its front left corner.
        soundPosX = RoomMetres() / 2;
        soundPosY = RoomMetres() / 2;
    }
    if (!apply) return;

    ProbeModes();
    surroundMode = FallbackMode(surroundMode, supportedModes);
    if (const SurroundPreset* p = BasisPreset()) m_host.SetSurroundParams(p->Params());
    SendAll();
}

void CSurroundSettings::ProbeModes() {
    supportedModes = 0;
    for (int mode = 0; mode < kModes; ++mode)
        if (m_host.SupportsLayout(ModeChannels(mode), ModeMask(mode))) supportedModes |= Bit(mode);
    if (supportedModes == 0) m_host.SetSurroundTurn(false);
}

void CSurroundSettings::SendAll() {
    m_host.SetSurroundParam(4, static_cast<int>(ModeMask(surroundMode)));
    m_host.SetSurroundParam(1, lfeFrequency);
    m_host.SetSurroundParam(3, lfeVolume);
    m_host.SetSurroundParam(14, volPositioning);
    m_host.SetSurroundParam(15, volOriginal);
    m_host.SetSurroundParam(16, volReverb);
    m_host.SetSurroundParam(5, reverbOn ? 1 : 0);
    m_host.SetSurroundParam(6, delaysOn ? 1 : 0);
    m_host.SetSurroundParam(7, processAdvance ? 1 : 0);
    m_host.SetSurroundParam(11, roomSize);
    m_host.SetSurroundParam(12, revAbsorb);
    m_host.SetSurroundParam(13, revDecay);
    m_host.SetSoundPosition(soundPosX, soundPosY);
}

bool CSurroundSettings::SaveSettings() const {
    if (!loaded) return true;
    const char* file = configFile.c_str();
    bool ok = true;
    auto put = [&](const char* key, const std::string& value) {
        ok = platform::WritePrivateProfileString(kSection, key, value.c_str(), file) != 0 && ok;
    };
    auto position = [](float v) {
        char text[64];
        std::snprintf(text, sizeof text, "%f", static_cast<double>(v));
        return std::string(text);
    };
    put("SurroundMode", std::to_string(surroundMode));
    put("SurroundLFE", std::to_string(lfeFrequency));
    put("SurroundLFEVolume", std::to_string(lfeVolume));
    put("SurroundVolPositioning", std::to_string(volPositioning));
    put("SurroundVolOriginal", std::to_string(volOriginal));
    put("SurroundVolReverb", std::to_string(volReverb));
    put("SurroundRevSize", std::to_string(roomSize));
    put("SurroundRevAbsorb", std::to_string(revAbsorb));
    put("SurroundRevDecay", std::to_string(revDecay));
    put("SurroundReverb", reverbOn ? "On" : "Off");
    put("SurroundDelays", delaysOn ? "On" : "Off");
    put("SurroundProcessAdvance", processAdvance ? "On" : "Off");
    put("SurroundSoundPosX", position(soundPosX));
    put("SurroundSoundPosY", position(soundPosY));
    put("SurroundSupportFormatDlg", showSupportNotice ? "On" : "Off");
    if (const SurroundPreset* p = BasisPreset()) put("SurroundBasisPreset", p->name);
    return ok;
}

// ---------------------------------------------------------------- controls

bool CSurroundSettings::ChoosePreset(int index) {
    if (index < 0 || index >= static_cast<int>(presets.size())) return false;
    const SurroundPreset& p = presets[static_cast<std::size_t>(index)];
    if (p.IsSeparator()) return false;
    delaysOn = p.delays;
    processAdvance = p.processAdvance;
    reverbOn = p.reverberation;
    lfeVolume = p.lfeVolume;
    lfeFrequency = p.lfeFrequency;
    auto hundredths = [](float v) { return static_cast<int>(std::trunc(v * 100.0f)); };
    roomSize = static_cast<int>(std::trunc(p.roomWidth * 10.0f));
    revAbsorb = hundredths(p.absorption);
    revDecay = hundredths(p.hiFreqDecay);
    volOriginal = hundredths(p.originalVolume);
    volPositioning = hundredths(p.positioningVolume);
    volReverb = hundredths(p.reverberationVolume);
    soundPosX = p.soundX;
    soundPosY = p.soundY;
    basisPreset = index;
    m_host.SetSurroundParams(p.Params());
    return true;
}

int* CSurroundSettings::SliderValue(int control) {
    switch (control) {
    case kLfeFrequencySlider:
        return &lfeFrequency;
    case kLfeVolumeSlider:
        return &lfeVolume;
    case kPositioningSlider:
        return &volPositioning;
    case kOriginalSlider:
        return &volOriginal;
    case kReverbVolumeSlider:
        return &volReverb;
    case kRoomSizeSlider:
        return &roomSize;
    case kAbsorbSlider:
        return &revAbsorb;
    case kDecaySlider:
        return &revDecay;
    default:
        return nullptr;
    }
}

int CSurroundSettings::Value(int control) const {
    return *const_cast<CSurroundSettings*>(this)->SliderValue(control);
}

std::string CSurroundSettings::Label(int control, int value) {
    char text[32];
    if (control == kRoomSizeSlider)
        std::snprintf(text, sizeof text, "%3.1f m.", value / 10.0);
    else if (control == kLfeFrequencySlider)
        std::snprintf(text, sizeof text, "%d Hz", value);
    else
        std::snprintf(text, sizeof text, "%d %%", value);
    return text;
}

bool CSurroundSettings::OnSlider(int control, int code, int position) {
    int* value = SliderValue(control);
    if (!value) return false;
    const SliderInfo* info = nullptr;
    for (const SliderInfo& s : Sliders())
        if (s.control == control) info = &s;
    if (code == kSbEndScroll) {
        // The room is rebuilt once, where the thumb came to rest: sizing the
        // reverberation at every pixel of a drag would only churn it.
        if (control == kRoomSizeSlider) m_host.SetSurroundParam(info->paramId, *value);
        return false;
    }
    // Every move stores the value, the thumb's and a click's or a key's
    // alike, so a slider never shows what the player does not have.
    const int v = std::clamp(position, info->minimum, info->maximum);
    if (v == *value && code != kSbThumbPosition && code != kSbThumbTrack) return false;
    *value = v;
    if (control != kRoomSizeSlider) m_host.SetSurroundParam(info->paramId, v);
    return true;
}

void CSurroundSettings::OnReverbToggled() {
    reverbOn = !reverbOn;
    if (!reverbOn) processAdvance = false;
    m_host.SetSurroundParam(5, reverbOn ? 1 : 0);
    m_host.SetSurroundParam(7, processAdvance ? 1 : 0);
}

void CSurroundSettings::OnDelaysToggled() {
    delaysOn = !delaysOn;
    m_host.SetSurroundParam(6, delaysOn ? 1 : 0);
}

void CSurroundSettings::OnAdvanceToggled() {
    processAdvance = !processAdvance;
    m_host.SetSurroundParam(7, processAdvance ? 1 : 0);
}

template <typename Change> void CSurroundSettings::Restart(Change change) {
    const std::uint32_t state = m_host.PlayerState();
    const int position = m_host.PositionSlider();
    const bool running = state == 0 || state == 1;
    if (running) m_host.StopPlayer();
    change();
    m_host.ReapplyFormat();
    if (running) {
        m_host.PlayPlayer();
        m_host.SetPositionSlider(position);
        if (state == 1) m_host.PausePlayer();
    }
}

void CSurroundSettings::OnTurnToggled() {
    Restart([this] {
        const bool on = !m_host.SurroundTurn();
        m_host.SetSurroundTurn(on);
        m_host.SetSurroundOn(on);
    });
}

void CSurroundSettings::OnModeChosen(int mode) {
    if (mode < 0 || mode >= kModes) return;
    surroundMode = mode;
    Restart([this] { m_host.SetSurroundParam(4, static_cast<int>(ModeMask(surroundMode))); });
}

void CSurroundSettings::OnMarkerDragged(int px, int py, int viewWidth, int viewHeight) {
    if (viewWidth <= 0 || viewHeight <= 0) return;
    const int metres = roomSize / 10;
    soundPosX = static_cast<float>((metres * px) / viewWidth);
    soundPosY = static_cast<float>((metres * py) / viewHeight);
    m_host.SetSoundPosition(soundPosX, soundPosY);
}

void CSurroundSettings::OnSupportNoticeClosed(bool dontShowAgain) {
    if (dontShowAgain) showSupportNotice = false;
}
