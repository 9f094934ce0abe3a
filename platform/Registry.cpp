#include "platform/Registry.h"

#include "platform/Paths.h"
#include "platform/RegistryKey.h"
#include "platform/RegistryStore.h"

#include <memory>
#include <mutex>
#include <new>

namespace platform {

namespace {

using registry::KeyObject;
using registry::KeyPath;
using registry::Store;

// An open key: the store it belongs to and its full path. Keys hold paths,
// not tree nodes, so they stay valid when the store reloads its file.
class Key final : public KeyObject {
public:
    Key(std::shared_ptr<Store> store, KeyPath path)
        : m_store(std::move(store)), m_path(std::move(path)) {}

    LONG CreateKey(const char* subKey, HKEY* result) override {
        if (!result) return ERROR_INVALID_PARAMETER;
        KeyPath path = registry::JoinKeyPath(m_path, subKey);
        LONG status = m_store->CreateKey(m_path, path);
        if (status == ERROR_SUCCESS) status = Hand(std::move(path), result);
        return status;
    }
    LONG OpenKey(const char* subKey, HKEY* result) override {
        if (!result) return ERROR_INVALID_PARAMETER;
        KeyPath path = registry::JoinKeyPath(m_path, subKey);
        LONG status = m_store->OpenKey(path);
        if (status == ERROR_SUCCESS) status = Hand(std::move(path), result);
        return status;
    }
    LONG Close() override {
        magic = 0;
        delete this;
        return ERROR_SUCCESS;
    }
    LONG QueryValue(const char* name, DWORD* type, void* data, DWORD* size) override {
        return m_store->QueryValue(m_path, name, type, data, size);
    }
    LONG SetValue(const char* name, DWORD type, const void* data, DWORD size) override {
        return m_store->SetValue(m_path, name, type, data, size);
    }
    LONG DeleteValue(const char* name) override { return m_store->DeleteValue(m_path, name); }
    LONG DeleteKey(const char* subKey) override {
        KeyPath path = registry::JoinKeyPath(m_path, subKey);
        if (path.size() == m_path.size()) return ERROR_INVALID_PARAMETER;
        return m_store->DeleteKey(path);
    }
    LONG EnumKey(DWORD index, char* name, DWORD size) override {
        return m_store->EnumKey(m_path, index, name, size);
    }

private:
    LONG Hand(KeyPath path, HKEY* result) {
        auto* key = new (std::nothrow) Key(m_store, std::move(path));
        if (!key) return ERROR_OUTOFMEMORY;
        *result = reinterpret_cast<HKEY>(static_cast<KeyObject*>(key));
        return ERROR_SUCCESS;
    }

    std::shared_ptr<Store> m_store;
    KeyPath m_path;
};

std::mutex g_storeMutex;
std::string g_storeFile;               // set by RegSetStoreFile, or empty
std::shared_ptr<Store> g_processStore; // created on first use

std::string StoreFileLocked() {
    return g_storeFile.empty() ? JoinPath(SettingsDirectory(), "registry.ini") : g_storeFile;
}

std::shared_ptr<Store> ProcessStore() {
    std::lock_guard lock(g_storeMutex);
    if (!g_processStore) g_processStore = std::make_shared<Store>(StoreFileLocked());
    return g_processStore;
}

// Handle values the Windows registry reserves for its roots; only two of
// them exist here, the others must be refused before they are dereferenced.
bool IsReservedHandle(HKEY key) {
    auto value = reinterpret_cast<std::uintptr_t>(key);
    return value < 0x10000 || (value >= 0x80000000u && value <= 0x800000FFu);
}

// Calls op with the key object behind a handle: a temporary key for the root
// constants, else the object the handle points at (made by whichever copy of
// this code opened it).
template <typename Op> LONG WithKey(HKEY handle, Op op) {
    if (handle == HKEY_CURRENT_USER || handle == HKEY_CLASSES_ROOT) {
        Key root(ProcessStore(),
                 {handle == HKEY_CURRENT_USER ? registry::kRootNames[0] : registry::kRootNames[1]});
        return op(static_cast<KeyObject&>(root));
    }
    if (IsReservedHandle(handle)) return ERROR_INVALID_HANDLE;
    auto* key = reinterpret_cast<KeyObject*>(handle);
    if (key->magic != KeyObject::kMagic) return ERROR_INVALID_HANDLE;
    return op(*key);
}

} // namespace

LONG RegCreateKey(HKEY parent, const char* subKey, HKEY* result) {
    return WithKey(parent, [&](KeyObject& key) { return key.CreateKey(subKey, result); });
}

LONG RegOpenKey(HKEY parent, const char* subKey, HKEY* result) {
    return WithKey(parent, [&](KeyObject& key) { return key.OpenKey(subKey, result); });
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
    return WithKey(key, [](KeyObject& k) { return k.Close(); });
}

LONG RegQueryValue(HKEY key, const char* name, DWORD* type, void* data, DWORD* size) {
    return WithKey(key, [&](KeyObject& k) { return k.QueryValue(name, type, data, size); });
}

LONG RegSetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
    return WithKey(key, [&](KeyObject& k) { return k.SetValue(name, type, data, size); });
}

LONG RegDeleteValue(HKEY key, const char* name) {
    return WithKey(key, [&](KeyObject& k) { return k.DeleteValue(name); });
}

LONG RegDeleteKey(HKEY parent, const char* subKey) {
    return WithKey(parent, [&](KeyObject& k) { return k.DeleteKey(subKey); });
}

LONG RegEnumKey(HKEY key, DWORD index, char* name, DWORD size) {
    return WithKey(key, [&](KeyObject& k) { return k.EnumKey(index, name, size); });
}

void RegSetStoreFile(const std::string& path) {
    std::lock_guard lock(g_storeMutex);
    g_storeFile = path;
    g_processStore.reset();
}

std::string RegGetStoreError() {
    return ProcessStore()->LastError();
}

std::string RegGetStoreFile() {
    std::lock_guard lock(g_storeMutex);
    return g_processStore ? g_processStore->File() : StoreFileLocked();
}

} // namespace platform
