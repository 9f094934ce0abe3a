#include "ui/adverts/AdvertsDownloader.h"

#include "libs/ledgerline/Ledgerline.h"
#include "ui/adverts/AdvertsFile.h"
#include "ui/adverts/ConnectionState.h"

namespace ui::adverts {

namespace {

constexpr const char* kLogSender = "MainFrame";

void Warn(const char* what, const std::string& url, const std::string& why) {
    enLedgerline()->WriteLogMessageLevel(CLedgerline::Warning, kLogSender, "Adverts: %s %s: %s",
                                         what, url.c_str(), why.c_str());
}

} // namespace

EAttemptResult DownloadAdvertsOnce(const SDownloadJob& job, CCancelToken& cancel) {
    // A machine that dials on demand is never made to dial: without an
    // interface that is up, nothing is sent.
    const bool connected = job.connected ? job.connected() : IsConnected();
    if (!connected) {
        Warn("not connected, not fetching", job.url, "no network interface is up");
        return EAttemptResult::Offline;
    }

    SFetchOptions options;
    options.url = job.url;
    options.userAgent = kAdvertsUserAgent;
    options.maxBytes = 65536;
    options.connectTimeout = job.connectTimeout;
    options.transferTimeout = job.transferTimeout;
    const SFetchResult reply = FetchUrl(options, cancel);
    if (reply.status == EFetchStatus::Cancelled) return EAttemptResult::Cancelled;
    if (reply.status != EFetchStatus::Ok || reply.body.empty()) {
        Warn("cannot download", job.url,
             reply.status == EFetchStatus::Ok ? "empty reply" : reply.error);
        return EAttemptResult::FetchFailed;
    }

    std::string error;
    switch (InstallAdvertsReply(reply.body, job.target, &error)) {
    case EInstallResult::Replaced:
        return EAttemptResult::Replaced;
    case EInstallResult::NoSections:
        Warn("ignored the reply of", job.url, error);
        return EAttemptResult::NotAdverts;
    case EInstallResult::TempFileFailed:
    case EInstallResult::WriteFailed:
        Warn("cannot store the reply of", job.url, error);
        return EAttemptResult::FileFailed;
    }
    return EAttemptResult::FileFailed;
}

CAdvertsDownloader::CAdvertsDownloader(SDownloadJob job) : m_job(std::move(job)) {
    if (!m_job.url.empty()) m_thread = std::thread([this] { Run(); });
}

CAdvertsDownloader::~CAdvertsDownloader() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_cancel.Cancel();
    if (m_thread.joinable()) m_thread.join();
}

unsigned CAdvertsDownloader::Attempts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_attempts;
}

void CAdvertsDownloader::Run() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // The first attempt comes one interval after the start.
            if (m_wake.wait_for(lock, m_job.interval, [this] { return m_stop; })) return;
        }
        DownloadAdvertsOnce(m_job, m_cancel);
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_attempts;
    }
}

} // namespace ui::adverts
