// SPDX-License-Identifier: MIT
#include "support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace kov::test {

LocalHttpServer::LocalHttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::abort();
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

void LocalHttpServer::put(const std::string& path, const std::string& body) {
    std::lock_guard lock(mutex_);
    files_[path] = std::make_shared<const std::string>(body);
}

void LocalHttpServer::trickle(const std::string& path, int bytes, int pauseMilliseconds) {
    std::lock_guard lock(mutex_);
    trickles_[path] = {bytes, pauseMilliseconds};
}

void LocalHttpServer::stall(const std::string& path, int64_t claimedBytes) {
    std::lock_guard lock(mutex_);
    stalls_[path] = claimedBytes;
}

std::string LocalHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LocalHttpServer::serve() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        answer(client);
        ::close(client);
    }
}

void LocalHttpServer::answer(int client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd p{client, POLLIN, 0};
        const ssize_t n = ::poll(&p, 1, 2000) > 0 ? ::recv(client, buffer, sizeof buffer, 0) : 0;
        if (n <= 0) return;
        request.append(buffer, static_cast<size_t>(n));
    }
    ++requests_;
    const size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    std::unique_lock lock(mutex_);
    const auto file = files_.find(path);
    const std::shared_ptr<const std::string> body = file == files_.end() ? nullptr : file->second;
    const auto stalled = stalls_.find(path);
    const bool stall = stalled != stalls_.end();
    const int64_t claimed = stall ? stalled->second : 0;
    const auto trickle = trickles_.find(path);
    const std::pair<int, int> trickled =
        trickle == trickles_.end() ? std::pair<int, int>{0, 0} : trickle->second;
    lock.unlock();
    auto send = [&](const char* data, size_t size) {
        for (size_t sent = 0; sent < size;) {
            const ssize_t n = ::send(client, data + sent, size - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    };
    if (trickled.first > 0) {
        const std::string head =
            "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(trickled.first) + "\r\n\r\n";
        if (!send(head.data(), head.size())) return;
        for (int i = 0; i < trickled.first && !stopping_; ++i) {
            if (!send("x", 1)) return;
            ::usleep(static_cast<useconds_t>(trickled.second) * 1000);
        }
        return;
    }
    // The body is sent from the stored copy: a test that measures memory sees the client's.
    const std::string head =
        stall   ? "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(claimed) + "\r\n\r\nabc"
        : !body ? "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"
                : "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body->size()) + "\r\n\r\n";
    if (!send(head.data(), head.size())) return;
    if (body && !stall && !send(body->data(), body->size())) return;
    while (stall && !stopping_)  // a stalled transfer sends nothing more until the server stops
        ::usleep(20000);
}

}  // namespace kov::test
