// The registry store's tree and its text form.
//
// The store file is a readable text file:
//
//   ; comment lines start with ';' and, like blank lines, are ignored
//   ; (and not kept: the store rewrites the whole file on every change)
//   [HKEY_CURRENT_USER\Software\Presets\Default]
//   @=sz:"Default preset"
//   "Speed"=none:03000000
//   "Count"=dword:42
//   "Blob"=binary:00FF7F
//   "List"=hex(7):610000
//
// A "[...]" line names a key by its full path, root first, components joined
// by '\'; within a component '%', '[', ']', '\', '/' and control characters
// are written as %XX. Every key has such a line, even one without values, so
// empty keys survive. The lines after it are the key's values, one each:
// the name ("@" for the default value, else a quoted string), '=', the type
// and the data:
//   sz:"text"     REG_SZ, without its terminating NUL; in the quotes
//                 \\ \" \n \r \t and \xHH escape bytes, other bytes (UTF-8)
//                 stand as they are
//   dword:N       REG_DWORD of exactly 4 bytes, N in decimal (0..4294967295)
//   binary:HEX    REG_BINARY, two upper-case hex digits per byte
//   none:HEX      REG_NONE
//   hex(T):HEX    any other type number T (and a REG_DWORD that is not 4 bytes)
// Names compare without regard to ASCII case; keys and values are written
// sorted that way. Lines end in LF (CR LF is accepted).
#pragma once

#include "platform/Types.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

struct Value {
    std::string name; // as first given; "" is the default value
    DWORD type = 0;
    std::string data; // REG_SZ: the text without terminating NUL
};

struct Node {
    std::string name;                                      // as first given
    std::map<std::string, std::unique_ptr<Node>> children; // by lower-case name
    std::map<std::string, Value> values;                   // by lower-case name

    Node* Child(std::string_view childName) const;
    // The child, created when missing.
    Node& MakeChild(std::string_view childName);
};

// The roots every store has, in the order they are written.
inline constexpr const char* kRootNames[] = {"HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT"};

// A fresh tree holding the empty roots.
std::unique_ptr<Node> EmptyTree();

// Text form of the tree (the top node itself is nameless and not written).
std::string Serialize(const Node& top);

// Parses a store file into a tree with the roots. False with a reason
// ("line 7: ...") in *error when the text is not a valid store file; top then
// holds the empty roots.
bool Parse(std::string_view text, std::unique_ptr<Node>& top, std::string* error);

} // namespace platform::registry
