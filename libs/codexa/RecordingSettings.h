// The recording format kept in config.ini, in the host's parameter section
// with the keys of sonvara/RecordingFormat.h, so modules read it through
// IApplication::GetParam.
//
// No windows. Window thread in practice (the INI functions serialise access
// to the file themselves).
#pragma once

#include "sonvara/RecordingFormat.h"

#include <string>

namespace codexa {

// The file the panel reads and writes: config.ini of the writable settings
// folder, unless the host (or a test) chose another. An empty path restores
// the default.
void SetSettingsFile(const std::string& path);
std::string SettingsFile();

// The stored format. Keys that are missing or hold a combination libsndfile
// would not write give the default format instead (a hand-edited or stale
// file never makes the panel offer, or a module use, an unwritable format).
SvRecordingFormat LoadRecordingFormat(const std::string& iniPath);

// Writes every key (the quality only where the subtype has one, otherwise it
// is removed). False, with the file as it was, when the format is not
// writable or the file cannot be written.
bool SaveRecordingFormat(const std::string& iniPath, const SvRecordingFormat& format);

} // namespace codexa
