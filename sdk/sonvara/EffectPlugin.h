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
// ProcessStream by two threads at once. No export throws, and none crashes on
// a null pointer: it returns 0 (OpenStream: non-zero) instead.
//
// Results (BOOL results are int, non-zero = success):
//   PlugInInfo      1, or 0 when info->size != sizeof(PlugInInfoRecord)
//                   (the record is then left untouched)
//   Initialize, InitializeXml, LoadPreset, CopySettings
//                   1 and a new instance in *instance (never freeing what
//                   *instance held before); settings absent from the store
//                   take their defaults
//   SavePreset      1, or 0 when the settings were not stored (the INI file
//                   or registry store cannot be written); the old file
//                   then stays as it was; 0 without a file or key
//   SavePresetXml   1, or 0 without a node
//   OpenStream      0 when open; non-zero when refused (null format, more
//                   than 8 channels, a rate outside 8000..192000); a refused
//                   instance is closed and ProcessStream then returns 0
//                   without touching the buffer
//   ProcessStream   the frames of output at the start of every channel
//                   array; 0 when the stream has finished (then valid is 0).
//                   On return frames is its value on entry and valid equals
//                   it (except when finished); the callback must be set
//   CloseStream     1
//
// Allocation: OpenStream makes all the storage a stream needs (priming
// included); ProcessStream itself allocates nothing, so it is safe on a
// real-time thread as long as the host's stream callback is.
#pragma once

#include "sonvara/StreamBuffer.h"
#include "sonvara/Types.h"
#include "sonvara/WaveFormat.h"

#include <cstdint>

class CXmlNode;
struct EffectInstance; // opaque: the plug-in's own record

// The interface value a plug-in of this interface reports in PlugInInfoRecord.
inline constexpr std::uint32_t kEffectInterfaceValue = 0x40000;

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
