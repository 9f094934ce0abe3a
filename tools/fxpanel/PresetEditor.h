// sonvara-fx-panel: an effect plug-in's own settings panel in a window of its
// own, for one preset file, so that presets can be edited without a host.
//
//   sonvara-fx-panel [--plugin PATH] PRESET.xml
//   sonvara-fx-panel [--plugin PATH] --section NAME PRESET.ini
//
// An XML preset is the document element's children (a missing file starts
// from the plug-in's defaults and is created by Save); an INI preset is a
// section. Save stores the panel's settings in the file through the
// plug-in's own preset export; a failed save says so and keeps the old file.
#pragma once

#include "tools/fx/EffectPlugin.h"
#include "xml/XmlNode.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace fxpanel {

struct PanelOptions {
    std::string plugin; // empty: Effects/StavoModulation.so beside the program
    std::string preset;
    std::string section; // INI presets only
    bool help = false;
};

// Parses the command line (without the program name); false with a message.
bool ParsePanelOptions(const std::vector<std::string>& args, PanelOptions& options,
                       std::string& error);

class CPresetEditor : public QWidget {
public:
    // Loads the plug-in and the preset; nullptr with a message when either
    // cannot be used or the plug-in has no settings panel.
    static std::unique_ptr<CPresetEditor> Open(const PanelOptions& options, std::string& error);
    ~CPresetEditor() override;

    // Stores the settings in the preset file; false with the reason shown.
    bool Save();
    QWidget* Panel() const { return m_panel; }
    QString Status() const;

private:
    CPresetEditor() = default;
    bool IsIni() const;
    void Build();

    // Declared in this order so that the instance and the XML nodes the
    // plug-in touched go before the library that made them.
    fx::EffectPlugin m_plugin;
    std::unique_ptr<CXmlNode> m_document;
    fx::PluginInstance m_instance;
    PanelOptions m_options;
    QWidget* m_panel = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace fxpanel
