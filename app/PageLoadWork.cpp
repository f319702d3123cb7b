#include "PageLoadWork.h"

#include "FetchSettings.h"

namespace gridmint {

namespace {

// The settings that loading and scanning a page read.
InMemoryDefaults snapshotOf(const Defaults& defaults) {
    InMemoryDefaults snapshot;
    snapshot.set(defaultsKey::verbosity, defaults.integerForKey(defaultsKey::verbosity));
    snapshot.set(defaultsKey::consolidateWhitespace,
                 defaults.boolForKey(defaultsKey::consolidateWhitespace));
    for (const std::string_view key :
         {defaultsKey::fetchTimeoutSeconds, defaultsKey::fetchMaxBodyBytes}) {
        snapshot.set(key, defaults.integerForKey(key));
    }
    if (auto userAgent = defaults.stringForKey(defaultsKey::userAgent)) {
        snapshot.set(defaultsKey::userAgent, std::move(*userAgent));
    }
    return snapshot;
}

}  // namespace

WorkerJob::Work pageLoadWork(PageWork work, const Defaults& defaults,
                             std::shared_ptr<PageLoad> outcome) {
    return [work = std::move(work), settings = snapshotOf(defaults), outcome = std::move(outcome)](
               const std::atomic<bool>& cancelled) { *outcome = work(settings, cancelled); };
}

PageWork loadThrough(std::shared_ptr<PageLoader> loader, std::u16string typed) {
    return [loader = std::move(loader), typed = std::move(typed)](
               const Defaults& settings, const std::atomic<bool>& cancelled) {
        return loader->load(typed, settings, cancelled);
    };
}

}  // namespace gridmint
