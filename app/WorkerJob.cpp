#include "WorkerJob.h"

#include <QMetaObject>

namespace gridmint {

WorkerJob::WorkerJob(Work work, QObject* parent) : QObject(parent), work_(std::move(work)) {}

WorkerJob::~WorkerJob() {
    cancelled_ = true;
    if (worker_.joinable()) worker_.join();
}

void WorkerJob::start() {
    worker_ = std::thread([this] {
        work_(cancelled_);
        QMetaObject::invokeMethod(this, &WorkerJob::workerDone, Qt::QueuedConnection);
    });
}

void WorkerJob::cancel() {
    cancelled_ = true;
}

void WorkerJob::workerDone() {
    worker_.join();
    if (cancelled_) {
        deleteLater();
        return;
    }
    emit finished();
}

}  // namespace gridmint
