#include "plugin/panel/PanelTexts.h"

#include "platform/DynamicLibrary.h"
#include "xml/XmlNode.h"

#include <filesystem>
#include <mutex>
#include <string>

namespace stavo {

namespace {

// The language libraries' translation export: the text with this id into
// buffer (NUL-terminated, at most size bytes), returning its length or 0.
using TranslateFn = int (*)(unsigned id, char* buffer, int size);

// Kept as long as this library: translated texts may be asked for as long
// as panels exist.
platform::DynamicLibrary g_language;
TranslateFn g_translate = nullptr;

} // namespace

void LoadPanelLanguage() {
    static std::once_flag once;
    std::call_once(once, [] {
        CXmlNode root;
        std::string path;
        if (!root.LoadFromFile("Language.xml") || !root.GetAttribute("Path", path) || path.empty())
            return;
        std::error_code ec;
        const std::string absolute = std::filesystem::absolute(path, ec).string();
        if (ec) return;
        if (!g_language.Load(absolute)) return;
        g_translate = g_language.Function<TranslateFn>("GetLanguageString");
    });
}

QString PanelText(int id, const char* english) {
    if (g_translate) {
        char buffer[256] = {};
        const int length = g_translate(static_cast<unsigned>(id), buffer, sizeof buffer);
        if (length > 0 && buffer[0] != '\0') return QString::fromUtf8(buffer);
    }
    return QString::fromUtf8(english);
}

} // namespace stavo
