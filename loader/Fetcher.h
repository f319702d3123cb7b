// The one door to the network: fetch the resource at an address and hand back its body and
// the little the address route needs of the response. The app and the command-line tool go
// through this interface so that tests can put a fake in its place.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace gridmint {

struct FetchOptions {
    std::chrono::milliseconds connectTimeout{60'000};
    // The transfer is abandoned when no byte arrives for this long; a slow but steady
    // download is never cut off.
    std::chrono::milliseconds idleTimeout{60'000};
    // A body that would grow beyond this many bytes is refused, so no page can exhaust memory.
    size_t maxBodyBytes = size_t{512} * 1024 * 1024;
    long maxRedirects = 10;
    // When set, the transfer is abandoned soon after the flag becomes true (the app's Cancel).
    const std::atomic<bool>* cancel = nullptr;
};

enum class FetchError {
    none,
    badAddress,         // the fetcher could not use the address
    unsupportedScheme,  // only http, https and file are fetched
    hostNotFound,
    refused,    // no connection could be made
    notFound,   // a local file that does not exist or cannot be read
    timedOut,   // connecting took too long, or the server went silent
    reset,      // the server reset the connection
    cutShort,   // the connection closed before the whole body had arrived
    malformed,  // the response broke the rules of HTTP (a chunk size that is no number, …)
    tooLarge,
    tooManyRedirects,
    badCertificate,  // the server's certificate could not be verified
    insecure,        // the TLS handshake failed
    cancelled,
    other,
};

struct FetchResult {
    // False when the exchange did not end with a complete body (any error below).
    bool gotBody = false;
    std::string body;
    // True for an HTTP(S) response, which carries header fields; a file has none.
    bool isHttp = false;
    // The Content-Type of the last response (after redirects), when it had one.
    std::optional<std::string> contentType;
    long status = 0;  // the HTTP status; 0 for files and failed exchanges
    // The address the body came from, after redirects; empty when the fetcher cannot say.
    std::string finalUrl;
    FetchError error = FetchError::none;
    std::string errorMessage;  // the transfer layer's own words, for people
};

class Fetcher {
  public:
    virtual ~Fetcher() = default;
    // Fetches `url` with a GET that bypasses every cache; `userAgent` is sent as the
    // "User-Agent" header. Blocks the calling thread until the exchange ends.
    virtual FetchResult fetch(const std::string& url, const std::string& userAgent,
                              const FetchOptions& options) = 0;
};

}  // namespace gridmint
