#include "libs/prism/PluginEffect.h"

namespace prism {

std::shared_ptr<CEffectLibrary> CEffectLibrary::Load(const std::string& path, std::string& error) {
    auto lib = std::shared_ptr<CEffectLibrary>(new CEffectLibrary);
    if (!lib->m_library.Load(path)) {
        error = lib->m_library.Error();
        return nullptr;
    }
    platform::DynamicLibrary& l = lib->m_library;
    PFN_PlugInInfo info = nullptr;
    const struct {
        const char* name;
        bool found;
    } required[] = {
        {"PlugInInfo", l.Resolve("PlugInInfo", info)},
        {"Initialize", l.Resolve("Initialize", lib->Initialize)},
        {"InitializeXml", l.Resolve("InitializeXml", lib->InitializeXml)},
        {"SetStreamCallBack", l.Resolve("SetStreamCallBack", lib->SetStreamCallBack)},
        {"OpenStream", l.Resolve("OpenStream", lib->OpenStream)},
        {"ProcessStream", l.Resolve("ProcessStream", lib->ProcessStream)},
        {"CloseStream", l.Resolve("CloseStream", lib->CloseStream)},
        {"Free", l.Resolve("Free", lib->Free)},
    };
    for (const auto& r : required) {
        if (!r.found) {
            error = std::string("no export ") + r.name;
            return nullptr;
        }
    }
    l.Resolve("SavePreset", lib->SavePreset);
    l.Resolve("SavePresetXml", lib->SavePresetXml);
    l.Resolve("CreateSettingsWindow", lib->CreateSettingsWindow);

    PlugInInfoRecord record{};
    record.size = sizeof record;
    if (!info(&record) || record.interfaceValue != kEffectInterfaceValue) {
        error = "it does not identify itself as an effect of this interface";
        return nullptr;
    }
    // The texts live in the library; copies stay valid whatever it does.
    lib->m_name = record.name && *record.name ? record.name : "(unnamed)";
    lib->m_vendor = record.vendor ? record.vendor : "";
    lib->m_flag = record.flag;
    return lib;
}

CPluginEffect* CPluginEffect::Create(std::shared_ptr<CEffectLibrary> library, std::uint32_t id,
                                     int type) {
    EffectInstance* instance = nullptr;
    if (!library->Initialize(nullptr, nullptr, nullptr, &instance) || !instance) return nullptr;
    return new CPluginEffect(std::move(library), id, type, instance);
}

CPluginEffect::CPluginEffect(std::shared_ptr<CEffectLibrary> library, std::uint32_t id, int type,
                             EffectInstance* instance)
    : m_library(std::move(library)), m_id(id), m_type(type), m_instance(instance) {}

CPluginEffect::~CPluginEffect() {
    m_library->Free(m_instance);
}

int CPluginEffect::SetStreamCallBack(StreamCallback callback, void* user) {
    m_callback = callback;
    m_user = user;
    return m_library->SetStreamCallBack(callback, user, m_instance);
}

int CPluginEffect::OpenStream(const WAVEFORMATEX* format) {
    return m_library->OpenStream(m_instance, format);
}

std::uint32_t CPluginEffect::ProcessStream(StreamBuffer* buffer) {
    return m_library->ProcessStream(buffer, m_instance);
}

int CPluginEffect::CloseStream() {
    return m_library->CloseStream(m_instance);
}

int CPluginEffect::Replace(int created, EffectInstance* fresh) {
    // A failed load keeps the settings the effect had.
    if (!created || !fresh) return 0;
    m_library->Free(m_instance);
    m_instance = fresh;
    if (m_callback) m_library->SetStreamCallBack(m_callback, m_user, m_instance);
    return 1;
}

// The instance is read after the call that makes it: as arguments of one
// call the two would be evaluated in no fixed order.
int CPluginEffect::LoadPreset(const char* iniFile, const char* section) {
    EffectInstance* fresh = nullptr;
    const int created = m_library->Initialize(iniFile, section, nullptr, &fresh);
    return Replace(created, fresh);
}

int CPluginEffect::LoadPresetXml(CXmlNode* node) {
    EffectInstance* fresh = nullptr;
    const int created = m_library->InitializeXml(node, &fresh);
    return Replace(created, fresh);
}

int CPluginEffect::SavePreset(const char* iniFile, const char* section) {
    return m_library->SavePreset ? m_library->SavePreset(iniFile, section, nullptr, m_instance) : 0;
}

int CPluginEffect::SavePresetXml(CXmlNode* node) {
    return m_library->SavePresetXml ? m_library->SavePresetXml(node, m_instance) : 0;
}

void* CPluginEffect::CreateSettingsWindow(void* parent) {
    return m_library->CreateSettingsWindow ? m_library->CreateSettingsWindow(parent, m_instance)
                                           : nullptr;
}

int CPluginEffect::GetStringList(std::vector<std::string>* list) {
    if (!list) return 0;
    list->assign(1, m_library->Name());
    return 1;
}

} // namespace prism
