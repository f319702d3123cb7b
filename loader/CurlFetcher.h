// The fetcher for real use: HTTP, HTTPS and local files through libcurl. Each call has its
// own transfer and shares nothing, so calls may run at once on several threads.
#pragma once

#include "Fetcher.h"

namespace gridmint {

class CurlFetcher : public Fetcher {
  public:
    FetchResult fetch(const std::string& url, const std::string& userAgent,
                      const FetchOptions& options) override;
};

}  // namespace gridmint
