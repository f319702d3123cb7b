// A page load, a file read, or a scan of the source text, as work for a WorkerJob. The work
// reads a copy of the settings that loading and scanning read, taken when the work is made,
// because a settings store need not be safe to read from two threads.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <QString>

#include "PageLoader.h"
#include "WorkerJob.h"

namespace gridmint {

// What the work runs on the worker with its copy of the settings.
using PageWork =
    std::function<PageLoad(const Defaults& defaults, const std::atomic<bool>& cancelled)>;

// The reading that the window's Options menu chose; it stands for the stored keys.
struct ReadingChoice {
    bool browser = false;
    bool links = false;  // each cell's first link as a column; the browser reading only
};

// Runs `work` with a copy of `defaults`, in which `reading` stands for the stored keys, and
// leaves what it returns in `outcome`.
WorkerJob::Work pageLoadWork(PageWork work, const Defaults& defaults, ReadingChoice reading,
                             std::shared_ptr<PageLoad> outcome);
// Loads what the user typed through `loader`. A page loaded as bytes is read as a browser does
// when the settings choose that reading (`browserReading`).
PageWork loadThrough(std::shared_ptr<PageLoader> loader, std::u16string typed);
// Scans the source view's text by the reading the settings choose.
PageWork scanOfText(QString text);
// Reads a file's bytes and reads them as a browser does (Open File with that reading).
PageWork browserReadingOfFile(QString path);

}  // namespace gridmint
