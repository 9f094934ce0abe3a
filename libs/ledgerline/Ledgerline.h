// The host's debug log: timestamped lines in a text file in the settings
// folder. Callers get the process-wide manager from enLedgerline() and write
// with a sender name and a printf-style format.
//
// Thread safe: lines from several threads never interleave. Writing never
// reports failure to the caller (a log that cannot be written is skipped).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>

class CLedgerline {
public:
    enum Level : int { Info = 0, Warning = 1, Error = 2 };

    CLedgerline() = default;
    CLedgerline(const CLedgerline&) = delete;
    CLedgerline& operator=(const CLedgerline&) = delete;

    // Where the log goes and what it keeps. filterLevel: 0 keeps every line,
    // 1 warnings and errors, 2 errors only, 3 or more nothing (negative counts
    // as 0). clearOnStartup non-zero empties the file now. Until Configure is
    // called the log is "sonvara-debug.log" in the settings folder, unfiltered.
    void Configure(const std::string& path, int filterLevel, int clearOnStartup);

    // One line at level Info.
    void WriteLogMessage(const char* sender, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    void WriteLogMessageLevel(Level level, const char* sender, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    void WriteLogMessageV(Level level, const char* sender, const char* format, va_list args);

    std::string Path() const;
    int FilterLevel() const;

    // A file larger than this is moved to "<path>.old" before the next line.
    static constexpr std::uintmax_t kMaxBytes = 1024 * 1024;

private:
    mutable std::mutex m_mutex;
    std::string m_path;
    int m_filterLevel = 0;
};

// The process-wide manager, created on first use and never destroyed.
CLedgerline* enLedgerline();
