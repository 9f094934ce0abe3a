#include "platform/FolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

FolderLock::FolderLock(const std::string& file) {
    std::string::size_type slash = file.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) return;
    int rc;
    do {
        rc = ::flock(m_fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FolderLock::~FolderLock() {
    if (m_fd >= 0) ::close(m_fd); // closing the descriptor releases the lock
}

} // namespace platform
