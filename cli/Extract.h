// One run of gridmint-extract: load the source, scan it, and print the part of the result
// that the options select. Options override the user's settings for this run only.
#pragma once

#include "Defaults.h"
#include "Options.h"

namespace gridmint::cli {

namespace exitStatus {
inline constexpr int success = 0;
inline constexpr int failure = 1;  // unreadable or empty input, no such table, write failed
inline constexpr int usage = 2;    // bad command line, or several tables and none chosen
}  // namespace exitStatus

// Runs with `settings` as the user's stored settings; returns the exit status.
int runExtract(const Options& options, const Defaults& settings);

}  // namespace gridmint::cli
