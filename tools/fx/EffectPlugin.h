// An effect plug-in of the flat interface, loaded from its shared library,
// and the instances it creates. This is the only code that calls the
// plug-in's exports directly; it checks results and owns what they hand out.
#pragma once

#include "platform/DynamicLibrary.h"
#include "sonvara/EffectPlugin.h"

#include <cstdint>
#include <string>

namespace fx {

// The exports we call. The first group is required; SavePreset and
// SavePresetXml are only needed to store or combine presets, and
// CreateSettingsWindow only to show the plug-in's settings panel.
struct PluginExports {
    PFN_PlugInInfo PlugInInfo = nullptr;
    PFN_Initialize Initialize = nullptr;
    PFN_InitializeXml InitializeXml = nullptr;
    PFN_SetStreamCallBack SetStreamCallBack = nullptr;
    PFN_OpenStream OpenStream = nullptr;
    PFN_ProcessStream ProcessStream = nullptr;
    PFN_CloseStream CloseStream = nullptr;
    PFN_Free Free = nullptr;

    PFN_SavePreset SavePreset = nullptr;
    PFN_SavePresetXml SavePresetXml = nullptr;
    PFN_CreateSettingsWindow CreateSettingsWindow = nullptr;
};

class EffectPlugin {
public:
    EffectPlugin() = default;
    EffectPlugin(const EffectPlugin&) = delete;
    EffectPlugin& operator=(const EffectPlugin&) = delete;

    // Loads the library (a relative path is taken from the current folder),
    // resolves the exports and asks for the plug-in's identity. False with
    // a message for people in `error` when it is not a usable plug-in.
    bool Load(const std::string& path, std::string& error);

    const PluginExports& Exports() const { return m_exports; }
    const std::string& Path() const { return m_library.Path(); }
    const std::string& Name() const { return m_name; }
    const std::string& Vendor() const { return m_vendor; }
    std::uint32_t InterfaceValue() const { return m_interfaceValue; }
    std::uint32_t Flag() const { return m_flag; }

private:
    platform::DynamicLibrary m_library;
    PluginExports m_exports;
    std::string m_name;
    std::string m_vendor;
    std::uint32_t m_interfaceValue = 0;
    std::uint32_t m_flag = 0;
};

// One EffectInstance, released through the plug-in's Free. Must not outlive
// the EffectPlugin it came from (Free lives in the library).
class PluginInstance {
public:
    PluginInstance() = default;
    PluginInstance(const PluginExports& exports, EffectInstance* instance)
        : m_exports(&exports), m_instance(instance) {}
    ~PluginInstance() { Reset(); }
    PluginInstance(PluginInstance&& other) noexcept;
    PluginInstance& operator=(PluginInstance&& other) noexcept;
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    EffectInstance* get() const { return m_instance; }
    explicit operator bool() const { return m_instance != nullptr; }
    void Reset();

private:
    const PluginExports* m_exports = nullptr;
    EffectInstance* m_instance = nullptr;
};

// The creating calls, with their results checked: an empty PluginInstance
// and a message in `error` when the plug-in reports failure or hands back
// no instance.
PluginInstance CreateFromIni(const EffectPlugin& plugin, const std::string& file,
                             const std::string& section, std::string& error);
PluginInstance CreateFromXml(const EffectPlugin& plugin, CXmlNode& node, std::string& error);

} // namespace fx
