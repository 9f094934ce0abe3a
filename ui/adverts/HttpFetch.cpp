#include "ui/adverts/HttpFetch.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace ui::adverts {

namespace {

void InitCurlOnce() {
    // curl_global_init is not safe against a second thread doing the same.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct SSink {
    std::string* body;
    std::size_t maxBytes;
    bool tooLarge = false;
};

std::size_t Write(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<SSink*>(user);
    const std::size_t bytes = size * count;
    if (sink->body->size() + bytes > sink->maxBytes) {
        sink->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    sink->body->append(data, bytes);
    return bytes;
}

struct SEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct SMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

void CCancelToken::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    if (m_multi) curl_multi_wakeup(static_cast<CURLM*>(m_multi));
}

void CCancelToken::Attach(void* multiHandle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_multi = multiHandle;
}

void CCancelToken::Detach() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_multi = nullptr;
}

bool IsWebAddress(const std::string& text) {
    InitCurlOnce();
    CURLU* url = curl_url();
    if (!url) return false;
    bool ok = false;
    if (curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK) {
        char* scheme = nullptr;
        char* host = nullptr;
        if (curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host)
            ok = std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0;
        curl_free(scheme);
        curl_free(host);
    }
    curl_url_cleanup(url);
    return ok;
}

SFetchResult FetchUrl(const SFetchOptions& options, CCancelToken& cancel) {
    SFetchResult result;
    if (!IsWebAddress(options.url)) {
        result.status = EFetchStatus::BadUrl;
        result.error = "not an http or https address";
        return result;
    }
    InitCurlOnce();
    std::unique_ptr<CURL, SEasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, SMultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        result.error = "libcurl could not start";
        return result;
    }
    CURL* e = easy.get();
    SSink sink{&result.body, options.maxBytes};
    std::unique_ptr<curl_slist, SListDeleter> headers(
        curl_slist_append(nullptr, "Cache-Control: no-cache"));
    headers.reset(curl_slist_append(headers.release(), "Pragma: no-cache"));

    curl_easy_setopt(e, CURLOPT_URL, options.url.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, options.userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(options.transferTimeout.count()));
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Write);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &sink);

    curl_multi_add_handle(multi.get(), e);
    cancel.Attach(multi.get());
    int running = 1;
    while (running && !cancel.Cancelled()) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
        if (!running) break;
        // Cancel wakes this wait at once.
        curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
    }
    cancel.Detach();

    CURLcode code = CURLE_OK;
    bool done = false;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == e) {
            code = message->data.result;
            done = true;
        }
    }
    curl_multi_remove_handle(multi.get(), e);

    if (cancel.Cancelled() && !done) {
        result.status = EFetchStatus::Cancelled;
        result.error = "cancelled";
    } else if (sink.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.status = EFetchStatus::TooLarge;
        result.error = "reply larger than " + std::to_string(options.maxBytes) + " bytes";
    } else if (!done || code != CURLE_OK) {
        result.status = EFetchStatus::Failed;
        result.error = done ? curl_easy_strerror(code) : "transfer did not finish";
    } else {
        result.status = EFetchStatus::Ok;
        return result;
    }
    result.body.clear();
    return result;
}

} // namespace ui::adverts
