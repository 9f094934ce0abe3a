// A hierarchical key/value store with the shape of the Windows registry,
// kept in a file in the user's settings folder and rewritten atomically after
// every change.
//
// Keys are opened below a root (HKEY_CURRENT_USER, HKEY_CLASSES_ROOT) or below
// an open key; sub-key paths use '\\' (or '/') as separator (empty parts are
// skipped) and compare without regard to ASCII case, as do value names. A
// null or empty value name is the key's default value. An HKEY points at an
// object that knows its store, so a handle opened by one module works in
// another that links its own copy of this code; the root constants always
// mean the store of the copy that is called. Keys from RegCreateKey and
// RegOpenKey are released with RegCloseKey (closing a root does nothing).
//
// The store file is text, one "[ROOT\path]" line per key followed by its
// values (see platform/RegistryFormat.h for the exact form). A file that
// cannot be parsed reads as empty and is renamed to "<file>.bad" before the
// first change replaces it. Every change is written at once, atomically;
// a change that cannot be written fails with ERROR_REGISTRY_IO_FAILED and is
// forgotten. Changes made by other processes are seen at the next call.
//
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
    ERROR_REGISTRY_IO_FAILED = 1016, // the store file could not be read or written
    ERROR_KEY_DELETED = 1018,        // the open key has been deleted meanwhile
};

// Value types.
enum : DWORD {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

// Creates the sub-key and any missing keys above it (an existing key is just
// opened). Opens an existing sub-key (ERROR_FILE_NOT_FOUND when missing).
// A null or empty subKey gives a new handle to parent itself.
LONG RegCreateKey(HKEY parent, const char* subKey, HKEY* result);
LONG RegOpenKey(HKEY parent, const char* subKey, HKEY* result);
LONG RegCloseKey(HKEY key);
// data may be null to ask for the size; *size is in/out (ERROR_MORE_DATA
// when the buffer is too small, *size then holds the size needed). A REG_SZ
// value always comes back with a terminating NUL, counted in *size, even when
// it was set without one. ERROR_FILE_NOT_FOUND when the value is missing.
LONG RegQueryValue(HKEY key, const char* name, DWORD* type, void* data, DWORD* size);
// Stores size bytes of data (for REG_SZ, trailing NULs are not stored).
LONG RegSetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size);
LONG RegDeleteValue(HKEY key, const char* name);
// Deletes the sub-key and everything below it; subKey must name one.
LONG RegDeleteKey(HKEY parent, const char* subKey);
// The name of the index-th sub-key (in ASCII-case-insensitive order);
// ERROR_NO_MORE_ITEMS past the last, ERROR_MORE_DATA when size (counting
// the NUL) is too small.
LONG RegEnumKey(HKEY key, DWORD index, char* name, DWORD size);

// The file that backs the roots of this process. Defaults to "registry.ini"
// in the writable settings folder; tests point it elsewhere. Takes effect for
// keys opened afterwards and for the root constants; an empty path restores
// the default.
void RegSetStoreFile(const std::string& path);
std::string RegGetStoreFile();
// Why the store file of the roots last failed to load or save, for telling
// the user (for example that it was damaged and has been kept as .bad); ""
// when all is well.
std::string RegGetStoreError();

} // namespace platform
