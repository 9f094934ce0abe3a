#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::mutex g_mutex;
std::string g_programDir;  // override, or empty
std::string g_settingsDir; // override, or empty

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

std::string ExecutableDirectory() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) {
        char cwd[PATH_MAX];
        return WithSlash(::getcwd(cwd, sizeof cwd) ? cwd : ".");
    }
    std::string path(buf, static_cast<std::size_t>(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

} // namespace

std::string ProgramDirectory() {
    std::lock_guard lock(g_mutex);
    if (!g_programDir.empty()) return g_programDir;
    return ExecutableDirectory();
}

std::string SettingsDirectory() {
    std::string program;
    {
        std::lock_guard lock(g_mutex);
        if (!g_settingsDir.empty()) return g_settingsDir;
        program = g_programDir.empty() ? ExecutableDirectory() : g_programDir;
    }
    if (::access(program.c_str(), W_OK) == 0) return program;

    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = JoinPath(home, ".config");
    } else {
        base = "/tmp";
    }
    std::string dir = WithSlash(JoinPath(base, "sonvara"));
    MakeDirectories(dir);
    return dir;
}

void SetProgramDirectory(const std::string& dir) {
    std::lock_guard lock(g_mutex);
    g_programDir = dir.empty() ? std::string() : WithSlash(dir);
}

void SetSettingsDirectory(const std::string& dir) {
    std::lock_guard lock(g_mutex);
    g_settingsDir = dir.empty() ? std::string() : WithSlash(dir);
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    if (a.back() == '/') return b.front() == '/' ? a + b.substr(1) : a + b;
    return b.front() == '/' ? a + b : a + '/' + b;
}

bool MakeDirectories(const std::string& dir) {
    if (dir.empty()) return false;
    std::string path;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        path = dir.substr(0, pos);
        if (path.empty()) continue;
        if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace platform
