// The text of one private-profile (INI) file as an editable list of lines.
//
// Every line of the file is kept, so a rewrite reproduces comments, blank
// lines, lines before the first section and lines we do not understand
// exactly; only the lines an edit touches change. Line ends are written as
// CR LF whatever the file used. Text is UTF-8; a UTF-8 byte-order mark is
// kept, and a file with a UTF-16 byte-order mark (a Windows editor's
// "Unicode") is decoded and written back as UTF-16 with its mark.
//
// Reading rules (those of the Windows profile functions):
// - "[name]" starts a section; the name is what lies between '[' and the last
//   ']', blanks trimmed. A '[' line without ']' is an unknown line.
// - "key=value" is an entry of the current section; key and value are
//   trimmed, and a value wrapped in matching double or single quotes loses
//   them. Entries before the first section belong to no section.
// - Lines starting with ';', blank lines, and lines without '=' or with an
//   empty key are kept but never read.
// - Names compare without regard to ASCII letter case. When a section or a
//   key appears twice, the first one is the one read and written.
//
// Not thread safe; Profile.cpp serialises its use.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::profile {

// The text of a write argument that would change the file's structure
// (a line break, a key that would read back as a comment or a section, ...),
// or empty when it is acceptable.
std::string CheckSectionName(std::string_view section);
std::string CheckKeyName(std::string_view key);
std::string CheckValue(std::string_view value);

// Blanks (space, tab, CR, vertical tab, form feed) removed at both ends.
std::string_view Trim(std::string_view text);

class Document {
public:
    // Parses file contents; never fails (unknown lines are simply kept).
    static Document Parse(std::string_view bytes);
    // The file contents with CR LF line ends, in the file's encoding.
    std::string Serialize() const;

    // The value of key in the first section named section, or null.
    const std::string* Find(std::string_view section, std::string_view key) const;
    // Section names in file order, each name once (first spelling), empty names left out.
    std::vector<std::string> SectionNames() const;
    // Key names of the first section named section, each once, in file order.
    std::vector<std::string> KeyNames(std::string_view section) const;
    // (key, value) of every readable entry of the first section named section.
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

    // Every section the reading rules see, in file order: the first section
    // of each name with its readable entries (empty names left out), as
    // SectionNames and Entries would give them, in one pass over the lines.
    // For readers of whole files, where a Find per key would cost a pass per
    // section.
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> ReadableSections() const;

    // Replaces the first entry of key in the first such section, or adds the
    // entry after the section's last entry, or adds the section at the end.
    // Names and value must have passed the Check functions above.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes every entry of key from the first such section.
    void DeleteKey(std::string_view section, std::string_view key);
    // Removes every section of that name with all its lines.
    void DeleteSection(std::string_view section);

    // Whether an edit changed any line since the document was parsed.
    bool Changed() const { return m_changed; }

private:
    struct Line {
        enum class Kind { Other, Section, Entry };
        Kind kind = Kind::Other;
        std::string text;  // the line as it stands in the file, without its line end
        std::string name;  // Section: the section name; Entry: the key
        std::string value; // Entry: the value as read
    };

    static Line ParseLine(std::string text);
    // Index of the header of the first section named section, or npos.
    std::size_t FindSection(std::string_view section) const;
    // One past the last line of the section whose header is at header.
    std::size_t SectionEnd(std::size_t header) const;

    enum class Encoding { Utf8, Utf8WithMark, Utf16Le, Utf16Be };
    Encoding m_encoding = Encoding::Utf8;
    bool m_changed = false;
    std::vector<Line> m_lines;
};

} // namespace platform::profile
