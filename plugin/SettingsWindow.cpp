#include "plugin/SettingsWindow.h"

#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <string>

namespace stavo {

namespace {

using CreatePanelFn = void* (*)(void* parent, EffectInstance* instance);

// The companion library, loaded once and never unloaded: Qt and the panels'
// code (their event types included) must stay as long as any panel or any
// event it posted may exist, whatever the host does with this library.
platform::DynamicLibrary g_panelLibrary;

// The folder this library was loaded from.
std::string OwnFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&OpenSettingsPanel), &info) || !info.dli_fname) return {};
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::string() : self.parent_path().string();
}

CreatePanelFn LoadCompanion() {
    static CreatePanelFn create = []() -> CreatePanelFn {
        const std::string folder = OwnFolder();
        if (folder.empty()) return nullptr;
        const std::string path = folder + "/" + kPanelLibrary;
        if (!g_panelLibrary.Load(path)) return nullptr;
        // Marks the loaded library to stay when its handle is closed.
        dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return g_panelLibrary.Function<CreatePanelFn>("CreateModulationPanel");
    }();
    return create;
}

} // namespace

void* OpenSettingsPanel(void* parent, EffectInstance* instance) noexcept {
    if (!parent || !instance) return nullptr;
    try {
        const CreatePanelFn create = LoadCompanion();
        return create ? create(parent, instance) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace stavo
