#include "audio/SurroundPresets.h"

#include "audio/PresetSections.h"
#include "platform/Profile.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr platform::DWORD kNameSize = 1024;
// Decimal texts are read through a buffer of this size.
constexpr platform::DWORD kNumberSize = 10;

bool Switch(const std::string& file, const char* section, const char* key, const char* def) {
    char text[16];
    platform::GetPrivateProfileString(section, key, def, text, sizeof text, file.c_str());
    return std::strcmp(text, "On") == 0;
}

int Integer(const std::string& file, const char* section, const char* key, int def) {
    // Signed on purpose: the reader hands back an unsigned value.
    return static_cast<int>(platform::GetPrivateProfileInt(section, key, def, file.c_str()));
}

float Percent(const std::string& file, const char* section, const char* key, int def) {
    return static_cast<float>(Integer(file, section, key, def)) / 100.0f;
}

float Metres(const std::string& file, const char* section, const char* key, const char* def) {
    char text[kNumberSize];
    platform::GetPrivateProfileString(section, key, def, text, kNumberSize, file.c_str());
    const double v = std::strtod(text, nullptr);
    // Not a number is no position at all: the default takes its place.
    return std::isfinite(v) ? static_cast<float>(v) : std::strtof(def, nullptr);
}

} // namespace

SurroundParams SurroundPreset::Params() const {
    SurroundParams p;
    p.lfeFrequency = lfeFrequency;
    p.positioningVolume = positioningVolume;
    p.lfeVolume = static_cast<float>(lfeVolume) / 100.0f;
    p.reverberationVolume = reverberationVolume;
    p.originalVolume = originalVolume;
    p.absorption = absorption;
    p.hiFreqDecay = hiFreqDecay;
    p.roomWidth = roomWidth;
    p.roomHeight = roomHeight;
    p.soundX = soundX;
    p.soundY = soundY;
    p.delays = delays;
    p.reverberation = reverberation;
    p.processAdvance = processAdvance;
    return p;
}

SurroundPreset LoadSurroundPreset(const std::string& file, const std::string& section) {
    const char* s = section.c_str();
    SurroundPreset p;
    char name[kNameSize];
    platform::GetPrivateProfileString(s, "Name", "", name, kNameSize, file.c_str());
    p.name = name;
    if (p.IsSeparator()) return p;
    p.lfeFrequency = Integer(file, s, "LFEFrequention", 80);
    p.lfeVolume = Integer(file, s, "LFEVolume", 100);
    p.lowPassFrequency = Integer(file, s, "LowPassFrequention", 80);
    p.lowPass = Switch(file, s, "LowPass", "Off");
    p.delays = Switch(file, s, "Delays", "On");
    p.reverberation = Switch(file, s, "Reverberation", "On");
    p.processAdvance = Switch(file, s, "ProcessAdvance", "Off");
    p.positioningVolume = Percent(file, s, "PositioningVolume", 100);
    p.reverberationVolume = Percent(file, s, "ReverberationVolume", 187);
    p.originalVolume = Percent(file, s, "OriginalVolume", 0);
    p.roomWidth = Metres(file, s, "RoomWidth", "25");
    p.roomHeight = Metres(file, s, "RoomHeight", "25");
    p.soundX = Metres(file, s, "SoundPosX", "12.5");
    p.soundY = Metres(file, s, "SoundPosY", "12.5");
    p.absorption = Percent(file, s, "AbsorbtionLevel", 14);
    p.hiFreqDecay = Percent(file, s, "HiFreqDecay", 42);
    return p;
}

SurroundPresetList LoadSurroundPresets(const std::string& file) {
    SurroundPresetList presets;
    for (const std::string& section : PresetSections(file))
        presets.push_back(LoadSurroundPreset(file, section));
    return presets;
}
