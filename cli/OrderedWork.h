// Work on a stream of jobs spread over threads, with the results handed back in the order
// the jobs came in. Jobs are submitted and results delivered on the caller's thread; at most
// a few jobs per thread are in flight, so memory stays bounded however many jobs there are.
// With one thread no other thread is started and each job is done as it is submitted.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace gridmint::cli {

template <class Job, class Result>
class OrderedWork {
  public:
    using Work = std::function<Result(Job&)>;
    using Deliver = std::function<void(Result&)>;
    // `idle` is called at least once a second while the caller waits, and after each job.
    OrderedWork(size_t threads, Work work, Deliver deliver, std::function<void()> idle)
        : work_(std::move(work)),
          deliver_(std::move(deliver)),
          idle_(std::move(idle)),
          limit_(threads * 2) {
        if (threads > 1) {
            for (size_t i = 0; i < threads; ++i) workers_.emplace_back([this] { workLoop(); });
        }
    }

    ~OrderedWork() { finish(); }
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    void submit(Job job) {
        if (workers_.empty()) {
            Result result = work_(job);
            deliver_(result);
            idle_();
            return;
        }
        std::unique_lock lock(mutex_);
        while (submitted_ - delivered_ >= limit_) waitAndDeliver(lock);
        queue_.emplace_back(submitted_++, std::move(job));
        jobReady_.notify_one();
    }

    // Waits for every job and delivers the remaining results; the threads end.
    void finish() {
        if (workers_.empty()) return;
        {
            std::unique_lock lock(mutex_);
            while (delivered_ < submitted_) waitAndDeliver(lock);
            closing_ = true;
        }
        jobReady_.notify_all();
        for (std::thread& worker : workers_) worker.join();
        workers_.clear();
    }

  private:
    void waitAndDeliver(std::unique_lock<std::mutex>& lock) {
        if (results_.count(delivered_) == 0) {
            resultReady_.wait_for(lock, std::chrono::seconds(1));
        }
        while (!results_.empty() && results_.begin()->first == delivered_) {
            Result result = std::move(results_.begin()->second);
            results_.erase(results_.begin());
            ++delivered_;
            lock.unlock();
            deliver_(result);
            lock.lock();
        }
        lock.unlock();
        idle_();
        lock.lock();
    }

    void workLoop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            jobReady_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            auto [number, job] = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            Result result = work_(job);
            lock.lock();
            results_.emplace(number, std::move(result));
            resultReady_.notify_one();
        }
    }

    Work work_;
    Deliver deliver_;
    std::function<void()> idle_;
    size_t limit_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable resultReady_;
    std::deque<std::pair<size_t, Job>> queue_;
    std::map<size_t, Result> results_;
    size_t submitted_ = 0;
    size_t delivered_ = 0;
    bool closing_ = false;
};

}  // namespace gridmint::cli
