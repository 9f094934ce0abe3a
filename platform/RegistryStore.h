// One registry store file and its tree in memory.
//
// Every operation first checks whether the file changed on disk since it was
// last read (another process, or another copy of this code in this process,
// may have written it) and reloads it then. A change holds the folder's
// FolderLock, reads the file afresh, applies itself and is written at once
// with WriteFileAtomically, so concurrent writers do not lose each other's
// changes. When a write fails, the tree is read back from
// the file at the next operation, so memory never runs ahead of the disk.
//
// A store file that cannot be parsed, or that the store cannot have written
// (empty, NUL bytes, not UTF-8; platform/DamagedSettings.h), reads as empty;
// before the first change overwrites it, it is renamed to "<file>.bad" (or
// .bad2, .bad3, ...) with a line in the debug log, so nothing is lost. A file that exists but
// cannot be read is never overwritten: changes fail with ERROR_REGISTRY_IO_FAILED.
//
// Thread safe: operations are serialised by the store's own lock.
#pragma once

#include "platform/RegistryFormat.h"
#include "platform/Types.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::registry {

// A key's full path: a root name, then the sub-key names.
using KeyPath = std::vector<std::string>;

// Appends the components of a sub-key text ('\' or '/' separated; empty
// components are skipped) to path.
KeyPath JoinKeyPath(const KeyPath& path, const char* subKey);

class Store {
public:
    explicit Store(std::string file);
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const std::string& File() const { return m_file; }

    // The results are the Reg* error codes of platform/Registry.h.
    // Creates key and the keys between parent and it; parent must exist.
    LONG CreateKey(const KeyPath& parent, const KeyPath& key);
    LONG OpenKey(const KeyPath& key);
    LONG DeleteKey(const KeyPath& key);
    LONG EnumKey(const KeyPath& key, DWORD index, char* name, DWORD size);
    LONG QueryValue(const KeyPath& key, const char* name, DWORD* type, void* data, DWORD* size);
    LONG SetValue(const KeyPath& key, const char* name, DWORD type, const void* data, DWORD size);
    LONG DeleteValue(const KeyPath& key, const char* name);

    // Why the file last failed to load or save, or where a damaged file was
    // kept; "" when there is nothing to tell.
    std::string LastError();

private:
    struct Stamp {
        bool exists = false;
        unsigned long long device = 0, inode = 0, size = 0, modified = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const std::string& file);

    // Reads the file again when it changed since it was last read (always
    // when force is set: changes are made on what is on disk right now).
    void Refresh(bool force = false);
    LONG Save();
    Node* Find(const KeyPath& key) const;

    std::mutex m_mutex;
    const std::string m_file;
    std::unique_ptr<Node> m_top;
    bool m_loaded = false;
    Stamp m_stamp;
    bool m_corrupt = false;    // the file on disk could not be parsed
    std::string m_damage;      // why, for the debug log
    bool m_unreadable = false; // the file exists but could not be read
    std::string m_error;
};

} // namespace platform::registry
