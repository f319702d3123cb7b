// Turns the SOURCE of the command line into a finished parser: standard input for "-" or no
// SOURCE, otherwise a file. Every kind of source is decided here, so a new kind (a web
// address, say) is one more branch of loadSource and nothing else changes.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Defaults.h"
#include "HTMLTableParser.h"

namespace gridmint::cli {

struct LoadedSource {
    std::string description;  // how messages name the source: "'page.html'", "standard input"
    std::unique_ptr<HTMLTableParser> parser;  // set on success
    std::string error;                        // otherwise one sentence with the cause
};

// Reads the source and scans it with initWithData, starting from `encoding`.
LoadedSource loadSource(const std::optional<std::string>& source, TextEncoding encoding,
                        const Defaults& defaults);

}  // namespace gridmint::cli
