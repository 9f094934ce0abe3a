#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

} // namespace

bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error) {
    if (path.empty()) {
        errno = EINVAL;
        SetError(error, "empty file name");
        return false;
    }
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
    if (!ok) ::unlink(tmp.c_str());
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
