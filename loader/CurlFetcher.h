// The fetcher for real use: HTTP, HTTPS and local files through libcurl. Each call has its
// own transfer and shares nothing, so calls may run at once on several threads.
#pragma once

#include "Fetcher.h"

namespace gridmint {

class CurlLibrary;

class CurlFetcher : public Fetcher {
  public:
    // Fetches through the process's libcurl, opened at the first fetch.
    CurlFetcher() = default;
    // Fetches through `library`, which must outlive the fetcher.
    explicit CurlFetcher(const CurlLibrary& library) : library_(&library) {}

    FetchResult fetch(const std::string& url, const std::string& userAgent,
                      const FetchOptions& options) override;

  private:
    const CurlLibrary* library_ = nullptr;
};

}  // namespace gridmint
