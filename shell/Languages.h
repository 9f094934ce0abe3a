// The language libraries of the Language folder and the remembered choice
// in Language.xml (a root "Lang" with the attributes "Path" and "Name").
#pragma once

#include <string>
#include <vector>

namespace shell {

struct CLanguageEntry {
    std::string Path; // full path of the library; empty for the built-in English
    std::string Name; // what the library's GetLanguageName reported
    bool Selected = false;
};

inline constexpr const char* kDefaultLanguage = "English";

// Every usable library of folder ("*.so", in name order): one that loads,
// exports GetLanguageLibraryVersion and GetLanguageName, and reports a version
// of at most kMaxLanguageLibraryVersion. Each library is unloaded again. A
// missing folder gives an empty list.
std::vector<CLanguageEntry> ScanLanguageLibraries(const std::string& folder);

// The "Name" of Language.xml's root, or an empty string when the file cannot
// be read or has no (or an empty) Name.
std::string ReadLanguageXml(const std::string& xmlPath);

// Writes Language.xml for the first entry named name (exact comparison);
// does nothing, and returns false, when there is none or the file cannot be
// written.
bool WriteLanguageXml(const std::vector<CLanguageEntry>& entries, const std::string& name,
                      const std::string& xmlPath);

// The start-up choice: the language remembered in xmlPath, or "English" when
// none is (then an "English" entry with an empty Path is appended if the
// list has none, and Language.xml is written for it). Marks the first entry
// of that name Selected and returns the language's name.
std::string ChooseCurrentLanguage(std::vector<CLanguageEntry>& entries, const std::string& xmlPath);

// The entry marked Selected, or null.
const CLanguageEntry* SelectedLanguage(const std::vector<CLanguageEntry>& entries);

} // namespace shell
