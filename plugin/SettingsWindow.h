// The settings panel of CreateSettingsWindow lives in a companion library,
// Panels/StavoModulationPanel.so beside the plug-in, so that the plug-in
// itself links no toolkit: hosts without windows (sonvara-fx, the LV2 and
// LADSPA wrappers) never load Qt. The companion is loaded at the first
// panel and stays loaded for the life of the process.
#pragma once

#include "plugin/EffectInstance.h"

namespace stavo {

// The companion library, relative to the folder of the plug-in.
inline constexpr const char* kPanelLibrary = "Panels/StavoModulationPanel.so";

// The new panel (a QWidget*) as a child of parent (a QWidget*), or null when
// the companion library cannot be loaded or refuses (no widget application,
// not its thread). Window thread only.
void* OpenSettingsPanel(void* parent, EffectInstance* instance) noexcept;

} // namespace stavo
