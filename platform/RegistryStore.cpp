#include "platform/RegistryStore.h"

#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/DamagedSettings.h"
#include "platform/FolderLock.h"
#include "platform/Registry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace platform::registry {

KeyPath JoinKeyPath(const KeyPath& path, const char* subKey) {
    KeyPath out = path;
    std::string current;
    for (const char* p = subKey ? subKey : "";; ++p) {
        if (*p == '\0' || *p == '\\' || *p == '/') {
            if (!current.empty()) out.push_back(std::move(current));
            current.clear();
            if (*p == '\0') break;
        } else {
            current += *p;
        }
    }
    return out;
}

Store::Store(std::string file) : m_file(std::move(file)), m_top(EmptyTree()) {}

Store::Stamp Store::StampOf(const std::string& file) {
    Stamp stamp;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.modified = static_cast<unsigned long long>(st.st_mtim.tv_sec) * 1000000000ull +
                     static_cast<unsigned long long>(st.st_mtim.tv_nsec);
    return stamp;
}

void Store::Refresh(bool force) {
    Stamp stamp = StampOf(m_file);
    if (!force && m_loaded && stamp == m_stamp) return;
    m_loaded = true;
    m_stamp = stamp;
    m_corrupt = false;
    m_unreadable = false;
    m_error.clear();
    m_top = EmptyTree();
    if (!stamp.exists) return;
    std::string text;
    if (!ReadWholeFile(m_file, text)) {
        m_unreadable = true;
        m_error = "cannot read " + m_file + ": " + std::strerror(errno);
        return;
    }
    // Bytes the store never writes (a file cut short to nothing, NUL
    // blocks after a crash, other encodings) count as damage, as does text
    // that does not parse.
    std::string why = SettingsDamage(text, false);
    if (why.empty()) Parse(text, m_top, &why);
    if (!why.empty()) {
        m_corrupt = true;
        m_damage = why;
        m_error = m_file + " is not a valid store file (" + why + ")";
    }
}

LONG Store::Save() {
    // Every failure below also drops the tree, so that the next operation
    // reads the file again instead of seeing a change that was never saved.
    if (m_unreadable) {
        m_loaded = false;
        return ERROR_REGISTRY_IO_FAILED;
    }
    std::string note;
    if (m_corrupt) {
        // Keep the damaged file for whoever wants to rescue it by hand.
        const std::string backup = KeepDamagedFileAside(m_file, m_damage, &m_error);
        if (backup.empty()) {
            m_loaded = false;
            return ERROR_REGISTRY_IO_FAILED;
        }
        m_corrupt = false;
        note = m_file + " was damaged and has been kept as " + backup;
    }
    std::string error;
    if (!WriteFileAtomically(m_file, Serialize(*m_top), &error)) {
        m_error = error;
        m_loaded = false; // read the file again before the next operation
        return ERROR_REGISTRY_IO_FAILED;
    }
    m_stamp = StampOf(m_file);
    m_error = note;
    return ERROR_SUCCESS;
}

Node* Store::Find(const KeyPath& key) const {
    Node* node = m_top.get();
    for (const std::string& name : key) {
        node = node->Child(name);
        if (!node) return nullptr;
    }
    return node;
}

LONG Store::CreateKey(const KeyPath& parent, const KeyPath& key) {
    std::lock_guard lock(m_mutex);
    FolderLock folder(m_file);
    Refresh(true);
    // A handle to a deleted key cannot bring it back by creating below it.
    if (!Find(parent)) return ERROR_KEY_DELETED;
    if (Find(key)) return ERROR_SUCCESS;
    Node* node = m_top.get();
    for (const std::string& name : key)
        node = &node->MakeChild(name);
    return Save();
}

LONG Store::OpenKey(const KeyPath& key) {
    std::lock_guard lock(m_mutex);
    Refresh();
    return Find(key) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG Store::DeleteKey(const KeyPath& key) {
    std::lock_guard lock(m_mutex);
    FolderLock folder(m_file);
    Refresh(true);
    if (key.size() < 2) return ERROR_ACCESS_DENIED; // roots stay
    KeyPath parentPath(key.begin(), key.end() - 1);
    Node* parent = Find(parentPath);
    if (!parent || !parent->Child(key.back())) return ERROR_FILE_NOT_FOUND;
    parent->children.erase(LowerAscii(key.back()));
    return Save();
}

LONG Store::EnumKey(const KeyPath& key, DWORD index, char* name, DWORD size) {
    std::lock_guard lock(m_mutex);
    Refresh();
    Node* node = Find(key);
    if (!node) return ERROR_KEY_DELETED;
    if (index >= node->children.size()) return ERROR_NO_MORE_ITEMS;
    auto it = node->children.begin();
    std::advance(it, index);
    const std::string& childName = it->second->name;
    if (!name || childName.size() + 1 > size) return ERROR_MORE_DATA;
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    return ERROR_SUCCESS;
}

LONG Store::QueryValue(const KeyPath& key, const char* name, DWORD* type, void* data, DWORD* size) {
    if (data && !size) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(m_mutex);
    Refresh();
    Node* node = Find(key);
    if (!node) return ERROR_KEY_DELETED;
    auto it = node->values.find(LowerAscii(name ? name : ""));
    if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
    const Value& value = it->second;
    // A string always comes back NUL-terminated, however it was set.
    std::size_t needed = value.data.size() + (value.type == REG_SZ ? 1 : 0);
    if (type) *type = value.type;
    if (!size) return ERROR_SUCCESS;
    DWORD room = *size;
    *size = static_cast<DWORD>(needed);
    if (!data) return ERROR_SUCCESS;
    if (room < needed) return ERROR_MORE_DATA;
    std::memcpy(data, value.data.data(), value.data.size());
    if (value.type == REG_SZ) static_cast<char*>(data)[value.data.size()] = '\0';
    return ERROR_SUCCESS;
}

LONG Store::SetValue(const KeyPath& key, const char* name, DWORD type, const void* data,
                     DWORD size) {
    if (!data && size > 0) return ERROR_INVALID_PARAMETER;
    std::string bytes = data ? std::string(static_cast<const char*>(data), size) : std::string();
    if (type == REG_SZ)
        while (!bytes.empty() && bytes.back() == '\0')
            bytes.pop_back();
    std::lock_guard lock(m_mutex);
    FolderLock folder(m_file);
    Refresh(true);
    Node* node = Find(key);
    if (!node) return ERROR_KEY_DELETED;
    std::string valueName = name ? name : "";
    std::string lower = LowerAscii(valueName);
    auto it = node->values.find(lower);
    if (it != node->values.end() && it->second.type == type && it->second.data == bytes)
        return ERROR_SUCCESS; // unchanged: spare the disk a rewrite
    Value& value = node->values[lower];
    if (it == node->values.end()) value.name = valueName;
    value.type = type;
    value.data = std::move(bytes);
    return Save();
}

LONG Store::DeleteValue(const KeyPath& key, const char* name) {
    std::lock_guard lock(m_mutex);
    FolderLock folder(m_file);
    Refresh(true);
    Node* node = Find(key);
    if (!node) return ERROR_KEY_DELETED;
    if (node->values.erase(LowerAscii(name ? name : "")) == 0) return ERROR_FILE_NOT_FOUND;
    return Save();
}

std::string Store::LastError() {
    std::lock_guard lock(m_mutex);
    return m_error;
}

} // namespace platform::registry
