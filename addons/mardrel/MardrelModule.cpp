// "Mardrel": the live voice morpher. The Kel... entry points the host
// calls; the window and its logic live in window/, the audio paths in engine/.
#include "window/MardrelWindow.h"

#include "sonvara/Accelerators.h"
#include "sonvara/IMicro.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/MenuTree.h"
#include "sonvara/ModuleInfo.h"

#include <QPointer>

#define MARDREL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

QPointer<mardrel::MardrelWindow> g_window;
SvMenuTree g_menu;
SvAcceleratorList g_accelerators;

// "&File" joins the frame's File menu; "&Morph" joins the frame's Morph
// menu, its first item the "Single Effects" list of the voice effects.
void BuildMenu() {
    using namespace mardrel;
    g_menu = {};
    SvMenuTree& file = g_menu.AddPopup("&File");
    file.AddCommand("&Open Recording...\tCtrl+O", kCmdOpenRecording);
    file.AddCommand("&Save Morphed Recording As...", kCmdSaveMorphed,
                    g_window && g_window->Offline().HasResult() ? 0u : SvMenuItem::Disabled);
    SvMenuTree& morph = g_menu.AddPopup("&Morph");
    SvMenuTree& single = morph.AddPopup("Single Effects");
    if (g_window) {
        const auto& effects = g_window->Effects();
        for (std::size_t i = 0; i < effects.size() && i <= kCmdEffectLast - kCmdEffectFirst; ++i)
            single.AddCommand(
                effects[i].name, kCmdEffectFirst + static_cast<unsigned>(i),
                SvMenuItem::RadioCheck |
                    (static_cast<int>(i) == g_window->CurrentEffect() ? SvMenuItem::Checked : 0u));
    }
    if (single.items.empty()) single.AddCommand("none", 0xFFFF, SvMenuItem::Disabled);
    morph.AddSeparator();
    const bool live = g_window && g_window->IsLive();
    morph.AddCommand("&Live Morphing\tF9", mardrel::kCmdLive, live ? SvMenuItem::Checked : 0u);
    morph.AddCommand("Mo&nitor\tCtrl+M", mardrel::kCmdMonitor,
                     g_window && g_window->Monitor() ? SvMenuItem::Checked : 0u);
    morph.AddSeparator();
    morph.AddCommand("L&oad Preset...", mardrel::kCmdLoadPreset);
    morph.AddCommand("S&ave Preset...", mardrel::kCmdSavePreset);
}

} // namespace

MARDREL_EXPORT int KelGetModuleInfo(QWidget*, _MODULE_INFO_* info) {
    if (!info || info->Size != sizeof(_MODULE_INFO_)) return 0;
    info->Name = mardrel::kModuleName;
    return 1;
}

MARDREL_EXPORT QWidget* KelInitialize(QWidget* clientArea, char*, unsigned,
                                      IQueryInterface* query) {
    if (!query || query->GetVersion() >> 24 != 4) return nullptr;
    try {
        g_window = new mardrel::MardrelWindow(clientArea, query);
    } catch (...) {
        return nullptr;
    }
    g_window->hide();
    query->GetMicro()->EnableRecordControl(mardrel::kModuleName, 1);
    g_accelerators.entries = {{"F9", mardrel::kCmdLive},
                              {"Ctrl+M", mardrel::kCmdMonitor},
                              {"Ctrl+O", mardrel::kCmdOpenRecording}};
    return g_window;
}

MARDREL_EXPORT SvMenuTree* KelGetMenu(QWidget*) {
    BuildMenu();
    return &g_menu;
}

MARDREL_EXPORT SvAcceleratorList* KelGetAccelTable(QWidget*) {
    return &g_accelerators;
}

MARDREL_EXPORT int KelChangeState(QWidget*, int) {
    return 1;
}

MARDREL_EXPORT int KelLoadSkin(QWidget*, int) {
    if (g_window) g_window->ApplySkin();
    return 1;
}

MARDREL_EXPORT int KelPassMessage(QWidget*, const char* sender, const char* message) {
    try {
        return g_window && g_window->PassMessage(sender, message) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

MARDREL_EXPORT int KelOnCmdMsg(QWidget*, unsigned commandId, int, void*, void*) {
    try {
        return g_window && g_window->OnCommand(commandId) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
