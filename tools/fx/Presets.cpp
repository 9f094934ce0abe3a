#include "tools/fx/Presets.h"

#include "platform/AsciiCase.h"
#include "platform/Profile.h"
#include "xml/XmlNode.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace fx {

namespace {

bool IsReadableFile(const std::string& path, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read the preset file \"" + path + "\": no such file";
        return false;
    }
    if (!std::ifstream(path, std::ios::binary)) {
        error = "cannot read the preset file \"" + path + "\": permission denied";
        return false;
    }
    return true;
}

// Whether the INI file has a section of that name with at least one entry.
// The plug-in itself reads a missing section as "all defaults", which would
// hide a misspelt name; the host checks first.
bool IniSectionExists(const std::string& file, const std::string& section) {
    std::vector<char> buffer(64 * 1024);
    platform::DWORD n = platform::GetPrivateProfileSection(
        section.c_str(), buffer.data(), static_cast<platform::DWORD>(buffer.size()), file.c_str());
    return n > 0;
}

// The element at a '/'-separated path of child names below root.
CXmlNode* FindPath(CXmlNode& root, const std::string& path) {
    CXmlNode* node = &root;
    std::size_t start = 0;
    while (node && start <= path.size()) {
        std::size_t slash = path.find('/', start);
        std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!part.empty()) node = node->FindChild(part);
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return node;
}

// Whether path could be written, checked before the plug-in is asked to
// (it would report success either way).
bool CanWrite(const std::string& path, std::string& error) {
    std::error_code ec;
    std::filesystem::path p(path);
    std::filesystem::path folder = p.parent_path().empty() ? "." : p.parent_path();
    if (std::filesystem::is_directory(p, ec)) {
        error = "cannot write the preset file \"" + path + "\": it is a folder";
        return false;
    }
    if (!std::filesystem::is_directory(folder, ec)) {
        error =
            "cannot write the preset file \"" + path + "\": no folder \"" + folder.string() + "\"";
        return false;
    }
    bool exists = std::filesystem::exists(p, ec);
    if (::access(exists ? path.c_str() : folder.c_str(), W_OK) != 0) {
        error = "cannot write the preset file \"" + path + "\": permission denied";
        return false;
    }
    return true;
}

// The plug-in whose settings this program knows, and its preset keys.
constexpr const char* kStavoName = "Stavo Modulation";
constexpr const char* kStavoKeys[] = {"Speed", "Threshold", "Rate",
                                      "Drums", "FirstTone", "SecondTone"};

} // namespace

bool CheckSettings(const EffectPlugin& plugin, const FxOptions& options, std::string& error,
                   std::vector<std::string>& warnings) {
    const bool known = plugin.Name() == kStavoName;
    for (const auto& [key, value] : options.settings) {
        if (!known) {
            warnings.push_back("the setting '" + key + "' is handed to " + plugin.Name() +
                               " unchecked: this program does not know its settings");
            continue;
        }
        const bool found =
            std::any_of(std::begin(kStavoKeys), std::end(kStavoKeys),
                        [&](const char* k) { return platform::EqualNoCase(k, key); });
        if (!found) {
            error = std::string(kStavoName) + " has no setting '" + key +
                    "' (its settings: Speed, Threshold, Rate, Drums, FirstTone, SecondTone)";
            return false;
        }
        char* end = nullptr;
        errno = 0;
        const long long n = std::strtoll(value.c_str(), &end, 10);
        if (value.empty() || end != value.c_str() + value.size() || errno == ERANGE ||
            n < INT32_MIN || n > INT32_MAX) {
            error = "the setting " + key + " of " + kStavoName + " wants a whole number, not '" +
                    value + "'";
            return false;
        }
    }
    return true;
}

void ApplySettings(CXmlNode& node,
                   const std::vector<std::pair<std::string, std::string>>& settings) {
    for (const auto& [key, value] : settings)
        node.SetValue(key, value);
}

PluginInstance CreateConfiguredInstance(const EffectPlugin& plugin, const FxOptions& options,
                                        std::string& error) {
    const PluginExports& e = plugin.Exports();

    if (!options.presetIni.empty()) {
        if (!IsReadableFile(options.presetIni, error)) return {};
        if (!IniSectionExists(options.presetIni, options.section)) {
            error = "the preset file \"" + options.presetIni + "\" has no section [" +
                    options.section + "]";
            return {};
        }
        PluginInstance fromIni = CreateFromIni(plugin, options.presetIni, options.section, error);
        if (!fromIni || options.settings.empty()) return fromIni;

        // Overrides: read the preset back as XML, lay the options over it and
        // create the instance from that.
        if (!e.SavePresetXml) {
            error = "this plug-in cannot combine an INI preset with settings options (it has no "
                    "export SavePresetXml)";
            return {};
        }
        CXmlNode preset("Preset");
        if (!e.SavePresetXml(&preset, fromIni.get())) {
            error = "the plug-in could not hand over the settings of the INI preset";
            return {};
        }
        ApplySettings(preset, options.settings);
        return CreateFromXml(plugin, preset, error);
    }

    if (!options.presetXml.empty()) {
        if (!IsReadableFile(options.presetXml, error)) return {};
        CXmlNode document;
        if (!document.LoadFromFile(options.presetXml)) {
            error = "cannot read the preset file \"" + options.presetXml +
                    "\": it is not a well-formed XML file";
            return {};
        }
        CXmlNode* node = FindPath(document, options.section);
        if (!node) {
            error = "the preset file \"" + options.presetXml + "\" has no element \"" +
                    options.section + "\" below its document element";
            return {};
        }
        ApplySettings(*node, options.settings);
        return CreateFromXml(plugin, *node, error);
    }

    CXmlNode preset("Preset");
    ApplySettings(preset, options.settings);
    return CreateFromXml(plugin, preset, error);
}

bool SavePresets(const EffectPlugin& plugin, const PluginInstance& instance,
                 const FxOptions& options, std::string& error) {
    const PluginExports& e = plugin.Exports();

    if (!options.saveIni.empty()) {
        if (!e.SavePreset) {
            error = "this plug-in cannot store INI presets (it has no export SavePreset)";
            return false;
        }
        // The plug-in reports success even when its INI write fails, so the
        // file is checked first and the section read back afterwards.
        if (!CanWrite(options.saveIni, error)) return false;
        if (!e.SavePreset(options.saveIni.c_str(), options.saveSection.c_str(), nullptr,
                          instance.get()) ||
            !IniSectionExists(options.saveIni, options.saveSection)) {
            error = "cannot write the preset to section [" + options.saveSection + "] of \"" +
                    options.saveIni + "\"";
            return false;
        }
    }

    if (!options.saveXml.empty()) {
        if (!e.SavePresetXml) {
            error = "this plug-in cannot store XML presets (it has no export SavePresetXml)";
            return false;
        }
        if (!CanWrite(options.saveXml, error)) return false;
        CXmlNode preset(options.saveSection.empty() ? "Preset" : options.saveSection);
        if (!e.SavePresetXml(&preset, instance.get())) {
            error = "the plug-in could not hand over its settings for \"" + options.saveXml + "\"";
            return false;
        }
        if (!preset.SaveToFile(options.saveXml)) {
            error = "cannot write the preset file \"" + options.saveXml + "\"";
            return false;
        }
    }
    return true;
}

} // namespace fx
