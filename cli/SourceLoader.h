// Turns the SOURCE of the command line into a finished parser: standard input for "-" or no
// SOURCE, a file for a path that exists or is written as one, otherwise an address fetched
// through the address route. Every kind of source is decided here.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Defaults.h"
#include "HTMLTableParser.h"

namespace gridmint::cli {

struct LoadedSource {
    std::string description;  // how messages name the source: "'page.html'", "standard input"
    std::unique_ptr<HTMLTableParser> parser;  // set on success, unless the bytes are not scanned
    ByteBuffer bytes;                         // a local source's bytes when not scanned
    std::string transportCharset;             // the charset an address's response named
    std::string pageAddress;                  // where an address's page came from (UTF-8)
    std::string error;                        // otherwise one sentence with the cause
};

// Reads the source and scans it: bytes from a file or standard input with initWithData,
// starting from `encoding`; an address with initWithUrl.
// With `scan` false a file or standard input is only read (into `bytes`), for the browser
// reading; an address is still fetched through the address route, which scans it.
LoadedSource loadSource(const std::optional<std::string>& source, TextEncoding encoding,
                        const Defaults& defaults, bool scan = true);

}  // namespace gridmint::cli
