// Settings files that cannot be what this program wrote.
//
// Every rewrite is atomic, so a settings file on disk is always one the
// program wrote whole, unless something else went wrong: a crash of the
// machine before the file system had written the blocks (the file then
// reads as NUL bytes, or as nothing), a full disk, another program. Such a
// file reads as defaults, and before anything replaces it, it is renamed to
// "<file>.bad" (or .bad2, .bad3 ...) with a line in the debug log, so the
// user's settings are never thrown away unseen.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Why bytes read from a settings file cannot be one this program wrote, or
// "" when they can: nothing at all (we never write an empty settings file),
// NUL bytes, or text that is not UTF-8. A file with a UTF-16 byte-order mark
// (an INI file saved by a Windows editor) is taken as it is when
// utf16Allowed.
std::string SettingsDamage(std::string_view bytes, bool utf16Allowed);

// Renames file to "<file>.bad" (.bad2 ... when taken) and logs why. The
// caller holds the folder's FolderLock. The new name, or "" with *error set
// (the file then stays where it is and must not be overwritten).
std::string KeepDamagedFileAside(const std::string& file, const std::string& why,
                                 std::string* error = nullptr);

// The platform layer cannot reach the host's debug log, so the host hands
// it a writer at start; until then the lines go to standard error.
using SettingsLogWriter = void (*)(const std::string& line);
void SetSettingsLogWriter(SettingsLogWriter writer);
void LogSettingsNote(const std::string& line);

} // namespace platform
