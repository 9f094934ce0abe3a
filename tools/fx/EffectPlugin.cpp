#include "tools/fx/EffectPlugin.h"

#include <filesystem>
#include <utility>

namespace fx {

bool EffectPlugin::Load(const std::string& path, std::string& error) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) {
        error = "cannot resolve the plug-in path \"" + path + "\": " + ec.message();
        return false;
    }
    // dlopen would report a missing file in its own words; say it plainly.
    if (!std::filesystem::exists(absolute, ec)) {
        error = "no plug-in at \"" + path + "\" (give another with --plugin PATH)";
        return false;
    }
    if (!m_library.Load(absolute.lexically_normal().string())) {
        error = "cannot load the plug-in \"" + path + "\": " + m_library.Error();
        return false;
    }

    struct Required {
        const char* name;
        bool found;
    };
    PluginExports& e = m_exports;
    const Required required[] = {
        {"PlugInInfo", m_library.Resolve("PlugInInfo", e.PlugInInfo)},
        {"Initialize", m_library.Resolve("Initialize", e.Initialize)},
        {"InitializeXml", m_library.Resolve("InitializeXml", e.InitializeXml)},
        {"SetStreamCallBack", m_library.Resolve("SetStreamCallBack", e.SetStreamCallBack)},
        {"OpenStream", m_library.Resolve("OpenStream", e.OpenStream)},
        {"ProcessStream", m_library.Resolve("ProcessStream", e.ProcessStream)},
        {"CloseStream", m_library.Resolve("CloseStream", e.CloseStream)},
        {"Free", m_library.Resolve("Free", e.Free)},
    };
    for (const Required& r : required) {
        if (!r.found) {
            error = "\"" + path + "\" is not an effect plug-in: it has no export " + r.name;
            m_library.Unload();
            return false;
        }
    }
    m_library.Resolve("SavePreset", e.SavePreset);
    m_library.Resolve("SavePresetXml", e.SavePresetXml);
    m_library.Resolve("CreateSettingsWindow", e.CreateSettingsWindow);

    PlugInInfoRecord info{};
    info.size = sizeof(PlugInInfoRecord);
    if (!e.PlugInInfo(&info)) {
        error = "\"" + path +
                "\" is an effect plug-in of another interface version (it refused a " +
                std::to_string(sizeof(PlugInInfoRecord)) + "-byte information record)";
        m_library.Unload();
        return false;
    }
    // The strings live in the plug-in; copy them so that they can be shown
    // whatever happens to the library later.
    m_name = info.name ? info.name : "(unnamed)";
    m_vendor = info.vendor ? info.vendor : "(unknown)";
    m_interfaceValue = info.interfaceValue;
    m_flag = info.flag;
    return true;
}

PluginInstance::PluginInstance(PluginInstance&& other) noexcept
    : m_exports(other.m_exports), m_instance(std::exchange(other.m_instance, nullptr)) {}

PluginInstance& PluginInstance::operator=(PluginInstance&& other) noexcept {
    if (this != &other) {
        Reset();
        m_exports = other.m_exports;
        m_instance = std::exchange(other.m_instance, nullptr);
    }
    return *this;
}

void PluginInstance::Reset() {
    if (m_instance && m_exports && m_exports->Free) m_exports->Free(m_instance);
    m_instance = nullptr;
}

PluginInstance CreateFromIni(const EffectPlugin& plugin, const std::string& file,
                             const std::string& section, std::string& error) {
    EffectInstance* instance = nullptr;
    int ok = plugin.Exports().Initialize(file.c_str(), section.c_str(), nullptr, &instance);
    PluginInstance result(plugin.Exports(), instance);
    if (!ok || !instance) {
        error = "the plug-in could not create an effect from section [" + section + "] of \"" +
                file + "\"";
        return {};
    }
    return result;
}

PluginInstance CreateFromXml(const EffectPlugin& plugin, CXmlNode& node, std::string& error) {
    EffectInstance* instance = nullptr;
    int ok = plugin.Exports().InitializeXml(&node, &instance);
    PluginInstance result(plugin.Exports(), instance);
    if (!ok || !instance) {
        error = "the plug-in could not create an effect from its settings";
        return {};
    }
    return result;
}

} // namespace fx
