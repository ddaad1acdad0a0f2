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
    files_[path] = body;
}

void LocalHttpServer::stall(const std::string& path) {
    std::lock_guard lock(mutex_);
    stalls_[path] = true;
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
    const bool stall = stalls_.count(path) > 0;
    const std::string answer =
        stall ? "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nabc"
        : file == files_.end()
            ? "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"
            : "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(file->second.size()) +
                  "\r\n\r\n" + file->second;
    lock.unlock();
    for (size_t sent = 0; sent < answer.size();) {
        const ssize_t n = ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
    while (stall && !stopping_)  // a stalled transfer sends nothing more until the server stops
        ::usleep(20000);
}

}  // namespace kov::test
