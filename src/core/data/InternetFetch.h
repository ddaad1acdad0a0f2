// Fetching "http:" and "ftp:" paths whole into memory for the file service.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

// Whether the file service fetches this path from the internet: at least five characters,
// beginning with "http:", "https:" or "ftp:" in any letter case.
bool isInternetPath(std::string_view path);

// The whole resource, or nothing when the fetch failed (no connection, an error status, a
// time-out, or more than maxBytes); then *reason (when given) says why: the HTTP status, the
// limit that was exceeded, or the network error.
std::optional<std::vector<char>> fetchWhole(const std::string& url, std::string* reason = nullptr);

// Limits of a fetch: the connection must be made within connectSeconds and data must keep
// flowing (at least one byte per second, judged over stallSeconds).
struct FetchLimits {
    long connectSeconds = 15;
    long stallSeconds = 30;
    long long maxBytes = 2LL << 30;
};
void setFetchLimits(const FetchLimits& limits);
FetchLimits getFetchLimits();

}  // namespace kov
