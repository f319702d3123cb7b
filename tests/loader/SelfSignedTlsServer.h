// An HTTPS server that no client trusts, for the tests of certificate failures: the
// `openssl` program makes a throwaway key and self-signed certificate in a private folder and
// serves them with `openssl s_server` as a child process on 127.0.0.1. The child is stopped
// and the folder removed when the object goes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace gridmint::test {

class SelfSignedTlsServer {
  public:
    // True when an `openssl` program is on the PATH; without it no server can start.
    static bool opensslInstalled();

    // Starts the server and waits until its port accepts connections; error() says why not.
    SelfSignedTlsServer();
    ~SelfSignedTlsServer();
    SelfSignedTlsServer(const SelfSignedTlsServer&) = delete;
    SelfSignedTlsServer& operator=(const SelfSignedTlsServer&) = delete;

    bool running() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    std::string url(std::string_view target) const;

  private:
    bool makeCertificate();
    bool startServer();
    bool waitUntilListening();

    std::string folder_;
    std::uint16_t port_ = 0;
    pid_t child_ = -1;
    std::string error_;
};

}  // namespace gridmint::test
