// The exports of a language library (Language/*.so). The host lists a
// library only when it exports the first two; the third lets a library
// translate the host's own texts (shell/StringTable.h ids). Modules and
// plug-ins load the chosen library themselves from the Path in Language.xml.
//
// All three are called on the window thread, GetLanguageString also from
// any thread that sets a status text: it must be reentrant.
#pragma once

extern "C" {

// The interface version the library was written for. The host takes
// libraries up to kMaxLanguageLibraryVersion.
using GetLanguageLibraryVersionFn = int (*)();

// Writes the language's display name, NUL-terminated, into buffer (size
// bytes, 30 when the host asks). The result is not used.
using GetLanguageNameFn = int (*)(char* buffer, int size);

// Writes the translation of the host text id, NUL-terminated and cut to
// size - 1 bytes, into buffer; returns its length, 0 when the library has
// none (the host then shows its built-in English text).
using GetLanguageStringFn = int (*)(unsigned id, char* buffer, int size);

} // extern "C"

namespace shell {

inline constexpr const char* kGetLanguageLibraryVersion = "GetLanguageLibraryVersion";
inline constexpr const char* kGetLanguageName = "GetLanguageName";
inline constexpr const char* kGetLanguageString = "GetLanguageString";

inline constexpr int kMaxLanguageLibraryVersion = 0x1000;
inline constexpr int kLanguageNameSize = 30;

} // namespace shell
