// Loading a page from what the user typed into the Open URL sheet. A load may take as long as
// the network does, so it runs on a worker thread (a WorkerJob) while the window stays live;
// the loader itself is an interface so that tests can stand in for the network.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "Defaults.h"
#include "HTMLTableParser.h"

namespace gridmint {

struct PageLoad {
    std::unique_ptr<HTMLTableParser> parser;  // none when the page could not be loaded
    std::string failure;                      // why not, for people (UTF-8)
};

class PageLoader {
  public:
    virtual ~PageLoader() = default;
    // Runs on a worker thread, possibly on several at once, and may block; it should return
    // soon after `cancelled` becomes true. `defaults` belongs to this one load.
    virtual PageLoad load(const std::u16string& typed, const Defaults& defaults,
                          const std::atomic<bool>& cancelled) = 0;
};

}  // namespace gridmint
