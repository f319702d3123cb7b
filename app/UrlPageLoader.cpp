#include "UrlPageLoader.h"

#include "CurlFetcher.h"
#include "FetchSettings.h"
#include "UrlRoute.h"

namespace gridmint {

PageLoad UrlPageLoader::load(const std::u16string& typed, const Defaults& defaults,
                             const std::atomic<bool>& cancelled) {
    CurlFetcher fetcher;
    FetchOptions options = fetchOptionsFromSettings(defaults);
    options.cancel = &cancelled;
    UrlLoadReport report;
    PageLoad outcome;
    outcome.parser = initWithUrl(typed, defaults, fetcher, options, &report);
    if (!outcome.parser) outcome.failure = describeFailure(report);
    outcome.responseCharset = report.charset;
    outcome.pageAddress = report.pageUrl;
    return outcome;
}

}  // namespace gridmint
