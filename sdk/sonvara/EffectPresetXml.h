// XML preset files for an effect of the effect manager. CSimpleEffect's
// LoadPresetXml and SavePresetXml take an element of the host's XML document
// model, which a module cannot make; the sonvara program exports one function
// that reads or writes a preset file around those calls. A module finds it at
// run time (it also loads into a program that lacks it).
//
// The file holds one element, "Preset", carrying the effect's settings (the
// form sonvara-fx reads with --preset-xml and writes with --save-preset-xml).
// A file is replaced atomically; a failed save leaves the old one as it was.
//
// Window thread only; loading needs the effect's stream closed.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class CSimpleEffect;

extern "C" {
// save 1: writes the effect's settings to path; 0: loads them from path.
// 1 on success; 0 when the file cannot be read or written or the effect
// refuses (a load then keeps the settings it had).
using KelEffectPresetXmlFn = int (*)(CSimpleEffect* effect, const char* path, int save);
}

inline constexpr const char* kKelEffectPresetXml = "KelEffectPresetXml";

// KelEffectPresetXml's result, or -1 when the program has no such function.
inline int SvEffectPresetXml(CSimpleEffect* effect, const char* path, bool save) {
#if defined(_WIN32)
    auto fn = reinterpret_cast<KelEffectPresetXmlFn>(
        ::GetProcAddress(::GetModuleHandleA(nullptr), kKelEffectPresetXml));
#else
    auto fn = reinterpret_cast<KelEffectPresetXmlFn>(::dlsym(RTLD_DEFAULT, kKelEffectPresetXml));
#endif
    return fn ? fn(effect, path, save ? 1 : 0) : -1;
}
