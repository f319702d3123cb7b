// One page of a run over many pages turned into its output lines: a SOURCE (a file or an
// address) or an HTML response taken from a web archive, read by the reading the settings
// choose. The tool's batch and the Python module's JSON lines both come from here, so a page
// gives the same lines whichever of them reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "BrowserReading.h"
#include "Defaults.h"
#include "Text.h"
#include "WarcReader.h"

namespace gridmint::cli {

// An archived response's HTTP header may take this much room beside the page itself.
inline constexpr size_t responseHeaderRoom = 1024 * 1024;

struct PageReading {
    explicit PageReading(const Defaults& settings) : defaults(settings) {}

    // Read by every page: it must be safe to read from several threads at once.
    const Defaults& defaults;
    TextEncoding encoding = encoding::utf8;  // where the default reading of a file starts
    bool browser = false;
    browser::BrowserOptions browserOptions;
    size_t maxBodyBytes = 0;  // the page cap, for archived responses too
    bool jsonLines = true;    // JSON lines, else the listing
};

// The reading that `defaults` (the settings with the command line over them) choose.
PageReading pageReadingFrom(const Defaults& defaults, TextEncoding encoding, bool jsonLines);

struct PageOutput {
    std::string text;      // the page's lines
    std::string warnings;  // lines for standard error, in order
    size_t tables = 0;
    uint64_t bytes = 0;    // the page's size, when read from a file or an address
    bool scanned = false;  // a page was read (an archive's non-HTML records are not pages)
    bool failed = false;   // the page could not be read
};

void addWarning(std::string& warnings, const std::string& line);

// The page SOURCE names.
PageOutput pageFromSource(const std::string& source, const PageReading& reading);

// The response `record` of the archive `source`.
PageOutput pageFromRecord(const std::string& source, WarcRecord record, const PageReading& reading);

}  // namespace gridmint::cli
