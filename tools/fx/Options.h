// The command line of sonvara-fx: what to process, with which plug-in and
// settings. Parsing only; nothing here touches files or plug-ins.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fx {

enum class ProgressMode { Auto, Always, Never };

struct FxOptions {
    std::string input;
    std::string output;
    // Empty: Effects/StavoModulation.so in the program directory.
    std::string plugin;
    std::uint32_t blockFrames = 1024;

    // Preset to start from (at most one of the two).
    std::string presetIni;
    std::string presetXml;
    // INI section, or for XML a '/'-separated path of child elements below
    // the document element (empty: the document element itself).
    std::string section;

    // Where to store the resulting settings (either, both or neither).
    std::string saveIni;
    std::string saveXml;
    // Section (INI) or document element name (XML) to save under.
    std::string saveSection;

    // Settings by preset key, in command-line order; later ones win. The
    // named options (--speed, --law ...) land here too.
    std::vector<std::pair<std::string, std::string>> settings;

    ProgressMode progress = ProgressMode::Auto;
    bool quiet = false;
    bool help = false;
    bool version = false;
    bool info = false;

    bool HasFiles() const { return !input.empty(); }
    bool SavesPreset() const { return !saveIni.empty() || !saveXml.empty(); }
};

struct ParseResult {
    FxOptions options;
    // Empty on success; otherwise one line saying what is wrong.
    std::string error;
};

ParseResult ParseOptions(const std::vector<std::string>& args);

// The --help text.
std::string UsageText();

// A whole decimal number (integer or not, finite), nothing around it.
bool IsNumber(const std::string& text);

// "+2", "-3", "0" → preset tone index 0..12 (index 0 is +6 semitones);
// false for anything else.
bool ParseTone(const std::string& text, int& index);
// "drums", "periodic", "twice", "once" (any case) or 0..3 → the law value.
bool ParseLaw(const std::string& text, int& law);

} // namespace fx
