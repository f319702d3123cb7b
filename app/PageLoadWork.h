// A page load, or a scan of the source text, as work for a WorkerJob. The work reads a copy
// of the settings that loading and scanning read, taken when the work is made, because a
// settings store need not be safe to read from two threads.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "PageLoader.h"
#include "WorkerJob.h"

namespace gridmint {

// What the work runs on the worker with its copy of the settings.
using PageWork =
    std::function<PageLoad(const Defaults& defaults, const std::atomic<bool>& cancelled)>;

// Runs `work` with a copy of `defaults` and leaves what it returns in `outcome`.
WorkerJob::Work pageLoadWork(PageWork work, const Defaults& defaults,
                             std::shared_ptr<PageLoad> outcome);
// Loads what the user typed through `loader`.
PageWork loadThrough(std::shared_ptr<PageLoader> loader, std::u16string typed);

}  // namespace gridmint
