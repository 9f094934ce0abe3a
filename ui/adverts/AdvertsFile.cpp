#include "ui/adverts/AdvertsFile.h"

#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/ProfileParser.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace ui::adverts {

namespace {

namespace fs = std::filesystem;

std::string Cut(const std::string& value) {
    if (value.size() <= kMaxAdvertValue) return value;
    std::size_t end = kMaxAdvertValue;
    // Never leave half a UTF-8 character at the end.
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    return value.substr(0, end);
}

const std::string* FirstValue(const platform::profile::Document::Section& section,
                              std::string_view key) {
    for (const auto& [name, value] : section.entries)
        if (platform::EqualNoCase(name, key)) return &value;
    return nullptr;
}

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// A folder only this user can enter, removed with its contents on scope exit.
class CPrivateTempFolder {
public:
    CPrivateTempFolder() {
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        if (ec) base = "/tmp";
        std::string pattern = (base / "sonvara-adverts-XXXXXX").string();
        if (::mkdtemp(pattern.data())) m_path = pattern; // mode 0700
    }
    ~CPrivateTempFolder() {
        if (m_path.empty()) return;
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    CPrivateTempFolder(const CPrivateTempFolder&) = delete;
    CPrivateTempFolder& operator=(const CPrivateTempFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates "Kel0NNNNN.ini" in folder, the counter rising past names taken;
// -1 when none can be made.
int CreateTempFile(const std::string& folder, std::string& path) {
    for (int counter = 1; counter <= 99999; ++counter) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%05i%s", "Kel0", counter, ".ini");
        path = platform::JoinPath(folder, name);
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

std::string AdvertsFilePath() {
    return platform::SettingsDirectory() + "Adverts.ini";
}

SAdvertLists ParseAdvertLists(std::string_view bytes) {
    SAdvertLists lists;
    const auto document = platform::profile::Document::Parse(bytes);
    std::size_t namesUsed = 1; // the list's closing NUL
    for (const auto& section : document.ReadableSections()) {
        namesUsed += section.name.size() + 1;
        if (namesUsed > kSectionNamesBuffer) break;
        const std::string* text = FirstValue(section, "Text");
        const std::string* link = FirstValue(section, "Link");
        lists.texts.push_back(text ? Cut(*text) : std::string());
        lists.links.push_back(link ? Cut(*link) : std::string());
    }
    return lists;
}

bool LoadAdvertLists(const std::string& path, SAdvertLists& lists) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec || size > kMaxAdvertsFileBytes) return false;
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes)) return false;
    lists = ParseAdvertLists(bytes);
    return true;
}

bool HasSections(const std::string& path) {
    std::vector<char> names(kSectionNamesBuffer, '\0');
    const platform::DWORD n = platform::GetPrivateProfileSectionNames(
        names.data(), static_cast<platform::DWORD>(names.size()), path.c_str());
    return n > 0 && names[0] != '\0';
}

EInstallResult InstallAdvertsReply(std::string_view reply, const std::string& target,
                                   std::string* error) {
    CPrivateTempFolder folder;
    if (folder.Path().empty()) {
        SetError(error, std::string("cannot make a temporary folder: ") + std::strerror(errno));
        return EInstallResult::TempFileFailed;
    }
    std::string tempPath;
    const int fd = CreateTempFile(folder.Path(), tempPath);
    if (fd < 0) {
        SetError(error, "cannot create " + tempPath + ": " + std::strerror(errno));
        return EInstallResult::TempFileFailed;
    }
    const bool written = WriteAll(fd, reply);
    if (::close(fd) != 0 || !written) {
        SetError(error, "cannot write " + tempPath + ": " + std::strerror(errno));
        return EInstallResult::TempFileFailed;
    }
    if (!HasSections(tempPath)) {
        SetError(error, "the reply has no sections");
        return EInstallResult::NoSections;
    }
    if (!platform::WriteFileAtomically(target, reply, error)) return EInstallResult::WriteFailed;
    return EInstallResult::Replaced;
}

} // namespace ui::adverts
