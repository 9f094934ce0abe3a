// The object behind every HKEY that RegCreateKey and RegOpenKey hand out.
//
// A module that links its own copy of the platform library (the effect
// plug-in) may be given a key opened by the host, and the other way round.
// The Reg* functions of any copy therefore never look inside a key: they call
// its virtual functions, which run the code of the copy that made the key,
// against that copy's store. For this to hold, the class below must stay
// identical in every copy that can exchange keys: change kMagic whenever it
// changes, so that a key from an incompatible copy is refused as an invalid
// handle instead of being misread. Only plain C types cross it.
#pragma once

#include "platform/Types.h"
#include "sonvara/Types.h"

#include <cstdint>

namespace platform::registry {

class KeyObject {
public:
    static constexpr std::uint32_t kMagic = 0x53524B01; // "SRK" version 1

    virtual LONG CreateKey(const char* subKey, HKEY* result) = 0;
    virtual LONG OpenKey(const char* subKey, HKEY* result) = 0;
    // Releases the key object; it must not be used afterwards.
    virtual LONG Close() = 0;
    virtual LONG QueryValue(const char* name, DWORD* type, void* data, DWORD* size) = 0;
    virtual LONG SetValue(const char* name, DWORD type, const void* data, DWORD size) = 0;
    virtual LONG DeleteValue(const char* name) = 0;
    virtual LONG DeleteKey(const char* subKey) = 0;
    virtual LONG EnumKey(DWORD index, char* name, DWORD size) = 0;

    std::uint32_t magic = kMagic; // cleared by Close

protected:
    // Keys are released through Close, by the copy that made them.
    ~KeyObject() = default;
};

} // namespace platform::registry
