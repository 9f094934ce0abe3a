// The one interface a module is handed (last argument of KelInitialize); it
// gives out every other host interface. Each getter returns the same object
// every time; the objects live as long as the host's main frame, so a module
// may keep the pointers until it is released. No reference counting.
//
// Slot order is fixed: modules are built against it. Window thread only.
#pragma once

#include <cstdint>

class IApplication;
class IPlayer;
class IMicro;
class IModuleCom;
class ISkin;
class IEffectManager;

// Frees a string returned by IQueryInterface::GetCurrentSkinName. Inline so
// that the module frees with the same allocator family the host used
// (operator new[] / delete[] of the C++ runtime both share).
inline void SvFreeString(wchar_t* text) {
    delete[] text;
}

class IQueryInterface {
public:
    // 0x04000044: major 4 (top byte), minor 0, build 68 (low 16 bits).
    virtual std::uint32_t GetVersion() = 0;
    virtual IApplication* GetApplication() = 0;
    virtual IPlayer* GetPlayer() = 0;
    virtual IMicro* GetMicro() = 0;
    virtual IModuleCom* GetModuleCom() = 0;
    virtual ISkin* GetSkin() = 0;
    // The current skin's name as a new NUL-terminated wide string the
    // caller owns and frees with SvFreeString. Empty (not null) before any
    // skin is current; null only when memory ran out.
    virtual wchar_t* GetCurrentSkinName() = 0;
    // The host's effect manager (sonvara/EffectManager.h): the effects of
    // the frame's effect menus, for a module to create and run. Null when
    // the host has none. The last slot, so modules built before it exist
    // keep working.
    virtual IEffectManager* GetEffectManager() = 0;

protected:
    ~IQueryInterface() = default;
};

namespace sonvara {
inline constexpr std::uint32_t kHostVersion = 0x04000044;
} // namespace sonvara
