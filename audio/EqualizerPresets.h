// Equalizer presets: named sets of ten band slider positions read from
// Equalizer_presets.ini in the program folder.
//
// The file has sections "1", "2", "3" ... in order. Each holds `Name` (the
// text shown in the preset menu; "----" makes a separator) and Band1 ...
// Band10, slider positions 0..200 (100 = flat, missing keys read as 100).
// Reading stops at the first section whose `Name` is missing or empty, so a
// gap in the numbering ends the list even when later sections exist.
//
// Threads: window thread only (file reads).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CEqualizerPreset {
public:
    static constexpr int kBandCount = 10;
    // Slider range of a band: 0 is the largest boost, 100 flat, 200 silence.
    static constexpr int kMinPosition = 0;
    static constexpr int kFlatPosition = 100;
    static constexpr int kMaxPosition = 200;
    // The name that turns a preset into a menu separator.
    static constexpr const char* kSeparatorName = "----";

    CEqualizerPreset();
    virtual ~CEqualizerPreset() = default;

    // Reads the preset from the given section of file. A missing name reads
    // as a separator and missing bands as flat; positions outside 0..200 are
    // brought into range, since they would otherwise turn into a negative
    // gain (a phase-inverted band) or a boost of hundreds of decibels.
    void Load(const std::string& file, const std::string& section);

    // Slider position of band index (0-based); flat for an index out of range.
    std::int32_t GetBand(int index) const;
    const std::string& GetName() const { return name; }
    bool IsSeparator() const { return name == kSeparatorName; }

    // For presets built in code (and tests): sets the name and the positions.
    void Set(const std::string& newName, const std::int32_t* positions);

private:
    std::int32_t bandCount = kBandCount;
    std::vector<std::int32_t> bands;
    std::string name;
};

using EqualizerPresetList = std::vector<std::unique_ptr<CEqualizerPreset>>;

// Reads every preset of file in order. A missing file or a missing section
// "1" gives an empty list.
EqualizerPresetList LoadEqualizerPresets(const std::string& file);

// Clamps a slider position into 0..200.
std::int32_t ClampEqualizerPosition(std::int64_t position);
