// CAdvertsDownloader: the worker that keeps Adverts.ini fresh. For the life
// of the object it sleeps for the interval, then, when the machine counts as
// connected, fetches the advert file (agent "BRONTELDOWNLOAD", at most
// 64 KiB) and installs it when it has sections; then sleeps again.
//
// Failures are never shown to the user; they go to the debug log as
// warnings, and the next attempt comes after the next interval. The
// destructor wakes the worker from its sleep or from a running transfer and
// joins it, so closing the program never waits for a slow server.
//
// Threads: constructed and destroyed on one thread (the window thread); the
// worker touches only its own buffers, a private temporary file and the
// target file.
#pragma once

#include "ui/adverts/HttpFetch.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ui::adverts {

inline constexpr const char* kAdvertsUserAgent = "BRONTELDOWNLOAD";

struct SDownloadJob {
    std::string url;    // http or https; empty: nothing is ever fetched
    std::string target; // the Adverts.ini to replace
    std::chrono::milliseconds interval{600000};
    std::chrono::milliseconds connectTimeout{15000};
    std::chrono::milliseconds transferTimeout{60000};
    // The connection test; IsConnected unless a caller replaces it.
    std::function<bool()> connected;
};

enum class EAttemptResult {
    Replaced,    // Adverts.ini holds the new file
    Offline,     // the connection test failed; nothing was sent
    FetchFailed, // no usable reply (bad address, error, time-out, too large)
    NotAdverts,  // the reply had no sections; the old file stays
    FileFailed,  // the temporary file or the replacement failed
    Cancelled,
};

// One attempt: connection test, fetch, install. Logs failures as warnings.
EAttemptResult DownloadAdvertsOnce(const SDownloadJob& job, CCancelToken& cancel);

class CAdvertsDownloader {
public:
    // Starts the worker; with an empty url there is no worker at all.
    explicit CAdvertsDownloader(SDownloadJob job);
    ~CAdvertsDownloader();
    CAdvertsDownloader(const CAdvertsDownloader&) = delete;
    CAdvertsDownloader& operator=(const CAdvertsDownloader&) = delete;

    bool Running() const { return m_thread.joinable(); }
    // Attempts finished so far (for tests and the log).
    unsigned Attempts() const;

private:
    void Run();

    SDownloadJob m_job;
    CCancelToken m_cancel;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    unsigned m_attempts = 0;
    std::thread m_thread;
};

} // namespace ui::adverts
