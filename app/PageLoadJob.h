// One page load, or one scan of the source text, on a worker thread of its own. The job reports
// back on the thread that made it (the main thread), so its receiver never sees another thread.
// Cancelling raises the loader's flag and stops the report; the worker may still run for a moment,
// which is why a cancelled job deletes itself only once its thread has ended.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "PageLoader.h"

namespace gridmint {

// What a job runs on its worker: it reads only the settings it is given and should return
// soon after the flag becomes true.
using PageWork =
    std::function<PageLoad(const Defaults& defaults, const std::atomic<bool>& cancelled)>;

class PageLoadJob : public QObject {
    Q_OBJECT
  public:
    // Takes a copy of the settings a load reads, so the worker never touches `defaults`.
    PageLoadJob(PageWork work, const Defaults& defaults, QObject* parent = nullptr);
    // Loads what the user typed through `loader`.
    PageLoadJob(std::shared_ptr<PageLoader> loader, std::u16string typed, const Defaults& defaults,
                QObject* parent = nullptr);
    // Raises the cancel flag and waits for the worker.
    ~PageLoadJob() override;

    void start();
    // No report follows; the job deletes itself when its worker has ended.
    void cancel();
    // The outcome, once finished() has been emitted.
    PageLoad takeResult() { return std::move(result_); }

  signals:
    void finished();

  private:
    void workerDone();

    PageWork work_;
    InMemoryDefaults defaults_;
    std::atomic<bool> cancelled_{false};
    PageLoad result_;
    std::thread worker_;
};

}  // namespace gridmint
