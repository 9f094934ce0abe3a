#include "ui/library/LibraryFiles.h"

#include "platform/Paths.h"
#include "xml/XmlNode.h"

#include <filesystem>
#include <fstream>

namespace ui {

namespace {

// The line of id, or null when the element has no usable id.
const std::string* FileOf(const CXmlNode& element, const std::vector<std::string>& files) {
    if (!element.FindAttribute("id")) return nullptr;
    int id = -1;
    element.GetAttribute("id", id);
    if (id < 0 || static_cast<std::size_t>(id) >= files.size()) return nullptr;
    return &files[static_cast<std::size_t>(id)];
}

void Insert(const CXmlNode& element, const std::vector<std::string>& files,
            std::vector<SLibraryItem>& into, int depth) {
    const std::string name = element.GetName();
    if (name.empty()) return; // text, comment, CDATA
    if (name == "t") {
        if (const std::string* file = FileOf(element, files)) into.push_back({*file, &element, {}});
        return;
    }
    SLibraryItem item;
    element.GetAttribute("Name", item.text);
    item.element = name == "playlist" ? &element : nullptr;
    // A tree built in memory is not bound by the loader's depth limit; past
    // it the folder is shown without its contents.
    if (depth < CXmlNode::kMaxDepth) {
        for (const CXmlNode* child = element.GetFirstChild(); child;
             child = child->GetNextSibling())
            Insert(*child, files, item.children, depth + 1);
    }
    into.push_back(std::move(item));
}

} // namespace

std::string LibraryFolder() {
    const std::string settings = platform::SettingsDirectory();
    std::error_code ec;
    if (std::filesystem::is_regular_file(platform::JoinPath(settings, "fileDB.dat"), ec))
        return settings;
    return platform::ProgramDirectory();
}

bool ReadFileDatabase(const std::string& path, std::vector<std::string>& lines) {
    lines.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    bool tooLong = false;
    char c = 0;
    const auto finish = [&] {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(tooLong ? std::string() : std::move(line));
        line.clear();
        tooLong = false;
    };
    // Byte by byte through the stream's buffer, so a line of any length
    // costs no more than the limit.
    while (in.get(c)) {
        if (c == '\n') {
            finish();
        } else if (!tooLong) {
            line.push_back(c);
            if (line.size() > kMaxLibraryLineBytes) {
                tooLong = true;
                line.clear();
            }
        }
    }
    if (!line.empty() || tooLong) finish();
    return true;
}

std::vector<SLibraryItem> BuildLibraryTree(const CXmlNode& root,
                                           const std::vector<std::string>& files) {
    std::vector<SLibraryItem> top;
    for (const CXmlNode* child = root.GetFirstChild(); child; child = child->GetNextSibling())
        Insert(*child, files, top, 1);
    return top;
}

std::vector<std::string> FilesOfElement(const CXmlNode& element,
                                        const std::vector<std::string>& files) {
    std::vector<std::string> out;
    for (const CXmlNode* child = element.GetFirstChild(); child; child = child->GetNextSibling()) {
        if (child->GetName().empty()) continue;
        const std::string* file = FileOf(*child, files);
        if (file && !file->empty()) out.push_back(*file);
    }
    return out;
}

} // namespace ui
