// A small HTTP/1.1 server for the loader's tests: it listens on 127.0.0.1 on a port the
// system picks, answers each path with a scripted response (which can stall, trickle, be
// chunked or break off) and records the requests it received. One thread per connection; stopping
// wakes every stalled answer, so a test never waits on the server.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace gridmint::test {

struct ScriptedResponse {
    enum class Stall { never, beforeHeaders, afterHeaders };
    // How an answer cut short ends: the connection closed in order, or reset (RST).
    enum class Cut { never, close, reset };

    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // sent as given, in order
    std::string body;
    bool sendContentLength = true;
    bool chunked = false;        // "Transfer-Encoding: chunked", one chunk per piece
    Stall stall = Stall::never;  // stalls until the server stops
    // The body goes out in pieces of this size with this pause before each.
    size_t pieceSize = 0;  // 0: the whole body at once
    std::chrono::milliseconds pause{0};
    // The body stops after `cutAfter` of its bytes, whatever the headers or the chunk sizes
    // announced, and the connection ends as `cut` says.
    Cut cut = Cut::never;
    size_t cutAfter = 0;
    // When set, these bytes go out as they are in place of the whole answer above.
    std::optional<std::string> raw = std::nullopt;
};

struct RecordedRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    // The value of the first header of that name (any case), if any.
    std::optional<std::string> header(std::string_view name) const;
    size_t count(std::string_view name) const;
};

class TestHttpServer {
  public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Answers requests for `target` (path and query) with `response`; other targets get 404.
    void route(std::string target, ScriptedResponse response);
    std::string url(std::string_view target) const;
    std::uint16_t port() const { return port_; }
    std::vector<RecordedRequest> requests() const;

    void stop();

  private:
    void acceptLoop();
    void serve(int socket);
    bool readRequest(int socket, RecordedRequest& request);
    void answer(int socket, const ScriptedResponse& response);
    bool sendBody(int socket, const ScriptedResponse& response);
    bool sendAll(int socket, std::string_view bytes);
    bool pauseUnlessStopping(std::chrono::milliseconds pause);

    int listener_ = -1;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::map<std::string, ScriptedResponse, std::less<>> routes_;
    std::vector<RecordedRequest> requests_;
    std::vector<int> clients_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// A port on 127.0.0.1 on which nothing listens (bound, then released).
std::uint16_t unusedPort();

}  // namespace gridmint::test
