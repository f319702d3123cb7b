// The progress line of a run over many pages: pages, tables and megabytes per second, on
// standard error when it is a terminal, redrawn at most once a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gridmint::cli {

class BatchProgress {
  public:
    explicit BatchProgress(bool shown);

    void addPage(size_t tables) {
        ++pages_;
        tables_ += tables;
    }
    void setBytesRead(uint64_t bytes) { bytes_ = bytes; }
    void addBytes(uint64_t bytes) { bytes_ += bytes; }
    // Redraws the line when a second has passed since it was last drawn.
    void tick();
    // Writes a warning on its own line, the progress line to be redrawn after it.
    void warn(std::string_view line);
    // Draws the final figures and ends the line.
    void finish();

  private:
    void draw();

    bool shown_;
    bool drawn_ = false;
    size_t pages_ = 0;
    size_t tables_ = 0;
    uint64_t bytes_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace gridmint::cli
