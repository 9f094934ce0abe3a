// Reading and writing a list of named, typed values in one of three stores:
// an XML node (one child per key, its attribute "Value"), a registry key (a
// sub-key named by the section, one value per key) or a section of an INI
// file. The store is the first of node, key handle and INI path that is
// given; with none, nothing is read (values keep what they hold) and writing
// succeeds without doing anything.
//
// Types, one per key, separated by single spaces, case ignored:
//   UINT, DWORD, INT  std::int32_t   INI decimal text; registry 4 raw bytes
//   FLOAT             float          INI "%g"; registry 4 raw bytes
//   DOUBLE            double         INI "%g" of the value; registry 8 raw bytes
//   STRING            std::string    INI the text; registry a string value
//   LSS               TypedBytes     INI SIZE_LSS_<key> and DATA_LSS_<key>
//                                    (checksummed hex); XML upper-case hex;
//                                    registry binary
// Reading an LSS value replaces its data pointer with a new std::malloc'd
// buffer of the stored size (the caller frees it) and leaves the value as it
// was when absent.
#pragma once

#include "sonvara/Types.h"

#include <cstdint>

class CXmlNode;

namespace stavo {

struct TypedBytes {
    std::uint32_t size;
    void* data;
};

struct ValueStore {
    const char* iniFile = nullptr;
    const char* section = nullptr;
    HKEY key = nullptr;
    CXmlNode* node = nullptr;
};

// keys[i] and values[i] belong to the i-th type name; unknown type names are
// skipped. Reads never fail: absent or unreadable values keep their contents.
void ReadTypedValues(const ValueStore& store, const char* const* keys, const char* types,
                     void* const* values);
// 1 when every value was stored; 0 when any could not be (the registry
// sub-key cannot be created, a value or the INI file cannot be written, an
// INI file without a section name), and then the store holds what it held
// before.
int WriteTypedValues(const ValueStore& store, const char* const* keys, const char* types,
                     const void* const* values);

} // namespace stavo
