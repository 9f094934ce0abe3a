// The plug-in's exported functions: each one a thin, exception-free layer over
// the core in this folder. Every export accepts null pointers without harm.
#include "dsp/nsp.h"
#include "plugin/EffectInstance.h"
#include "plugin/Presets.h"
#include "plugin/SettingsWindow.h"
#include "plugin/Stream.h"
#include "sonvara/EffectPlugin.h"

#include <type_traits>

#define STAVO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const char kName[] = "Stavo Modulation";
const char kVendor[] = "Brontel Ltd (CY)";

// Creates an instance from a store; 1 on success.
int Create(const stavo::ValueStore& store, EffectInstance** out) noexcept {
    if (!out) return 0;
    try {
        EffectInstance* instance = stavo::NewInstance();
        try {
            stavo::ReadSettings(store, *instance);
        } catch (...) {
            // A store that cannot be read leaves the defaults.
            stavo::ApplyDefaults(*instance);
        }
        *out = instance;
        return 1;
    } catch (...) {
        return 0;
    }
}

// The kernels keep their FFT tables for the life of the process; the copy of
// the kernels inside this library must give them back when a host unloads it.
__attribute__((destructor)) void ReleaseFftTables() {
    for (int order = 0; order <= 31; ++order) {
        nspsRealFftNip(nullptr, nullptr, order, NSP_Free);
        nspsCcsFftNip(nullptr, nullptr, order, NSP_Free);
        nspdRealFftNip(nullptr, nullptr, order, NSP_Free);
    }
}

} // namespace

STAVO_EXPORT int PlugInInfo(PlugInInfoRecord* info) {
    if (!info || info->size != sizeof(PlugInInfoRecord)) return 0;
    info->reserved = 0;
    info->name = kName;
    info->vendor = kVendor;
    info->interfaceValue = kEffectInterfaceValue;
    info->flag = 1;
    return 1;
}

STAVO_EXPORT int Initialize(const char* iniFile, const char* section, HKEY key,
                            EffectInstance** instance) {
    stavo::ValueStore store;
    store.iniFile = iniFile;
    store.section = section;
    store.key = key;
    return Create(store, instance);
}

STAVO_EXPORT int InitializeXml(CXmlNode* node, EffectInstance** instance) {
    stavo::ValueStore store;
    store.node = node;
    return Create(store, instance);
}

STAVO_EXPORT int LoadPreset(const char* iniFile, const char* section, HKEY key,
                            EffectInstance** instance) {
    return Initialize(iniFile, section, key, instance);
}

STAVO_EXPORT int CopySettings(EffectInstance** instance, EffectInstance* source) {
    if (!instance || !source) return 0;
    try {
        EffectInstance* copy = stavo::NewInstance();
        stavo::CopySettings(*copy, *source);
        *instance = copy;
        return 1;
    } catch (...) {
        return 0;
    }
}

STAVO_EXPORT int SavePreset(const char* iniFile, const char* section, HKEY key,
                            EffectInstance* instance) {
    // Without a file or a key nothing is stored, which is no success.
    if (!instance || (!iniFile && !key)) return 0;
    stavo::ValueStore store;
    store.iniFile = iniFile;
    store.section = section;
    store.key = key;
    try {
        return stavo::WriteSettings(store, *instance);
    } catch (...) {
        return 0;
    }
}

STAVO_EXPORT int SavePresetXml(CXmlNode* node, EffectInstance* instance) {
    if (!instance || !node) return 0;
    stavo::ValueStore store;
    store.node = node;
    try {
        return stavo::WriteSettings(store, *instance);
    } catch (...) {
        return 0;
    }
}

STAVO_EXPORT int OpenStream(EffectInstance* instance, const WAVEFORMATEX* format) {
    if (!instance) return 1;
    try {
        return stavo::OpenStream(*instance, format);
    } catch (...) {
        stavo::CloseStream(*instance);
        return 1;
    }
}

STAVO_EXPORT int SetStreamCallBack(StreamCallback callback, void* user, EffectInstance* instance) {
    if (!instance) return 0;
    instance->callback = callback;
    instance->callbackUser = user;
    return 1;
}

STAVO_EXPORT std::uint32_t ProcessStream(StreamBuffer* buffer, EffectInstance* instance) {
    if (!buffer || !instance) return 0;
    const std::uint32_t frames = buffer->frames;
    try {
        return stavo::ProcessStream(*instance, *buffer);
    } catch (...) {
        // Only the host's callback throws (or a channel list it spoilt cannot
        // be rebuilt): the buffer is handed back as an empty one of its size.
        buffer->frames = frames;
        buffer->valid = 0;
        return 0;
    }
}

STAVO_EXPORT int CloseStream(EffectInstance* instance) {
    if (!instance) return 0;
    stavo::CloseStream(*instance);
    return 1;
}

STAVO_EXPORT void* CreateSettingsWindow(void* parent, EffectInstance* instance) {
    return stavo::OpenSettingsPanel(parent, instance);
}

STAVO_EXPORT void Free(EffectInstance* instance) {
    stavo::FreeInstance(instance);
}

// The exports must keep the exact types that hosts cast their symbols to.
static_assert(std::is_same_v<decltype(&PlugInInfo), PFN_PlugInInfo>);
static_assert(std::is_same_v<decltype(&Initialize), PFN_Initialize>);
static_assert(std::is_same_v<decltype(&InitializeXml), PFN_InitializeXml>);
static_assert(std::is_same_v<decltype(&LoadPreset), PFN_LoadPreset>);
static_assert(std::is_same_v<decltype(&CopySettings), PFN_CopySettings>);
static_assert(std::is_same_v<decltype(&SavePreset), PFN_SavePreset>);
static_assert(std::is_same_v<decltype(&SavePresetXml), PFN_SavePresetXml>);
static_assert(std::is_same_v<decltype(&OpenStream), PFN_OpenStream>);
static_assert(std::is_same_v<decltype(&SetStreamCallBack), PFN_SetStreamCallBack>);
static_assert(std::is_same_v<decltype(&ProcessStream), PFN_ProcessStream>);
static_assert(std::is_same_v<decltype(&CloseStream), PFN_CloseStream>);
static_assert(std::is_same_v<decltype(&CreateSettingsWindow), PFN_CreateSettingsWindow>);
static_assert(std::is_same_v<decltype(&Free), PFN_Free>);
