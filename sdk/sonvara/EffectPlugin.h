// The flat interface of an effect plug-in: a shared library exporting plain
// extern "C" functions, driven by an effect host.
//
// Calling order: PlugInInfo at any time; one creating call (Initialize,
// InitializeXml, LoadPreset or CopySettings); optionally CreateSettingsWindow;
// SetStreamCallBack; OpenStream; ProcessStream repeatedly; CloseStream;
// OpenStream again for a new stream if wanted; SavePreset / SavePresetXml at
// any time; Free last.
//
// Threads: ProcessStream runs on the caller's audio thread; the settings
// window on the window thread. One instance must not be driven through
// ProcessStream by two threads at once. No export throws.
#pragma once

#include "sonvara/StreamBuffer.h"
#include "sonvara/Types.h"
#include "sonvara/WaveFormat.h"

#include <cstdint>

class CXmlNode;
struct EffectInstance; // opaque: the plug-in's own record

struct PlugInInfoRecord {
    std::uint32_t size; // set by the caller to sizeof(PlugInInfoRecord)
    std::uint32_t reserved;
    const char* name;   // static storage of the plug-in; never freed by the caller
    const char* vendor; // likewise
    std::uint32_t interfaceValue;
    std::uint32_t flag;
};

static_assert(sizeof(PlugInInfoRecord) == 8 + 2 * sizeof(void*) + 8,
              "record layout: four 32-bit fields and two pointers");

extern "C" {
using PFN_PlugInInfo = int (*)(PlugInInfoRecord* info);
using PFN_Initialize = int (*)(const char* iniFile, const char* section, HKEY key,
                               EffectInstance** instance);
using PFN_InitializeXml = int (*)(CXmlNode* node, EffectInstance** instance);
using PFN_LoadPreset = PFN_Initialize;
using PFN_CopySettings = int (*)(EffectInstance** instance, EffectInstance* source);
using PFN_SavePreset = int (*)(const char* iniFile, const char* section, HKEY key,
                               EffectInstance* instance);
using PFN_SavePresetXml = int (*)(CXmlNode* node, EffectInstance* instance);
using PFN_OpenStream = int (*)(EffectInstance* instance, const WAVEFORMATEX* format);
using PFN_SetStreamCallBack = int (*)(StreamCallback callback, void* user,
                                      EffectInstance* instance);
using PFN_ProcessStream = std::uint32_t (*)(StreamBuffer* buffer, EffectInstance* instance);
using PFN_CloseStream = int (*)(EffectInstance* instance);
// parent is a QWidget*; the result is the new settings window (a QWidget*).
using PFN_CreateSettingsWindow = void* (*)(void* parent, EffectInstance* instance);
using PFN_Free = void (*)(EffectInstance* instance);
}
