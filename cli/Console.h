// The tool's two output streams, written with plain write(2) so that large CSV texts go out
// without copies and a failed write (a full disk, a closed pipe) is seen and reported.
#pragma once

#include <string_view>

namespace gridmint::cli {

// Writes all of `bytes` to the descriptor, retrying after interruptions; false (with errno
// set) when a write fails.
bool writeAll(int fd, std::string_view bytes);

// Writes all of `bytes` to standard output; false (with errno set) when that fails.
bool writeStandardOutput(std::string_view bytes);

// Writes "gridmint-extract: <message>" and a line end to standard error.
void printError(std::string_view message);

// Writes `text` unchanged to standard error.
void writeStandardError(std::string_view text);

}  // namespace gridmint::cli
