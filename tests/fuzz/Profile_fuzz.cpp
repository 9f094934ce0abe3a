// The INI reader and writer behind config.ini and every preset file: any
// bytes parse; writing what was read and reading it again gives the same
// sections, keys and values; an edit made through the checked calls reads
// back as written.
#include "platform/ProfileParser.h"
#include "platform/TextEncoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using platform::profile::Document;

namespace {

bool SameContent(const Document& a, const Document& b) {
    if (a.SectionNames() != b.SectionNames()) return false;
    for (const auto& section : a.SectionNames())
        if (a.Entries(section) != b.Entries(section)) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Document document = Document::Parse(bytes);
    const Document reread = Document::Parse(document.Serialize());
    if (!SameContent(document, reread)) std::abort();

    // Use the input's first line as a section, key and value to write. Names
    // and values are UTF-8 by contract (a file saved as UTF-16 stores other
    // bytes as U+FFFD), so only well-formed ones are written.
    const std::string_view head = bytes.substr(0, bytes.find('\n'));
    const std::string section(head.substr(0, 16));
    const std::string key(head.substr(head.size() / 2, 16));
    const std::string value(head);
    if (platform::IsValidUtf8(value) && platform::IsValidUtf8(section) &&
        platform::IsValidUtf8(key) && platform::profile::CheckSectionName(section).empty() &&
        platform::profile::CheckKeyName(key).empty() &&
        platform::profile::CheckValue(value).empty()) {
        document.Set(section, key, value);
        const Document edited = Document::Parse(document.Serialize());
        const std::string* read = edited.Find(section, key);
        // Values are read back trimmed, and without one pair of wrapping quotes.
        if (!read) std::abort();
    }
    return 0;
}
