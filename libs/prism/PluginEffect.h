// A flat-export effect plug-in (sonvara/EffectPlugin.h) loaded for the
// effect manager, and the effect objects made from it. Internal to Prism.
#pragma once

#include "platform/DynamicLibrary.h"
#include "sonvara/EffectManager.h"
#include "sonvara/EffectPlugin.h"

#include <memory>
#include <string>

namespace prism {

class CEffectLibrary {
public:
    // Loads the library at an absolute path, resolves the exports an effect
    // host needs and asks the plug-in to identify itself. Null with a
    // reason in error when it is no usable plug-in.
    static std::shared_ptr<CEffectLibrary> Load(const std::string& path, std::string& error);

    const std::string& Name() const { return m_name; }
    const std::string& Vendor() const { return m_vendor; }
    std::uint32_t Flag() const { return m_flag; }

    PFN_Initialize Initialize = nullptr;
    PFN_InitializeXml InitializeXml = nullptr;
    PFN_SavePreset SavePreset = nullptr;       // optional
    PFN_SavePresetXml SavePresetXml = nullptr; // optional
    PFN_SetStreamCallBack SetStreamCallBack = nullptr;
    PFN_OpenStream OpenStream = nullptr;
    PFN_ProcessStream ProcessStream = nullptr;
    PFN_CloseStream CloseStream = nullptr;
    PFN_CreateSettingsWindow CreateSettingsWindow = nullptr; // optional
    PFN_Free Free = nullptr;

private:
    platform::DynamicLibrary m_library;
    std::string m_name;
    std::string m_vendor;
    std::uint32_t m_flag = 0;
};

// One plug-in instance behind the effect interface. It keeps its library
// loaded, so it may outlive the effect table.
class CPluginEffect final : public CSimpleEffect {
public:
    // Null when the plug-in cannot create an instance with its defaults.
    static CPluginEffect* Create(std::shared_ptr<CEffectLibrary> library, std::uint32_t id,
                                 int type);
    ~CPluginEffect() override;

    std::uint32_t GetID() override { return m_id; }
    int GetEffectType() override { return m_type; }
    int SetStreamCallBack(StreamCallback callback, void* user) override;
    int OpenStream(const WAVEFORMATEX* format) override;
    const char* GetDisplayName() override { return m_library->Name().c_str(); }
    std::uint32_t ProcessStream(StreamBuffer* buffer) override;
    int CloseStream() override;
    int LoadPreset(const char* iniFile, const char* section) override;
    int SavePreset(const char* iniFile, const char* section) override;
    int LoadPresetXml(CXmlNode* node) override;
    int SavePresetXml(CXmlNode* node) override;
    void* CreateSettingsWindow(void* parent) override;
    const char* GetVendor() override { return m_library->Vendor().c_str(); }
    EffectInstance* GetInstance() override { return m_instance; }
    // A plug-in offers one thing: itself.
    int GetStringList(std::vector<std::string>* list) override;

private:
    CPluginEffect(std::shared_ptr<CEffectLibrary> library, std::uint32_t id, int type,
                  EffectInstance* instance);
    // Takes a freshly created instance in place of the current one; the
    // stream callback carries over.
    int Replace(int created, EffectInstance* fresh);

    std::shared_ptr<CEffectLibrary> m_library;
    std::uint32_t m_id;
    int m_type;
    EffectInstance* m_instance;
    StreamCallback m_callback = nullptr;
    void* m_user = nullptr;
};

} // namespace prism
