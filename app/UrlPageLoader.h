// The page loader for real use: the address route over the network or the file system.
#pragma once

#include "PageLoader.h"

namespace gridmint {

class UrlPageLoader : public PageLoader {
  public:
    PageLoad load(const std::u16string& typed, const Defaults& defaults,
                  const std::atomic<bool>& cancelled) override;
};

}  // namespace gridmint
