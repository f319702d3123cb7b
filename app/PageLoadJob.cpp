#include "PageLoadJob.h"

#include <QMetaObject>

#include "FetchSettings.h"

namespace gridmint {

namespace {

// The settings that loading and scanning a page read. A settings store need not be safe to
// read from two threads, so the worker reads this copy instead.
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

PageLoadJob::PageLoadJob(PageWork work, const Defaults& defaults, QObject* parent)
    : QObject(parent), work_(std::move(work)), defaults_(snapshotOf(defaults)) {}

PageLoadJob::PageLoadJob(std::shared_ptr<PageLoader> loader, std::u16string typed,
                         const Defaults& defaults, QObject* parent)
    : PageLoadJob(
          [loader = std::move(loader), typed = std::move(typed)](
              const Defaults& settings, const std::atomic<bool>& cancelled) {
              return loader->load(typed, settings, cancelled);
          },
          defaults, parent) {}

PageLoadJob::~PageLoadJob() {
    cancelled_ = true;
    if (worker_.joinable()) worker_.join();
}

void PageLoadJob::start() {
    worker_ = std::thread([this] {
        // Written here, read on the main thread only after the queued call below arrives,
        // which orders the two.
        result_ = work_(defaults_, cancelled_);
        QMetaObject::invokeMethod(this, &PageLoadJob::workerDone, Qt::QueuedConnection);
    });
}

void PageLoadJob::cancel() {
    cancelled_ = true;
}

void PageLoadJob::workerDone() {
    worker_.join();
    if (cancelled_) {
        deleteLater();
        return;
    }
    emit finished();
}

}  // namespace gridmint
