#include "tools/fxpanel/PresetEditor.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    fxpanel::PanelOptions options;
    std::string error;
    if (!fxpanel::ParsePanelOptions(args, options, error)) {
        std::fprintf(stderr, "sonvara-fx-panel: %s\nTry 'sonvara-fx-panel --help'.\n",
                     error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs("Usage: sonvara-fx-panel [--plugin PATH] PRESET.xml\n"
                   "       sonvara-fx-panel [--plugin PATH] --section NAME PRESET.ini\n\n"
                   "Shows the settings panel of an effect plug-in (default: Stavo Modulation)\n"
                   "for a preset file; Save stores the settings in it. A missing XML file\n"
                   "starts from the plug-in's defaults.\n",
                   stdout);
        return 0;
    }
    auto editor = fxpanel::CPresetEditor::Open(options, error);
    if (!editor) {
        std::fprintf(stderr, "sonvara-fx-panel: %s\n", error.c_str());
        return 1;
    }
    editor->show();
    return app.exec();
}
