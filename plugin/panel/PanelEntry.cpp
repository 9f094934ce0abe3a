// The companion library's one export, called by the plug-in's
// CreateSettingsWindow. The plug-in itself links no toolkit, so hosts without
// windows never load Qt; this library is loaded at the first panel.
#include "plugin/panel/ModulationDlg.h"
#include "plugin/panel/PanelTexts.h"

#include <QApplication>
#include <QThread>

extern "C" __attribute__((visibility("default"))) void*
CreateModulationPanel(void* parent, EffectInstance* instance) noexcept {
    // Widgets exist only in a widget application, on its thread.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread() || !parent || !instance) return nullptr;
    try {
        stavo::LoadPanelLanguage();
        return stavo::CModulationDlg::Create(static_cast<QWidget*>(parent), instance);
    } catch (...) {
        return nullptr;
    }
}
