// Surround presets: named rooms read from Zuzuvezizu_presets.ini in the
// program folder.
//
// The file has sections "1", "2", "3" ... in order, each holding one preset:
//   LFEFrequention (Hz, 80), LFEVolume (%, 100), LowPassFrequention (80),
//   LowPass ("Off"), Delays ("On"), Reverberation ("On"),
//   ProcessAdvance ("Off"), PositioningVolume (%, 100),
//   ReverberationVolume (%, 187), OriginalVolume (%, 0), RoomWidth (m, 25),
//   RoomHeight (m, 25), SoundPosX (m, 12.5), SoundPosY (m, 12.5),
//   AbsorbtionLevel (%, 14), HiFreqDecay (%, 42) and Name
// (defaults in brackets). A switch is on only when its text is exactly "On".
// Metres are decimal texts of at most nine characters. A section named
// "----" is a separator, whose values are not read. Reading stops at the
// first section whose Name is missing or empty. The low-pass keys are kept
// but the processor has no use for them.
//
// Threads: window thread only (file reads).
#pragma once

#include "audio/SurroundEffect.h"

#include <string>
#include <vector>

struct SurroundPreset {
    static constexpr const char* kSeparatorName = "----";

    int lfeFrequency = 80;
    int lfeVolume = 100; // percent
    int lowPassFrequency = 80;
    bool lowPass = false;
    bool delays = true;
    bool reverberation = true;
    bool processAdvance = false;
    float positioningVolume = 1.0f; // factors
    float reverberationVolume = 1.87f;
    float originalVolume = 0.0f;
    float roomWidth = 25.0f; // metres
    float roomHeight = 25.0f;
    float soundX = 12.5f;
    float soundY = 12.5f;
    float absorption = 0.14f; // 0 .. 1
    float hiFreqDecay = 0.42f;
    std::string name;

    bool IsSeparator() const { return name == kSeparatorName; }
    // The preset in the player's units.
    SurroundParams Params() const;
};

using SurroundPresetList = std::vector<SurroundPreset>;

// Reads section of file into a preset (its name included).
SurroundPreset LoadSurroundPreset(const std::string& file, const std::string& section);
// Every preset of file in order; a missing file gives an empty list.
SurroundPresetList LoadSurroundPresets(const std::string& file);
