// A hierarchical key/value store with the shape of the Windows registry,
// kept in a file in the user's settings folder and rewritten atomically after
// every change.
//
// Keys are opened below a root (HKEY_CURRENT_USER, HKEY_CLASSES_ROOT) or below
// an open key; sub-key paths use '\\' (or '/') as separator and compare
// without regard to case. An HKEY points at an object that knows its store,
// so a handle opened by one module works in another that links this code.
// Thread safe: each store serialises its operations.
#pragma once

#include "platform/Types.h"
#include "sonvara/Types.h"

#include <cstdint>
#include <string>

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))

namespace platform {

enum : LONG {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_OUTOFMEMORY = 14,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_MORE_DATA = 234,
    ERROR_NO_MORE_ITEMS = 259,
};

// Value types.
enum : DWORD {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

LONG RegCreateKey(HKEY parent, const char* subKey, HKEY* result);
LONG RegOpenKey(HKEY parent, const char* subKey, HKEY* result);
LONG RegCloseKey(HKEY key);
// data may be null to ask for the size; *size is in/out (ERROR_MORE_DATA
// when the buffer is too small, *size then holds the size needed).
LONG RegQueryValue(HKEY key, const char* name, DWORD* type, void* data, DWORD* size);
LONG RegSetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size);
LONG RegDeleteValue(HKEY key, const char* name);
// Deletes the sub-key and everything below it.
LONG RegDeleteKey(HKEY parent, const char* subKey);
LONG RegEnumKey(HKEY key, DWORD index, char* name, DWORD size);

// The file that backs the roots of this process. Defaults to "registry.ini"
// in the writable settings folder; tests point it elsewhere. Takes effect for
// keys opened afterwards.
void RegSetStoreFile(const std::string& path);
std::string RegGetStoreFile();

} // namespace platform
