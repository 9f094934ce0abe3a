// The coders' two exported functions (sonvara/Codexa.h). The program exports
// them from its executable, where modules look them up.
#include "sonvara/Codexa.h"

#include "libs/codexa/CoderFormats.h"
#include "libs/codexa/RecordingFormatPanel.h"
#include "libs/codexa/RecordingSettings.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) int
KelGetSupportedFileExtensions(char* buffer, std::uint32_t size) {
    if (!buffer || size == 0) return 0;
    buffer[0] = '\0';
    try {
        const std::string filter = codexa::ExtensionFilter();
        // A cut list would end in a broken pattern: all or nothing.
        if (filter.size() + 1 > size) return 0;
        std::memcpy(buffer, filter.c_str(), filter.size() + 1);
        return 1;
    } catch (...) {
        return 0;
    }
}

extern "C" __attribute__((visibility("default"))) int
KelCoderShowSettings(const char* /*coderName*/, QWidget* parent, int show) {
    if (!parent) return 0;
    try {
        const auto existing = parent->findChildren<codexa::CRecordingFormatPanel*>(
            QString(), Qt::FindDirectChildrenOnly);
        if (show == 0) {
            for (codexa::CRecordingFormatPanel* panel : existing)
                delete panel;
            return 1;
        }
        // Showing twice keeps the one panel.
        if (!existing.isEmpty()) return 1;
        auto* panel = new codexa::CRecordingFormatPanel(codexa::SettingsFile(), parent);
        panel->move(0, 0);
        panel->show();
        return 1;
    } catch (...) {
        return 0;
    }
}
