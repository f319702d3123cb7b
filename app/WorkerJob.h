// Work that runs on a worker thread of its own and reports back on the thread that made the
// job (the main thread), so its receiver never sees another thread. The work hands its outcome
// over through what it captured; the report orders that write before the receiver reads it.
// Cancelling raises the work's flag and stops the report; the worker may still run for a
// moment, which is why a cancelled job deletes itself only once its thread has ended.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

namespace gridmint {

class WorkerJob : public QObject {
    Q_OBJECT
  public:
    // The work should return soon after its flag becomes true.
    using Work = std::function<void(const std::atomic<bool>& cancelled)>;

    explicit WorkerJob(Work work, QObject* parent = nullptr);
    // Raises the cancel flag and waits for the worker.
    ~WorkerJob() override;

    void start();
    // No report follows; the job deletes itself when its worker has ended.
    void cancel();

  signals:
    void finished();

  private:
    void workerDone();

    Work work_;
    std::atomic<bool> cancelled_{false};
    std::thread worker_;
};

}  // namespace gridmint
