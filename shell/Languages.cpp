#include "shell/Languages.h"

#include "platform/DynamicLibrary.h"
#include "shell/LanguageLibrary.h"
#include "xml/XmlNode.h"

#include <algorithm>
#include <filesystem>

namespace shell {

namespace {

// Runs the checks on one library file; fills name and returns true when the
// library is usable.
bool ProbeLanguageLibrary(const std::string& path, std::string& name) {
    platform::DynamicLibrary library;
    if (!library.Load(path)) return false;
    auto version = library.Function<GetLanguageLibraryVersionFn>(kGetLanguageLibraryVersion);
    if (!version || version() > kMaxLanguageLibraryVersion) return false;
    auto getName = library.Function<GetLanguageNameFn>(kGetLanguageName);
    if (!getName) return false;
    char buffer[kLanguageNameSize] = {};
    getName(buffer, kLanguageNameSize);
    // A library that fills the whole buffer must not make us read past it.
    buffer[kLanguageNameSize - 1] = '\0';
    name = buffer;
    return true; // the library unloads with `library`
}

} // namespace

std::vector<CLanguageEntry> ScanLanguageLibraries(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.extension() == ".so" && it->is_regular_file(ec))
            paths.push_back(fs::absolute(p, ec).string());
    }
    // The file system's order is arbitrary; the menu should not change from
    // one run to the next.
    std::sort(paths.begin(), paths.end());

    std::vector<CLanguageEntry> entries;
    for (const auto& path : paths) {
        std::string name;
        if (ProbeLanguageLibrary(path, name)) entries.push_back({path, name, false});
    }
    return entries;
}

std::string ReadLanguageXml(const std::string& xmlPath) {
    CXmlNode root;
    std::string name;
    if (!root.LoadFromFile(xmlPath)) return {};
    root.GetAttribute("Name", name);
    return name;
}

bool WriteLanguageXml(const std::vector<CLanguageEntry>& entries, const std::string& name,
                      const std::string& xmlPath) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const CLanguageEntry& e) { return e.Name == name; });
    if (it == entries.end()) return false;
    CXmlNode root("Lang");
    root.SetAttribute("Path", it->Path);
    root.SetAttribute("Name", it->Name);
    return root.SaveToFile(xmlPath);
}

std::string ChooseCurrentLanguage(std::vector<CLanguageEntry>& entries,
                                  const std::string& xmlPath) {
    std::string current = ReadLanguageXml(xmlPath);
    if (current.empty()) {
        current = kDefaultLanguage;
        auto named = [&](const CLanguageEntry& e) { return e.Name == current; };
        if (std::none_of(entries.begin(), entries.end(), named))
            entries.push_back({"", current, false});
        WriteLanguageXml(entries, current, xmlPath);
    }
    for (auto& e : entries)
        e.Selected = false;
    for (auto& e : entries) {
        if (e.Name == current) {
            e.Selected = true;
            break;
        }
    }
    return current;
}

const CLanguageEntry* SelectedLanguage(const std::vector<CLanguageEntry>& entries) {
    for (const auto& e : entries)
        if (e.Selected) return &e;
    return nullptr;
}

} // namespace shell
