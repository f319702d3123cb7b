// Where a writer's output goes when it is not built up as one string: the writer fills a
// bounded buffer and hands each full chunk, in order, to the sink. A chunk is valid only
// during the call. The sink returns false when it cannot take a chunk (a failed write); the
// writer then stops and reports false itself, so a caller never mistakes a cut-short output
// for a whole one.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace gridmint {

using OutputSink = std::function<bool(std::string_view chunk)>;

// A sink that appends every chunk to `text`, for callers that want the output whole.
inline OutputSink appendingTo(std::string& text) {
    return [&text](std::string_view chunk) {
        text.append(chunk);
        return true;
    };
}

}  // namespace gridmint
