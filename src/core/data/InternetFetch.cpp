#include "core/data/InternetFetch.h"

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "core/data/HxFile.h"

namespace kov {
namespace {

std::mutex limitsMutex;
FetchLimits currentLimits;

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Download {
    std::vector<char> bytes;
    long long maxBytes = 0;
    bool tooLarge = false;
};

size_t appendChunk(char* data, size_t size, size_t count, void* userData) {
    auto* download = static_cast<Download*>(userData);
    const size_t n = size * count;
    if (static_cast<long long>(download->bytes.size() + n) > download->maxBytes) {
        download->tooLarge = true;
        return 0;  // aborts the transfer
    }
    try {
        download->bytes.insert(download->bytes.end(), data, data + n);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return n;
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

std::optional<std::vector<char>> fetchWhole(const std::string& url, std::string* reason) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    auto fail = [&](std::string text) {
        if (reason) *reason = std::move(text);
        return std::nullopt;
    };
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return fail("the network library cannot be started");
    const FetchLimits limits = getFetchLimits();
    Download download;
    download.maxBytes = limits.maxBytes;

    CURL* h = curl.get();
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
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, appendChunk);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "KovView5/" KOV_VERSION);
    char errorText[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode result = curl_easy_perform(h);
    if (download.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        return fail("larger than the limit of " + std::to_string(limits.maxBytes) + " bytes");
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
