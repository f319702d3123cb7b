// The command line of gridmint-extract, parsed into what one run should do. Parsing only
// reads the arguments; checking that files and tables exist is the run's business.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "CsvDialect.h"
#include "Text.h"

namespace gridmint::cli {

// Which part of the result a run prints.
enum class Selection {
    automatic,  // the one table, or an error when there are none or several
    json,       // the whole result as one JSON object
    list,       // one line per table
    table,      // the table named by tableName
    index,      // the table at tableIndex (1-based)
    all,        // every table into its own file in allDirectory
    jsonl,      // one JSON object per line per table, for any number of pages
};

struct Options {
    bool help = false;
    bool version = false;
    Selection selection = Selection::automatic;
    std::string tableName;  // verbatim, UTF-8
    size_t tableIndex = 0;
    std::string allDirectory;
    std::optional<std::string> outputPath;  // "-" is standard output
    TextEncoding encoding = encoding::utf8;
    bool consolidateWhitespace = false;
    bool verbose = false;
    bool browser = false;                  // the browser reading, this run
    std::optional<std::string> spans;      // "repeat", "empty" or "none", this run
    bool keepLineBreaks = false;           // the browser reading keeps line breaks, this run
    bool links = false;                    // the browser reading keeps cells' links, this run
    std::optional<std::string> userAgent;  // the User-Agent sent for an address, this run
    // The SOURCEs in the order given; none means standard input, and so does "-".
    std::vector<std::string> sources;
    // Where more SOURCEs are read from, one a line ("-" for standard input).
    std::optional<std::string> sourcesFrom;
    size_t jobs = 0;  // threads scanning pages at once; 0 for one per core
    // The CSV form for this run; each one given wins over the settings.
    std::optional<char> csvSeparator;
    bool csvByteOrderMark = false;
    bool csvCrlf = false;
    std::optional<CsvQuoting> csvQuoting;
    bool csvGuardFormulas = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // set when the command line cannot be used; the run exits with 2
};

// `arguments` excludes the program name.
ParsedOptions parseOptions(const std::vector<std::string>& arguments);

// The text of --help.
std::string usageText();

// The text of --version, e.g. "gridmint-extract 1.0.0 (42)".
std::string versionText();

}  // namespace gridmint::cli
