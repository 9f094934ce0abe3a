// An editable mimeapps.list (or any desktop-style key file): lines are kept
// as they were, so other sections, comments and other programs' entries
// survive a rewrite untouched. Keys compare exactly, as the XDG files do.
// Window-free.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ui {

class CKeyFile {
public:
    // Missing files read as empty; false only when an existing file cannot be read.
    bool Load(const std::string& path);
    bool Save(const std::string& path) const; // atomic
    void Parse(const std::string& text);
    std::string Text() const;

    std::optional<std::string> Get(const std::string& section, const std::string& key) const;
    void Set(const std::string& section, const std::string& key, const std::string& value);
    void Remove(const std::string& section, const std::string& key);

private:
    // Index of the key's line within the section, or of the section header
    // (npos when missing).
    std::size_t FindSection(const std::string& section) const;
    std::size_t FindKey(std::size_t sectionLine, const std::string& key) const;

    std::vector<std::string> m_lines;
};

// The first desktop id of a "a.desktop;b.desktop;" list.
std::string FirstDesktopId(const std::string& list);

} // namespace ui
