// Turns the preset and settings options into an effect instance, and stores
// the resulting settings as presets on request.
//
// Every preset reaches the plug-in as an XML node whose children are named by
// the setting keys and carry the value in their "Value" attribute: that is
// the one store every plug-in of the interface reads, and it is the only one
// the host can edit before handing it over.
#pragma once

#include "tools/fx/EffectPlugin.h"
#include "tools/fx/Options.h"

#include <string>
#include <utility>
#include <vector>

class CXmlNode;

namespace fx {

// Sets each key=value pair as a child "Value" of node (later pairs win).
void ApplySettings(CXmlNode& node,
                   const std::vector<std::pair<std::string, std::string>>& settings);

// Checks the settings options against the plug-in. Stavo Modulation's six
// keys (any letter case) with whole 32-bit values pass; another key, or a
// value that is no whole number, is refused with a message in `error`. The
// settings of other plug-ins cannot be known here: they pass, each with a
// line in `warnings`.
bool CheckSettings(const EffectPlugin& plugin, const FxOptions& options, std::string& error,
                   std::vector<std::string>& warnings);

// Creates the instance described by the options: from the INI section or the
// XML preset when one is given, with the settings options laid over it.
// Any nodes the plug-in created are released before this returns, so the
// library may be unloaded after the instance is freed.
PluginInstance CreateConfiguredInstance(const EffectPlugin& plugin, const FxOptions& options,
                                        std::string& error);

// Stores the instance's settings where --save-preset-ini / --save-preset-xml
// asked. False with a message when a file cannot be written.
bool SavePresets(const EffectPlugin& plugin, const PluginInstance& instance,
                 const FxOptions& options, std::string& error);

} // namespace fx
