#include "platform/Profile.h"

#include "platform/AtomicFile.h"
#include "platform/DamagedSettings.h"
#include "platform/FolderLock.h"
#include "platform/ProfileParser.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <span>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace platform {

namespace {

constexpr BOOL kTrue = 1;
constexpr BOOL kFalse = 0;

// One lock for every profile call of the process: a call reads the whole
// file, and a write must not interleave with another write's read-modify-
// rename or one of them would be lost.
std::mutex g_profileMutex;

thread_local std::string t_lastError;

// The settings files (GuardSettingsFile), under g_profileMutex.
std::set<std::string> g_guarded;

// Why a guarded file's text is damaged; "" for other files and sound text.
std::string DamageOf(const char* file, std::string_view text) {
    if (!g_guarded.count(file)) return {};
    return SettingsDamage(text, true);
}

// The file as a document; a missing or unreadable file reads as empty, and
// so does a damaged settings file.
profile::Document Load(const char* file) {
    std::string text;
    if (file && *file && ReadWholeFile(file, text) && !DamageOf(file, text).empty()) text.clear();
    return profile::Document::Parse(text);
}

// Like Load, but fails (with t_lastError set) when the file exists and cannot
// be read: rewriting it from an empty document would destroy its contents.
bool LoadForWrite(const char* file, profile::Document& doc) {
    std::string original;
    if (!ReadWholeFile(file, original)) {
        struct stat st {};
        if (::stat(file, &st) == 0 || errno != ENOENT) {
            t_lastError = std::string("cannot read ") + file + ": " + std::strerror(errno);
            return false;
        }
        original.clear();
    } else if (const std::string why = DamageOf(file, original); !why.empty()) {
        // The write starts from defaults; the damaged file is kept aside
        // first, or the write does not happen at all.
        std::string error;
        if (KeepDamagedFileAside(file, why, &error).empty()) {
            t_lastError = error;
            return false;
        }
        original.clear();
    }
    doc = profile::Document::Parse(original);
    return true;
}

BOOL Store(const char* file, const profile::Document& doc) {
    // Rewriting an unchanged file would only cost a flush to disk (and turn
    // a hand-edited file's LF line ends into CR LF for nothing).
    if (!doc.Changed()) return kTrue;
    std::string error;
    if (!WriteFileAtomically(file, doc.Serialize(), &error)) {
        t_lastError = error;
        return kFalse;
    }
    return kTrue;
}

DWORD CopyString(std::string_view text, char* out, DWORD size) {
    if (!out || size == 0) return 0;
    std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<DWORD>(n);
}

// Writes the strings NUL-separated with an extra NUL at the end. When they do
// not fit, the last string that does not is cut so that two NULs end the
// buffer, and size - 2 is returned.
DWORD CopyList(const std::vector<std::string>& items, char* out, DWORD size) {
    if (!out || size == 0) return 0;
    if (size == 1) {
        out[0] = '\0';
        return 0;
    }
    std::size_t pos = 0;
    for (const std::string& item : items) {
        if (pos + item.size() + 2 > size) {
            std::size_t room = size - 2 - pos;
            std::memcpy(out + pos, item.data(), room);
            out[size - 2] = '\0';
            out[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(out + pos, item.data(), item.size());
        pos += item.size();
        out[pos++] = '\0';
    }
    out[pos] = '\0';
    if (pos == 0) out[1] = '\0';
    return static_cast<DWORD>(pos);
}

// Trailing blanks of a default are dropped, as the Windows function does.
std::string_view DefaultText(const char* def) {
    std::string_view text = def ? def : "";
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

UINT ParseProfileInt(std::string_view text) {
    text = profile::Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    UINT value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10u + static_cast<UINT>(c - '0');
    }
    return negative ? 0u - value : value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A key and value a write names; either may be null (see the writes).
struct Entry {
    const char* key;
    const char* value;
};

// Checks the arguments of a write, then applies edit to the file's document
// and stores the result. All under the process-wide lock.
template <typename Edit>
BOOL Modify(const char* section, std::span<const Entry> entries, const char* file, Edit edit) {
    t_lastError.clear();
    std::string problem;
    if (!section)
        problem = "no section name";
    else
        problem = profile::CheckSectionName(section);
    for (const Entry& e : entries) {
        if (problem.empty() && e.key) problem = profile::CheckKeyName(e.key);
        if (problem.empty() && e.value) problem = profile::CheckValue(e.value);
    }
    if (!problem.empty()) {
        t_lastError = problem;
        return kFalse;
    }
    if (!file || !*file) {
        t_lastError = "no file name";
        return kFalse;
    }
    std::lock_guard lock(g_profileMutex);
    // A settings file that is not UTF-8 counts as damaged when read, so
    // nothing may make it so.
    if (g_guarded.count(file)) {
        bool utf8 = IsValidUtf8(section);
        for (const Entry& e : entries)
            utf8 = utf8 && IsValidUtf8(e.key ? e.key : "") && IsValidUtf8(e.value ? e.value : "");
        if (!utf8) {
            t_lastError = "settings are UTF-8 text";
            return kFalse;
        }
    }
    // Also keeps other processes and other modules' copies of this code from
    // rewriting the file between our read and our rename.
    FolderLock folderLock(file);
    profile::Document doc;
    if (!LoadForWrite(file, doc)) return kFalse;
    edit(doc);
    return Store(file, doc);
}

} // namespace

DWORD GetPrivateProfileString(const char* section, const char* key, const char* def, char* out,
                              DWORD size, const char* file) {
    std::lock_guard lock(g_profileMutex);
    profile::Document doc = Load(file);
    if (!section) return CopyList(doc.SectionNames(), out, size);
    if (!key) return CopyList(doc.KeyNames(section), out, size);
    const std::string* value = doc.Find(section, key);
    return CopyString(value ? std::string_view(*value) : DefaultText(def), out, size);
}

UINT GetPrivateProfileInt(const char* section, const char* key, int def, const char* file) {
    if (!section || !key) return static_cast<UINT>(def);
    std::lock_guard lock(g_profileMutex);
    profile::Document doc = Load(file);
    const std::string* value = doc.Find(section, key);
    if (!value || value->empty()) return static_cast<UINT>(def);
    return ParseProfileInt(*value);
}

DWORD GetPrivateProfileSectionNames(char* out, DWORD size, const char* file) {
    return GetPrivateProfileString(nullptr, nullptr, nullptr, out, size, file);
}

DWORD GetPrivateProfileSection(const char* section, char* out, DWORD size, const char* file) {
    if (!section) return CopyList({}, out, size);
    std::lock_guard lock(g_profileMutex);
    std::vector<std::string> lines;
    for (auto& [key, value] : Load(file).Entries(section))
        lines.push_back(key + "=" + value);
    return CopyList(lines, out, size);
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* file) {
    const Entry entry{key, value};
    return Modify(section, std::span(&entry, 1), file, [&](profile::Document& doc) {
        if (!key)
            doc.DeleteSection(section);
        else if (!value)
            doc.DeleteKey(section, key);
        else
            doc.Set(section, key, value);
    });
}

BOOL WritePrivateProfileValues(const char* section,
                               const std::vector<std::pair<std::string, std::string>>& entries,
                               const char* file) {
    std::vector<Entry> list;
    for (const auto& [key, value] : entries)
        list.push_back({key.c_str(), value.c_str()});
    return Modify(section, list, file, [&](profile::Document& doc) {
        for (const auto& [key, value] : entries)
            doc.Set(section, key, value);
    });
}

std::string ProfileStructText(const void* data, UINT size) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string text;
    text.reserve(2 * static_cast<std::size_t>(size) + 2);
    unsigned sum = 0;
    for (UINT i = 0; i < size; ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 15];
        sum += bytes[i];
    }
    text += kHex[(sum >> 4) & 15];
    text += kHex[sum & 15];
    return text;
}

BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, UINT size,
                               const char* file) {
    if (!data || !key) return WritePrivateProfileString(section, key, nullptr, file);
    return WritePrivateProfileString(section, key, ProfileStructText(data, size).c_str(), file);
}

BOOL GetPrivateProfileStruct(const char* section, const char* key, void* data, UINT size,
                             const char* file) {
    if (!section || !key || (!data && size > 0)) return kFalse;
    std::string text;
    {
        std::lock_guard lock(g_profileMutex);
        profile::Document doc = Load(file);
        const std::string* value = doc.Find(section, key);
        if (!value) return kFalse;
        text = *value;
    }
    if (text.size() != 2 * static_cast<std::size_t>(size) + 2) return kFalse;
    std::vector<unsigned char> bytes(size + 1u);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return kFalse;
        bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
    }
    unsigned sum = 0;
    for (UINT i = 0; i < size; ++i)
        sum += bytes[i];
    if ((sum & 0xFF) != bytes[size]) return kFalse;
    if (size > 0) std::memcpy(data, bytes.data(), size);
    return kTrue;
}

void GuardSettingsFile(const std::string& file) {
    if (file.empty()) return;
    std::lock_guard lock(g_profileMutex);
    g_guarded.insert(file);
    FolderLock folderLock(file);
    std::string text;
    if (!ReadWholeFile(file, text)) return; // absent (or unreadable: left alone)
    if (const std::string why = DamageOf(file.c_str(), text); !why.empty())
        KeepDamagedFileAside(file, why);
}

std::string LastProfileError() {
    return t_lastError;
}

} // namespace platform
