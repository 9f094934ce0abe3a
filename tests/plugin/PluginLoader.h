// The real StavoModulation.so loaded by absolute path, its exports looked up
// by name, the way an effect host drives it.
#pragma once

#include "platform/DynamicLibrary.h"
#include "sonvara/EffectPlugin.h"

#include <gtest/gtest.h>

struct PluginExports {
    PFN_PlugInInfo PlugInInfo = nullptr;
    PFN_Initialize Initialize = nullptr;
    PFN_InitializeXml InitializeXml = nullptr;
    PFN_LoadPreset LoadPreset = nullptr;
    PFN_CopySettings CopySettings = nullptr;
    PFN_SavePreset SavePreset = nullptr;
    PFN_SavePresetXml SavePresetXml = nullptr;
    PFN_OpenStream OpenStream = nullptr;
    PFN_SetStreamCallBack SetStreamCallBack = nullptr;
    PFN_ProcessStream ProcessStream = nullptr;
    PFN_CloseStream CloseStream = nullptr;
    PFN_CreateSettingsWindow CreateSettingsWindow = nullptr;
    PFN_Free Free = nullptr;
};

// Loaded once per test program and kept loaded, so objects the plug-in made
// (XML children, instances) never outlive its code.
inline const PluginExports& Plugin() {
    static platform::DynamicLibrary library;
    static PluginExports exports;
    if (!library.IsLoaded()) {
        if (!library.Load(STAVO_PLUGIN_PATH)) {
            ADD_FAILURE() << "cannot load " << STAVO_PLUGIN_PATH << ": " << library.Error();
            return exports;
        }
        exports.PlugInInfo = library.Function<PFN_PlugInInfo>("PlugInInfo");
        exports.Initialize = library.Function<PFN_Initialize>("Initialize");
        exports.InitializeXml = library.Function<PFN_InitializeXml>("InitializeXml");
        exports.LoadPreset = library.Function<PFN_LoadPreset>("LoadPreset");
        exports.CopySettings = library.Function<PFN_CopySettings>("CopySettings");
        exports.SavePreset = library.Function<PFN_SavePreset>("SavePreset");
        exports.SavePresetXml = library.Function<PFN_SavePresetXml>("SavePresetXml");
        exports.OpenStream = library.Function<PFN_OpenStream>("OpenStream");
        exports.SetStreamCallBack = library.Function<PFN_SetStreamCallBack>("SetStreamCallBack");
        exports.ProcessStream = library.Function<PFN_ProcessStream>("ProcessStream");
        exports.CloseStream = library.Function<PFN_CloseStream>("CloseStream");
        exports.CreateSettingsWindow =
            library.Function<PFN_CreateSettingsWindow>("CreateSettingsWindow");
        exports.Free = library.Function<PFN_Free>("Free");
    }
    return exports;
}
