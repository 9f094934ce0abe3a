// Whole-file replacement that never leaves a half-written file behind: the
// bytes go to a temporary file in the same folder, are flushed to disk, and
// the temporary file is renamed over the target.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Replaces (or creates) path with contents. On any failure the old file is
// left as it was, the temporary file is removed, and false is returned with
// a reason in *error when error is non-null. The temporary file is
// "<path>.tmpXXXXXX"; those a killed process left behind are removed by the
// next write of the same path once they are a minute old.
bool WriteFileAtomically(const std::string& path, std::string_view contents,
                         std::string* error = nullptr);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents);

namespace testing {
// Makes the next rename of WriteFileAtomically fail, so tests can check what
// a crash between writing and renaming leaves behind.
void FailNextRename();
} // namespace testing

} // namespace platform
