// One bounded HTTP(S) GET on libcurl, for the advert file and the banner
// page. A slow, stalled or endless server never holds the caller: connect
// and transfer time-outs, a byte cap, and a cancel token that another thread
// trips to end a transfer at once (the program is closing).
//
// Only http and https are spoken (also after a redirect); https peers and
// host names are verified. Nothing is cached on the way: the request asks
// proxies for a fresh copy. Any thread; each call is independent.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

namespace ui::adverts {

// Ends a running FetchUrl from another thread. One token per worker; it
// stays cancelled once cancelled.
class CCancelToken {
public:
    void Cancel();
    bool Cancelled() const { return m_cancelled.load(); }

    // FetchUrl registers its transfer here so Cancel can wake it.
    void Attach(void* multiHandle);
    void Detach();

private:
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    void* m_multi = nullptr; // CURLM*, while a transfer runs
};

struct SFetchOptions {
    std::string url;
    std::string userAgent;
    // Larger replies are refused, not cut: a cut file is not the file the
    // server meant.
    std::size_t maxBytes = 65536;
    std::chrono::milliseconds connectTimeout{15000};
    std::chrono::milliseconds transferTimeout{60000};
};

enum class EFetchStatus {
    Ok,
    BadUrl,    // not an http or https address
    Failed,    // connection, TLS, HTTP status or time-out
    TooLarge,  // more than maxBytes
    Cancelled, // the token was tripped
};

struct SFetchResult {
    EFetchStatus status = EFetchStatus::Failed;
    std::string body;  // the reply, when Ok
    std::string error; // why not, for the debug log
};

SFetchResult FetchUrl(const SFetchOptions& options, CCancelToken& cancel);

// Whether text is an http or https address with a host: the only links the
// program hands to a browser or fetches.
bool IsWebAddress(const std::string& text);

} // namespace ui::adverts
