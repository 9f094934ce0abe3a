// Private-profile (INI) files with the semantics Windows programs rely on.
//
// Section and key names compare without regard to case; blanks around names
// and values are trimmed; comments, blank and unknown lines survive a rewrite;
// lines end in CR LF when written, CR LF or LF are read, and a UTF-8
// byte-order mark is skipped. Every rewrite is atomic (temporary file, then
// rename), so a crash never leaves a half-written file.
//
// Thread safety: calls are serialised by a process-wide lock; each call reads
// the file afresh, so edits by other processes are seen.
#pragma once

#include "platform/Types.h"

namespace platform {

// Copies the value of key in section into out (at most size - 1 characters,
// always NUL-terminated when size > 0); def when the key is absent.
// key == nullptr: the key names of the section as a NUL-separated list ended
// by an extra NUL. section == nullptr: the section names likewise.
// Returns the number of characters copied, not counting the terminating NUL
// (size - 1 on a truncated single value, size - 2 on a truncated list).
DWORD GetPrivateProfileString(const char* section, const char* key, const char* def, char* out,
                              DWORD size, const char* file);

// The value read as a decimal integer (leading blanks, optional sign, digits
// up to the first other character; 0 when no digits); def when absent.
UINT GetPrivateProfileInt(const char* section, const char* key, int def, const char* file);

// All section names as a NUL-separated list ended by an extra NUL.
DWORD GetPrivateProfileSectionNames(char* out, DWORD size, const char* file);

// All "key=value" lines of a section as a NUL-separated list ended by an extra NUL.
DWORD GetPrivateProfileSection(const char* section, char* out, DWORD size, const char* file);

// Writes key=value, creating the file and section when needed.
// value == nullptr deletes the key; key == nullptr deletes the whole section.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* file);

// Binary data as upper-case hex followed by a one-byte additive checksum.
BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, UINT size,
                               const char* file);
// Reads data written by WritePrivateProfileStruct; FALSE when absent, of
// another size or with a bad checksum.
BOOL GetPrivateProfileStruct(const char* section, const char* key, void* data, UINT size,
                             const char* file);

} // namespace platform
