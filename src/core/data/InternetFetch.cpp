// SPDX-License-Identifier: MIT
#include "core/data/InternetFetch.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace kov {
namespace {

using Clock = std::chrono::steady_clock;

std::mutex limitsMutex;
FetchLimits currentLimits;
FetchCancelCheck cancelCheck;
std::optional<Clock::time_point> loadDeadline;  // of the outermost FetchLoadScope

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Download {
    ReceivedBytes bytes;
    uint64_t maxBytes = 0;
    bool tooLarge = false;
    bool outOfMemory = false;
    FetchCancelCheck cancel;
    Clock::time_point lastAsked;
};

size_t appendChunk(char* data, size_t size, size_t count, void* userData) {
    auto* download = static_cast<Download*>(userData);
    const size_t n = size * count;
    if (download->bytes.view().size() + n > download->maxBytes) {
        download->tooLarge = true;
        return 0;  // aborts the transfer
    }
    if (!download->bytes.append(std::string_view(data, n))) {
        download->outOfMemory = true;
        return 0;
    }
    return n;
}

int askCancel(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* download = static_cast<Download*>(userData);
    const auto now = Clock::now();
    if (now - download->lastAsked < std::chrono::milliseconds(50)) return 0;
    download->lastAsked = now;
    return download->cancel() ? 1 : 0;  // nonzero aborts the transfer
}

}  // namespace

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

FetchLoadScope::FetchLoadScope() {
    std::lock_guard lock(limitsMutex);
    outermost_ = !loadDeadline;
    if (outermost_) loadDeadline = Clock::now() + std::chrono::seconds(currentLimits.loadSeconds);
}

FetchLoadScope::~FetchLoadScope() {
    std::lock_guard lock(limitsMutex);
    if (outermost_) loadDeadline.reset();
}

std::optional<ReceivedBytes> fetchWhole(const std::string& url, std::string* reason,
                                        uint64_t maxBytes) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    auto fail = [&](std::string text) {
        if (reason) *reason = std::move(text);
        return std::nullopt;
    };
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return fail("the network library cannot be started");
    FetchLimits limits;
    Download download;
    std::optional<Clock::time_point> deadline;
    {
        std::lock_guard lock(limitsMutex);
        limits = currentLimits;
        download.cancel = cancelCheck;
        deadline = loadDeadline;
    }
    // The time this fetch may take: its own limit, or what is left of the load's.
    long long milliseconds = limits.totalSeconds * 1000LL;
    if (deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
        // Less than a tenth of a second (as when the previous fetch ran to the deadline) is
        // too little to fetch anything: the time is used up.
        if (left.count() < 100)
            return fail("the load's time for internet files (" +
                        std::to_string(limits.loadSeconds) + " s) is used up");
        milliseconds = std::min<long long>(milliseconds, left.count());
    }
    CURL* h = curl.get();
    download.maxBytes = std::min(maxBytes, static_cast<uint64_t>(std::max(limits.maxBytes, 0LL)));
    download.bytes = ReceivedBytes(static_cast<size_t>(download.maxBytes));
    if (download.maxBytes > 0 && download.bytes.capacity() == 0)
        return fail("no room for " + std::to_string(download.maxBytes) + " bytes can be reserved");

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
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(milliseconds));
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
    if (download.outOfMemory) return fail("not enough memory for its bytes");
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
