// Loading a page from what the user typed into the Open URL sheet. A load may take as long as
// the network does, so it runs on a worker thread (a WorkerJob) while the window stays live;
// the loader itself is an interface so that tests can stand in for the network.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "BrowserPage.h"
#include "Defaults.h"
#include "HTMLTableParser.h"

namespace gridmint {

// What a worker made of a page: the default reading's parser, or the page read as a browser
// does; neither when it could not be loaded.
struct PageLoad {
    std::unique_ptr<HTMLTableParser> parser;
    std::string failure;  // why not, for people (UTF-8)
    std::optional<BrowserPage> browser;
    std::string responseCharset;  // the charset an address's response named, if any
    std::string pageAddress;      // the address a fetched page came from, after redirects

    static PageLoad failed(std::string why) {
        PageLoad outcome;
        outcome.failure = std::move(why);
        return outcome;
    }
    static PageLoad of(std::unique_ptr<HTMLTableParser> parser) {
        PageLoad outcome;
        outcome.parser = std::move(parser);
        return outcome;
    }
    bool loaded() const { return parser || browser; }
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
