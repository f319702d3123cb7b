// A run of gridmint-extract over many pages: several SOURCEs, a list of them read from a
// file or standard input, or web archives whose HTML responses are pages. Pages are scanned
// on several threads and their tables printed in the order of the SOURCEs, as JSON lines or
// as a listing; a page that cannot be read is a warning, and the run goes on.
#pragma once

#include <string>

#include "Defaults.h"
#include "Options.h"

namespace gridmint::cli {

// Whether `source` names a web archive (*.warc, *.warc.gz, in any case).
bool isWebArchive(const std::string& source);

// Whether the options ask for a run over many pages: several SOURCEs, --sources-from, a web
// archive or --jsonl. Any other run reads one page, as it always has.
bool isBatchRun(const Options& options);

// Runs over every page with `defaults` as the settings; returns the exit status.
int runBatch(const Options& options, const Defaults& defaults);

}  // namespace gridmint::cli
