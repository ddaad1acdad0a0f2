// SPDX-License-Identifier: MIT
// Fetching "http:" and "ftp:" paths whole into memory for the file service.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/data/ReceivedBytes.h"

namespace kov {

// The whole resource, or nothing when the fetch failed (no connection, an error status, a
// time-out, a cancel, or more than the limits' maxBytes or the given maxBytes); then *reason
// (when given) says why: the HTTP status, the limit that was exceeded, or the network error.
// The body is received straight into the buffer returned, which takes memory only as bytes
// arrive (never from what the server announces), so a fetch holds the body once.
std::optional<ReceivedBytes> fetchWhole(const std::string& url, std::string* reason = nullptr,
                                        uint64_t maxBytes = UINT64_MAX);

// Limits of a fetch: the connection must be made within connectSeconds, data must keep flowing
// (at least one byte per second, judged over stallSeconds), and the whole transfer must end
// within totalSeconds: ten minutes carry a 30 MB tile set over a 50 kB/s line, while a server
// that trickles a few bytes a second cannot hold a load for ever. All the fetches of one load
// (a FetchLoadScope) end within loadSeconds together, so that a project of many trickling
// tiles does not take ten minutes per tile.
struct FetchLimits {
    long connectSeconds = 15;
    long stallSeconds = 30;
    long totalSeconds = 600;
    long loadSeconds = 1800;
    long long maxBytes = 2LL << 30;
};
void setFetchLimits(const FetchLimits& limits);
FetchLimits getFetchLimits();

// Asked during every fetch, about twenty times a second while data arrives and at least once a
// second while none does; answering true cancels the fetch, which then fails. The desktop program
// pumps its events here and answers whether Esc was pressed. None by default.
using FetchCancelCheck = std::function<bool()>;
void setFetchCancelCheck(FetchCancelCheck check);

// While an object of this class lives, every fetch ends by the load's deadline: loadSeconds
// after the scope began (a nested scope keeps the outer, earlier deadline).
class FetchLoadScope {
public:
    FetchLoadScope();
    ~FetchLoadScope();
    FetchLoadScope(const FetchLoadScope&) = delete;
    FetchLoadScope& operator=(const FetchLoadScope&) = delete;

private:
    bool outermost_;
};

}  // namespace kov
