// Private-profile (INI) files with the semantics Windows programs rely on.
//
// Section and key names compare without regard to case; blanks around names
// and values are trimmed; comments, blank and unknown lines survive a rewrite;
// lines end in CR LF when written, CR LF or LF are read, and a UTF-8
// byte-order mark is skipped (and kept). Strings are UTF-8; a file saved as
// UTF-16 with a byte-order mark is read, and rewritten in that encoding.
// Every rewrite is atomic (temporary file, then rename), so a crash never
// leaves a half-written file.
//
// Reading follows the Windows rules: "[name]" starts a section (text after
// the last ']' ignored); "key=value" lines are entries, and a value in
// matching double or single quotes loses them; lines before the first
// section, lines starting with ';', and lines without '=' are kept but never
// read. When a section or key appears twice, the first one is read and
// written. Only ASCII letters fold for the case-blind comparison.
//
// Writing: a new key goes after the last entry of its section, a new section
// at the end of the file ("[name]" then "key=value", no blanks around '=').
// A missing file reads as empty and is created by the first write, but its
// folder is not: the write fails then. A file that exists but cannot be read
// is never overwritten. Names or values that would change the file's
// structure (line breaks, a key with '=' or starting with ';' or '[') are
// refused; LastProfileError() says why a write failed.
//
// File names are used as given (relative ones against the current folder).
//
// Thread safety: calls are serialised by a process-wide lock; each call reads
// the file afresh, so edits by other processes are seen. A write also holds
// an advisory lock on the file's folder (platform/FolderLock.h) from its read
// to its rename, so writers in other processes, or in a module that links its
// own copy of this code, do not lose each other's changes either.
#pragma once

#include "platform/Types.h"

#include <string>
#include <utility>
#include <vector>

namespace platform {

// Copies the value of key in section into out (at most size - 1 characters,
// always NUL-terminated when size > 0); def when the key is absent.
// key == nullptr: the key names of the section as a NUL-separated list ended
// by an extra NUL. section == nullptr: the section names likewise.
// Returns the number of characters copied, not counting the terminating NUL
// (size - 1 on a truncated single value, size - 2 on a truncated list, whose
// last string is cut and followed by two NULs). Trailing blanks of def are
// dropped; def == nullptr means "". Nothing is written when size is 0.
DWORD GetPrivateProfileString(const char* section, const char* key, const char* def, char* out,
                              DWORD size, const char* file);

// The value read as a decimal integer (leading blanks, optional sign, digits
// up to the first other character; 0 when no digits; larger values wrap
// modulo 2^32); def when the key is absent or its value is empty.
UINT GetPrivateProfileInt(const char* section, const char* key, int def, const char* file);

// All section names as a NUL-separated list ended by an extra NUL.
DWORD GetPrivateProfileSectionNames(char* out, DWORD size, const char* file);

// All "key=value" entries of a section (key and value as read) as a
// NUL-separated list ended by an extra NUL; truncated like the lists above.
DWORD GetPrivateProfileSection(const char* section, char* out, DWORD size, const char* file);

// Writes key=value, creating the file and section when needed.
// value == nullptr deletes the key (every copy of it in the section);
// key == nullptr deletes the section (every section of that name, with its
// comments). The file is rewritten only when its text changes.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* file);

// Writes every key=value of entries into section in one rewrite of the
// file, so a crash leaves all of them old or all new; other keys stay. FALSE,
// with nothing written, when any name or value is refused.
BOOL WritePrivateProfileValues(const char* section,
                               const std::vector<std::pair<std::string, std::string>>& entries,
                               const char* file);

// Binary data as upper-case hex followed by a one-byte additive checksum
// (the sum of the bytes modulo 256, also as two hex digits).
// data == nullptr deletes the key; key == nullptr deletes the section.
BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, UINT size,
                               const char* file);
// Reads data written by WritePrivateProfileStruct; FALSE when absent, of
// another size or with a bad checksum (data is then left untouched).
BOOL GetPrivateProfileStruct(const char* section, const char* key, void* data, UINT size,
                             const char* file);
// The text WritePrivateProfileStruct stores for data.
std::string ProfileStructText(const void* data, UINT size);

// Marks file as a settings file of the program (config.ini): from now on,
// when it is empty, holds NUL bytes or is not UTF-8 (a file with a UTF-16
// byte-order mark is fine), it reads as empty and is renamed to
// "<file>.bad" before anything is written to it (platform/DamagedSettings.h).
// Checks it at once, too.
void GuardSettingsFile(const std::string& file);

// Why the last failed write of this thread failed ("" after a success).
std::string LastProfileError();

} // namespace platform
