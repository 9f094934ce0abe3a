// Messages between modules (and the host) by display name.
//
// Slot order is fixed. Names compare without regard to letter case. Two
// names are reserved (a module that reports one of them as its own name is
// still addressed like any other module):
//   "Main frame"  the host. Valid as sender. As recipient the host's own
//                 handler gets the text; it accepts (MESSAGE_OK) only texts
//                 it understands and answers MESSAGE_RECIPIER_ERROR to the
//                 rest (at present it understands none).
//   "All modules" valid as recipient: a broadcast to every loaded module
//                 except the sender, in table order. MESSAGE_OK when at
//                 least one module accepted it, else MESSAGE_RECIPIER_ERROR
//                 (also when no other module is loaded).
#pragma once

#include <cstdint>

struct _MODULE_INFO_;

enum : std::int32_t {
    MESSAGE_OK = 0,                 // delivered and accepted
    MESSAGE_RECIPIER_NOT_FOUND = 1, // no module has the recipient's name
    MESSAGE_SENDER_NOT_FOUND = 2,   // no module has the sender's name
    MESSAGE_RECIPIER_ERROR = 3,     // the recipient lacks KelPassMessage or refused
    MESSAGE_INTERNAL_ERROR = 4,     // never produced by the host
};

namespace sonvara {
inline constexpr const char* kHostPartyName = "Main frame";
inline constexpr const char* kAllModulesName = "All modules";
} // namespace sonvara

class IModuleCom {
public:
    // Delivers message to the recipient's KelPassMessage synchronously, on
    // the calling thread (any thread), and returns a MESSAGE_... code. Every
    // request is recorded in the host's history, written to sonvara.log at
    // close. A module must not hold a lock its own KelPassMessage takes.
    virtual std::int32_t SendModuleMessage(const char* recipient, const char* sender,
                                           const char* message) = 0;
    // The record the named module filled in KelGetModuleInfo, or null.
    // Owned by the host; valid while that module is loaded. Window thread.
    virtual const _MODULE_INFO_* FindModuleInfo(const char* moduleName) = 0;

protected:
    ~IModuleCom() = default;
};
