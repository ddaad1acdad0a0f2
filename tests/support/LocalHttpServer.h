// SPDX-License-Identifier: MIT
// A minimal HTTP/1.0 server on 127.0.0.1 for tests of internet paths.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kov::test {

// Serves the files given with Put; other paths answer 404. A path registered with Stall sends
// its headers (announcing claimedBytes) and a few bytes, then nothing until the server stops; one
// registered with Trickle sends its bytes one at a time with a pause after each.
class LocalHttpServer {
public:
    LocalHttpServer();  // listens on an ephemeral port
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    void put(const std::string& path, const std::string& body);
    void stall(const std::string& path, int64_t claimedBytes = 1000);
    void trickle(const std::string& path, int bytes, int pauseMilliseconds);
    // "http://127.0.0.1:PORT" + path
    std::string url(const std::string& path) const;
    int requestCount() const { return requests_; }

private:
    void serve();
    void answer(int client);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const std::string>> files_;
    std::map<std::string, int64_t> stalls_;                // the length announced
    std::map<std::string, std::pair<int, int>> trickles_;  // bytes, pause
    std::thread thread_;
};

}  // namespace kov::test
