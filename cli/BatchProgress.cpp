#include "BatchProgress.h"

#include <cstdio>
#include <string>

#include "Console.h"

namespace gridmint::cli {

BatchProgress::BatchProgress(bool shown)
    : shown_(shown), start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

void BatchProgress::tick() {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < std::chrono::seconds(1)) return;
    lastDraw_ = now;
    draw();
}

void BatchProgress::draw() {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double megabytes = static_cast<double>(bytes_) / 1e6;
    char line[160];
    std::snprintf(line, sizeof line, "\r\033[K%zu pages, %zu tables, %.1f MB/s", pages_, tables_,
                  seconds > 0 ? megabytes / seconds : 0.0);
    writeStandardError(line);
    drawn_ = true;
}

void BatchProgress::warn(std::string_view line) {
    if (drawn_) writeStandardError("\r\033[K");
    drawn_ = false;
    printError(line);
}

void BatchProgress::finish() {
    if (!shown_) return;
    draw();
    writeStandardError("\n");
}

}  // namespace gridmint::cli
