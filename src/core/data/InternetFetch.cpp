#include "core/data/InternetFetch.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace kov {
namespace {

std::mutex limitsMutex;
FetchLimits currentLimits;
FetchCancelCheck cancelCheck;

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Download {
    CURL* curl = nullptr;
    FileBuffer bytes;
    uint64_t maxBytes = 0;
    bool sized = false;  // room reserved (or not) from the Content-Length
    bool tooLarge = false;
    FetchCancelCheck cancel;
    std::chrono::steady_clock::time_point lastAsked;
};

size_t appendChunk(char* data, size_t size, size_t count, void* userData) {
    auto* download = static_cast<Download*>(userData);
    const size_t n = size * count;
    if (download->bytes.size() + n > download->maxBytes) {
        download->tooLarge = true;
        return 0;  // aborts the transfer
    }
    try {
        if (!download->sized) {
            download->sized = true;
            curl_off_t length = -1;
            if (curl_easy_getinfo(download->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) ==
                    CURLE_OK &&
                length > 0 && static_cast<uint64_t>(length) <= download->maxBytes)
                download->bytes.reserve(static_cast<size_t>(length));
        }
        download->bytes.insert(download->bytes.end(), data, data + n);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return n;
}

int askCancel(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* download = static_cast<Download*>(userData);
    const auto now = std::chrono::steady_clock::now();
    if (now - download->lastAsked < std::chrono::milliseconds(50)) return 0;
    download->lastAsked = now;
    return download->cancel() ? 1 : 0;  // nonzero aborts the transfer
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

bool isInternetPath(std::string_view path) {
    return path.size() >= 5 &&
           (startsWithIgnoringCase(path, "http:") || startsWithIgnoringCase(path, "https:") ||
            startsWithIgnoringCase(path, "ftp:"));
}

void setFetchLimits(const FetchLimits& limits) {
    std::lock_guard lock(limitsMutex);
    currentLimits = limits;
}

FetchLimits getFetchLimits() {
    std::lock_guard lock(limitsMutex);
    return currentLimits;
}

void setFetchCancelCheck(FetchCancelCheck check) {
    std::lock_guard lock(limitsMutex);
    cancelCheck = std::move(check);
}

std::optional<FileBuffer> fetchWhole(const std::string& url, std::string* reason,
                                     uint64_t maxBytes) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    auto fail = [&](std::string text) {
        if (reason) *reason = std::move(text);
        return std::nullopt;
    };
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return fail("the network library cannot be started");
    const FetchLimits limits = getFetchLimits();
    CURL* h = curl.get();
    Download download;
    download.curl = h;
    download.maxBytes = std::min(maxBytes, static_cast<uint64_t>(std::max(limits.maxBytes, 0LL)));
    {
        std::lock_guard lock(limitsMutex);
        download.cancel = cancelCheck;
    }

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, limits.totalSeconds);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(download.maxBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, appendChunk);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &download);
    if (download.cancel) {
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, askCancel);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &download);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    }
    curl_easy_setopt(h, CURLOPT_USERAGENT, "KovView5/" KOV_VERSION);
    char errorText[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode result = curl_easy_perform(h);
    if (download.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        return fail("larger than the limit of " + std::to_string(download.maxBytes) + " bytes");
    if (result == CURLE_ABORTED_BY_CALLBACK) return fail("cancelled");
    if (result == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        return fail("HTTP status " + std::to_string(status));
    }
    if (result != CURLE_OK)
        return fail(errorText[0] ? std::string(errorText) : curl_easy_strerror(result));
    return std::move(download.bytes);
}

}  // namespace kov
