#include "libs/ledgerline/Ledgerline.h"

#include "platform/Paths.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

std::string TimeStamp() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
    return buf;
}

const char* LevelName(CLedgerline::Level level) {
    switch (level) {
    case CLedgerline::Warning:
        return "warning";
    case CLedgerline::Error:
        return "error";
    default:
        return "info";
    }
}

} // namespace

void CLedgerline::Configure(const std::string& path, int filterLevel, int clearOnStartup) {
    std::lock_guard lock(m_mutex);
    m_path = path;
    m_filterLevel = filterLevel < 0 ? 0 : filterLevel;
    if (clearOnStartup != 0) {
        std::error_code ec;
        std::filesystem::resize_file(m_path, 0, ec);
    }
}

std::string CLedgerline::Path() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

int CLedgerline::FilterLevel() const {
    std::lock_guard lock(m_mutex);
    return m_filterLevel;
}

void CLedgerline::WriteLogMessage(const char* sender, const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteLogMessageV(Info, sender, format, args);
    va_end(args);
}

void CLedgerline::WriteLogMessageLevel(Level level, const char* sender, const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteLogMessageV(level, sender, format, args);
    va_end(args);
}

void CLedgerline::WriteLogMessageV(Level level, const char* sender, const char* format,
                                   va_list args) {
    if (!format) return;
    std::vector<char> text(512);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(text.data(), text.size(), format, copy);
    va_end(copy);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) >= text.size()) {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
    }

    std::lock_guard lock(m_mutex);
    if (static_cast<int>(level) < m_filterLevel) return;
    if (m_path.empty()) m_path = platform::SettingsDirectory() + "sonvara-debug.log";

    std::error_code ec;
    if (std::filesystem::file_size(m_path, ec) > kMaxBytes && !ec)
        std::filesystem::rename(m_path, m_path + ".old", ec);

    if (std::FILE* f = std::fopen(m_path.c_str(), "ab")) {
        std::fprintf(f, "%s [%s] %s: %s\n", TimeStamp().c_str(), LevelName(level),
                     sender ? sender : "", text.data());
        std::fclose(f);
    }
}

CLedgerline* enLedgerline() {
    // Never destroyed: modules may still log while static objects go away.
    static CLedgerline* manager = new CLedgerline;
    return manager;
}
