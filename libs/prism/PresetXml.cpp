// The program's XML preset files for effects (sonvara/EffectPresetXml.h),
// exported from its executable, where modules look the function up.
#include "sonvara/EffectManager.h"
#include "sonvara/EffectPresetXml.h"
#include "xml/XmlNode.h"

extern "C" __attribute__((visibility("default"))) int
KelEffectPresetXml(CSimpleEffect* effect, const char* path, int save) {
    if (!effect || !path || !*path) return 0;
    try {
        if (save) {
            CXmlNode preset("Preset");
            if (!effect->SavePresetXml(&preset)) return 0;
            return preset.SaveToFile(path) ? 1 : 0;
        }
        CXmlNode document;
        if (!document.LoadFromFile(path)) return 0;
        // Any other XML file (a skin, a playlist, a preset of something
        // else) would read as a preset of nothing but defaults, and the
        // effect would lose its settings to it.
        if (document.GetName() != "Preset") return 0;
        return effect->LoadPresetXml(&document) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
