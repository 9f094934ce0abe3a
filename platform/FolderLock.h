// An advisory lock on a folder, held while a settings file in it is read,
// changed and replaced. It keeps writers from losing each other's changes
// when the mutex of one copy of this code is not enough: other processes,
// and modules that link their own copy of the platform library (the effect
// plug-in), take the same lock because it belongs to the folder.
//
// flock() on the folder itself: no lock file is left behind. Locks taken
// through different objects exclude each other even within one thread, so
// never nest two FolderLocks on the same folder.
#pragma once

#include <string>

namespace platform {

class FolderLock {
public:
    // Locks the folder that holds file; blocks until the lock is free. When
    // the folder cannot be opened or locked, nothing is locked (the write
    // that follows then fails or succeeds on its own).
    explicit FolderLock(const std::string& file);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool Locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace platform
