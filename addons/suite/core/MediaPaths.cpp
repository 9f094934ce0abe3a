#include "core/MediaPaths.h"

#include "sonvara/Codexa.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sndfile.h>
#include <system_error>

namespace suite {

namespace fs = std::filesystem;

std::vector<std::string> ParseOpenMessage(std::string_view message) {
    std::vector<std::string> paths;
    std::size_t at = 0;
    while (at < message.size() && message[at] == ' ')
        ++at;
    if (message.substr(at, 4) != "open") return paths;
    at += 4;
    if (at < message.size() && message[at] != ' ') return paths; // "opened" is not "open"
    while (at < message.size()) {
        while (at < message.size() && message[at] == ' ')
            ++at;
        if (at >= message.size()) break;
        std::size_t end;
        if (message[at] == '"') {
            end = message.find('"', at + 1);
            if (end == std::string_view::npos) end = message.size(); // unclosed: to the end
            std::string_view path = message.substr(at + 1, end - at - 1);
            if (!path.empty()) paths.emplace_back(path);
            at = end + 1;
        } else {
            end = message.find(' ', at);
            if (end == std::string_view::npos) end = message.size();
            paths.emplace_back(message.substr(at, end - at));
            at = end;
        }
    }
    return paths;
}

const std::vector<std::string>& SupportedExtensions() {
    static const std::vector<std::string> list = [] {
        // The host's coders say what the program reads; without a host (or
        // one without coders) libsndfile's own list stands in.
        std::vector<std::string> out;
        for (std::string e : SvSupportedFileExtensions()) {
            if (!e.empty() && e[0] == '.') e.erase(0, 1);
            if (!e.empty()) out.push_back(std::move(e));
        }
        int count = 0;
        if (out.empty()) sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
        for (int i = 0; i < count; ++i) {
            SF_FORMAT_INFO info{};
            info.format = i;
            if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0 ||
                !info.extension)
                continue;
            out.emplace_back(info.extension);
        }
        // Containers libsndfile reads under other names than its major list.
        for (const char* extra : {"aif", "aifc", "ogg", "oga", "opus", "mp3", "mp2", "wave", "snd"})
            out.emplace_back(extra);
        for (std::string& e : out)
            std::transform(e.begin(), e.end(), e.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }();
    return list;
}

bool HasSupportedExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto& list = SupportedExtensions();
    return std::binary_search(list.begin(), list.end(), ext);
}

std::vector<std::string> ExpandToFiles(const std::vector<std::string>& paths, std::size_t limit) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (files.size() >= limit) break;
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (ec) continue;
        if (fs::is_regular_file(status)) {
            files.push_back(path);
            continue;
        }
        if (!fs::is_directory(status)) continue;
        std::vector<std::string> found;
        // Symbolic links to folders are not followed: a loop would never end.
        for (fs::recursive_directory_iterator
                 it(path, fs::directory_options::skip_permission_denied, ec),
             end;
             !ec && it != end && found.size() + files.size() < limit; it.increment(ec)) {
            std::error_code fileError;
            if (it->is_regular_file(fileError) && HasSupportedExtension(it->path().string()))
                found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    if (files.size() > limit) files.resize(limit);
    return files;
}

} // namespace suite
