#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace gridmint::test {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string reasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 404: return "Not Found";
        default: return "Status";
    }
}

int listenOnLoopback(std::uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

size_t RecordedRequest::count(std::string_view name) const {
    return static_cast<size_t>(std::count_if(headers.begin(), headers.end(), [&](const auto& h) {
        return equalsIgnoringCase(h.first, name);
    }));
}

std::uint16_t unusedPort() {
    std::uint16_t port = 0;
    close(listenOnLoopback(port));
    return port;
}

TestHttpServer::TestHttpServer() {
    // A proxy named in the environment must not see the tests' requests: they stay on this
    // machine. Set before any transfer starts, so no other thread reads the environment.
    setenv("no_proxy", "*", 1);
    listener_ = listenOnLoopback(port_);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
    stop();
}

void TestHttpServer::route(std::string target, ScriptedResponse response) {
    std::lock_guard lock(mutex_);
    routes_.insert_or_assign(std::move(target), std::move(response));
}

std::string TestHttpServer::url(std::string_view target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

std::vector<RecordedRequest> TestHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void TestHttpServer::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return;
        stopped_ = true;
        // Wakes the blocked accept and every read or write in progress.
        shutdown(listener_, SHUT_RDWR);
        for (int client : clients_) shutdown(client, SHUT_RDWR);
    }
    stopping_.notify_all();
    acceptor_.join();
    for (auto& worker : workers_) worker.join();
    close(listener_);
}

void TestHttpServer::acceptLoop() {
    for (;;) {
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        std::lock_guard lock(mutex_);
        if (stopped_) {
            if (client >= 0) close(client);
            return;
        }
        if (client < 0) continue;
        clients_.push_back(client);
        workers_.emplace_back([this, client] { serve(client); });
    }
}

void TestHttpServer::serve(int socket) {
    RecordedRequest request;
    if (readRequest(socket, request)) {
        std::optional<ScriptedResponse> response;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
            if (auto it = routes_.find(request.target); it != routes_.end()) response = it->second;
        }
        if (!response) {
            response = ScriptedResponse{404, {{"Content-Type", "text/plain"}}, "no such page"};
        }
        answer(socket, *response);
    }
    std::lock_guard lock(mutex_);
    // Closed while holding the lock, so stop() never shuts down a reused descriptor.
    std::erase(clients_, socket);
    close(socket);
}

bool TestHttpServer::readRequest(int socket, RecordedRequest& request) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        head.append(buffer, static_cast<size_t>(n));
    }
    head.resize(head.find("\r\n\r\n"));
    size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t firstSpace = requestLine.find(' ');
    const size_t secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line =
            head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const size_t valueStart = line.find_first_not_of(' ', colon + 1);
        request.headers.emplace_back(line.substr(0, colon), valueStart == std::string::npos
                                                                ? std::string()
                                                                : line.substr(valueStart));
    }
    return true;
}

void TestHttpServer::answer(int socket, const ScriptedResponse& response) {
    using Stall = ScriptedResponse::Stall;
    if (response.stall == Stall::beforeHeaders) {
        pauseUnlessStopping(std::chrono::hours(1));
        return;
    }
    if (response.raw) {
        sendAll(socket, *response.raw);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       reasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    if (response.chunked) {
        head += "Transfer-Encoding: chunked\r\n";
    } else if (response.sendContentLength) {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    if (!sendAll(socket, head)) return;
    if (response.stall == Stall::afterHeaders) {
        pauseUnlessStopping(std::chrono::hours(1));
        return;
    }
    if (!sendBody(socket, response)) return;
    if (response.cut == ScriptedResponse::Cut::reset) {
        // With a zero linger time, the close in serve() resets the connection.
        const linger abort{1, 0};
        setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    } else if (response.chunked && response.cut == ScriptedResponse::Cut::never) {
        sendAll(socket, "0\r\n\r\n");
    }
}

// Sends the body in its pieces, each chunk under its full announced size, but no byte past
// the cut. False when the client went away or the server is stopping.
bool TestHttpServer::sendBody(int socket, const ScriptedResponse& response) {
    const std::string_view body = response.body;
    const size_t end = response.cut == ScriptedResponse::Cut::never
                           ? body.size()
                           : std::min(response.cutAfter, body.size());
    const size_t pieceSize =
        response.pieceSize ? response.pieceSize : std::max<size_t>(body.size(), 1);
    for (size_t offset = 0; offset < end; offset += pieceSize) {
        if (response.pause.count() > 0 && !pauseUnlessStopping(response.pause)) return false;
        const std::string_view piece = body.substr(offset, pieceSize);
        const std::string_view sent = piece.substr(0, end - offset);
        if (response.chunked) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
            if (!sendAll(socket, size) || !sendAll(socket, sent)) return false;
            if (sent.size() == piece.size() && !sendAll(socket, "\r\n")) return false;
        } else if (!sendAll(socket, sent)) {
            return false;
        }
    }
    return true;
}

bool TestHttpServer::sendAll(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;  // the client went away, as it does when it refuses a body
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool TestHttpServer::pauseUnlessStopping(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    return !stopping_.wait_for(lock, pause, [this] { return stopped_; });
}

}  // namespace gridmint::test
