// SPDX-License-Identifier: MIT
#include "core/data/InternetFetch.h"

#include <curl/curl.h>
#include <dlfcn.h>

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

// libcurl is opened on the first fetch, not linked: with the TLS, SSH and LDAP libraries it
// brings it cost every start of the programs more than all the rest they link, and most runs
// fetch nothing. Only its header's types and constants are used here, and these few functions.
struct CurlLibrary {
    CURLcode (*globalInit)(long flags) = nullptr;
    CURL* (*easyInit)() = nullptr;
    void (*easyCleanup)(CURL* handle) = nullptr;
    CURLcode (*easySetopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*easyPerform)(CURL* handle) = nullptr;
    CURLcode (*easyGetinfo)(CURL* handle, CURLINFO info, ...) = nullptr;
    const char* (*easyStrerror)(CURLcode code) = nullptr;
    std::string failure;  // why it is not there; empty when it is
};

// Every build of libcurl since 7.16 (2006) has this ABI and name; some systems have only the
// build on GnuTLS.
constexpr const char* kCurlNames[] = {"libcurl.so.4", "libcurl-gnutls.so.4"};

template <typename Function>
bool bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

CurlLibrary openCurl() {
    CurlLibrary curl;
    void* library = nullptr;
    for (const char* name : kCurlNames)
        if ((library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
    if (!library) {
        const char* why = ::dlerror();
        curl.failure = std::string("cannot load the network library (") + kCurlNames[0] +
                       "): " + (why ? why : "not found");
        return curl;
    }
    // Never closed: a library that started threads or registered handlers must stay.
    if (!bind(library, "curl_global_init", curl.globalInit) ||
        !bind(library, "curl_easy_init", curl.easyInit) ||
        !bind(library, "curl_easy_cleanup", curl.easyCleanup) ||
        !bind(library, "curl_easy_setopt", curl.easySetopt) ||
        !bind(library, "curl_easy_perform", curl.easyPerform) ||
        !bind(library, "curl_easy_getinfo", curl.easyGetinfo) ||
        !bind(library, "curl_easy_strerror", curl.easyStrerror)) {
        curl.failure = "the network library lacks curl_easy functions";
        return curl;
    }
    if (curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        curl.failure = "the network library cannot be started";
    return curl;
}

const CurlLibrary& curlLibrary() {
    static const CurlLibrary curl = openCurl();
    return curl;
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curlLibrary().easyCleanup(handle); }
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
    auto fail = [&](std::string text) {
        if (reason) *reason = std::move(text);
        return std::nullopt;
    };
    const CurlLibrary& lib = curlLibrary();
    if (!lib.failure.empty()) return fail(lib.failure);
    std::unique_ptr<CURL, CurlDeleter> curl(lib.easyInit());
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

    lib.easySetopt(h, CURLOPT_URL, url.c_str());
    lib.easySetopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    lib.easySetopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    lib.easySetopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    lib.easySetopt(h, CURLOPT_MAXREDIRS, 5L);
    lib.easySetopt(h, CURLOPT_FAILONERROR, 1L);
    lib.easySetopt(h, CURLOPT_NOSIGNAL, 1L);
    lib.easySetopt(h, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    lib.easySetopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    lib.easySetopt(h, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
    lib.easySetopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(milliseconds));
    lib.easySetopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(download.maxBytes));
    lib.easySetopt(h, CURLOPT_WRITEFUNCTION, appendChunk);
    lib.easySetopt(h, CURLOPT_WRITEDATA, &download);
    if (download.cancel) {
        lib.easySetopt(h, CURLOPT_XFERINFOFUNCTION, askCancel);
        lib.easySetopt(h, CURLOPT_XFERINFODATA, &download);
        lib.easySetopt(h, CURLOPT_NOPROGRESS, 0L);
    }
    lib.easySetopt(h, CURLOPT_USERAGENT, "KovView5/" KOV_VERSION);
    char errorText[CURL_ERROR_SIZE] = "";
    lib.easySetopt(h, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode result = lib.easyPerform(h);
    if (download.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        return fail("larger than the limit of " + std::to_string(download.maxBytes) + " bytes");
    if (download.outOfMemory) return fail("not enough memory for its bytes");
    if (result == CURLE_ABORTED_BY_CALLBACK) return fail("cancelled");
    if (result == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        lib.easyGetinfo(h, CURLINFO_RESPONSE_CODE, &status);
        return fail("HTTP status " + std::to_string(status));
    }
    if (result != CURLE_OK)
        return fail(errorText[0] ? std::string(errorText) : lib.easyStrerror(result));
    return std::move(download.bytes);
}

}  // namespace kov
