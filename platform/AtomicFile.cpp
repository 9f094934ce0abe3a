#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<bool> g_failNextRename{false};

void SetError(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// A settings file may be a symbolic link to a file kept elsewhere; replace
// the file it points at, not the link itself.
std::string ResolveLinks(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 16; ++hops) {
        char buf[4096];
        ssize_t n = ::readlink(target.c_str(), buf, sizeof buf - 1);
        if (n <= 0) break;
        std::string link(buf, static_cast<std::size_t>(n));
        if (link.front() == '/') {
            target = link;
        } else {
            std::size_t slash = target.find_last_of('/');
            target =
                (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
        }
    }
    return target;
}

// Makes the rename itself durable.
void SyncFolder(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Whether name is base + ".tmp" + the six letters or digits mkstemp puts in.
bool IsTemporaryOf(std::string_view name, std::string_view base) {
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() != base.size() + kSuffix.size() + 6) return false;
    if (name.substr(0, base.size()) != base) return false;
    if (name.substr(base.size(), kSuffix.size()) != kSuffix) return false;
    for (char c : name.substr(base.size() + kSuffix.size()))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// A process killed between creating its temporary file and the rename
// leaves the temporary behind. The next save of the same file removes those
// older than a minute; a younger one may belong to a save still under way in
// another process.
void RemoveStaleTemporaries(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::time_t limit = std::time(nullptr) - 60;
    while (const dirent* e = ::readdir(d)) {
        if (!IsTemporaryOf(e->d_name, base)) continue;
        const std::string name = dir + "/" + e->d_name;
        struct stat st {};
        if (::lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < limit)
            ::unlink(name.c_str());
    }
    ::closedir(d);
}

} // namespace

bool WriteFileAtomically(const std::string& linkPath, std::string_view contents,
                         std::string* error) {
    if (linkPath.empty()) {
        errno = EINVAL;
        SetError(error, "empty file name");
        return false;
    }
    const std::string path = ResolveLinks(linkPath);
    RemoveStaleTemporaries(path);
    std::string tmp = path + ".tmpXXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        SetError(error, "cannot create a temporary file beside " + path);
        return false;
    }
    // Keep the permissions of the file being replaced; new files get the
    // usual 0666 less the umask rather than mkstemp's 0600.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    bool ok = WriteAll(fd, contents) && ::fsync(fd) == 0;
    if (!ok) SetError(error, "cannot write " + tmp);
    if (::close(fd) != 0 && ok) {
        ok = false;
        SetError(error, "cannot close " + tmp);
    }
    if (ok) {
        if (g_failNextRename.exchange(false)) {
            errno = EIO;
            ok = false;
        } else {
            ok = ::rename(tmp.c_str(), path.c_str()) == 0;
        }
        if (!ok) SetError(error, "cannot replace " + path);
    }
    if (!ok)
        ::unlink(tmp.c_str());
    else
        SyncFolder(path);
    return ok;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string data;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (ok) contents = std::move(data);
    return ok;
}

namespace testing {
void FailNextRename() {
    g_failNextRename = true;
}
} // namespace testing

} // namespace platform
