// Writing a file so that its destination never holds a partial result: the bytes go to a
// temporary file beside the destination, are flushed to disk, and the temporary file is then
// renamed over the destination. Whatever fails, the destination keeps its old contents; a
// destination file that the user may not write is refused rather than replaced.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "OutputSink.h"

namespace gridmint::cli {

// Replaces the file at `path` with `bytes`. On failure returns false and sets `error` to a
// sentence naming the file and the system's reason; no temporary file is left behind.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// Produces a file's bytes chunk by chunk into the sink it is given; false when it stopped
// before the end (the sink refused a chunk).
using ChunkProducer = std::function<bool(const OutputSink& sink)>;

// The same, with the bytes appended to the temporary file as `produce` hands them over, so
// that they never need to be held at once. A file that `produce` leaves unfinished is never
// renamed into place.
bool writeFileAtomically(const std::string& path, const ChunkProducer& produce, std::string& error);

}  // namespace gridmint::cli
