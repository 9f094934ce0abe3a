#include "plugin/SettingsWindow.h"

#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <string>

namespace stavo {

namespace {

using CreatePanelFn = void* (*)(void* parent, EffectInstance* instance);

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
        // Kept loaded on purpose (never deleted): the panels' code must stay
        // while any panel exists, whatever the host does with this library.
        auto* library = new platform::DynamicLibrary;
        if (!library->Load(folder + "/" + kPanelLibrary)) {
            delete library;
            return nullptr;
        }
        return library->Function<CreatePanelFn>("CreateModulationPanel");
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
