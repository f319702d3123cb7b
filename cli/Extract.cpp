#include "Extract.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "Batch.h"
#include "BrowserReading.h"
#include "BrowserSettings.h"
#include "Console.h"
#include "CsvWriter.h"
#include "JsonWriter.h"
#include "OutputFile.h"
#include "SafeFileName.h"
#include "SourceLoader.h"
#include "TableListing.h"
#include "Utf.h"

namespace gridmint::cli {

namespace {

// The settings that the command line sets for this run.
InMemoryDefaults overridesFrom(const Options& options) {
    InMemoryDefaults overrides;
    if (options.verbose) overrides.set(defaultsKey::verbosity, 1L);
    if (options.consolidateWhitespace) overrides.set(defaultsKey::consolidateWhitespace, true);
    if (options.userAgent) overrides.set(defaultsKey::userAgent, *options.userAgent);
    if (options.csvSeparator) {
        overrides.set(defaultsKey::csvSeparator, std::string(1, *options.csvSeparator));
    }
    if (options.csvByteOrderMark) overrides.set(defaultsKey::csvByteOrderMark, true);
    if (options.csvCrlf) overrides.set(defaultsKey::csvLineEnds, std::string("crlf"));
    if (options.csvQuoting) {
        overrides.set(defaultsKey::csvQuoting,
                      std::string(*options.csvQuoting == CsvQuoting::minimal ? "minimal" : "all"));
    }
    if (options.csvGuardFormulas) overrides.set(defaultsKey::csvGuardFormulas, true);
    if (options.browser) overrides.set(defaultsKey::browserReading, true);
    if (options.spans) overrides.set(defaultsKey::spans, *options.spans);
    if (options.keepLineBreaks) overrides.set(defaultsKey::keepLineBreaks, true);
    if (options.links) overrides.set(defaultsKey::extractLinks, true);
    return overrides;
}

// The position of the table called `name`. The exact name wins; otherwise a name matches by
// its UTF-8 form, which is how --list shows it (a lone surrogate shows as U+FFFD).
std::optional<size_t> findTable(const ResultDictionary& result, const std::string& name) {
    const Text wanted = fromUtf8(name);
    for (size_t i = 0; i < result.size(); ++i) {
        if (result.at(i).first == wanted) return i;
    }
    for (size_t i = 0; i < result.size(); ++i) {
        if (toUtf8(result.at(i).first) == name) return i;
    }
    return std::nullopt;
}

class Run {
  public:
    // `links`, one entry per table when links were kept, shapes the JSON only: for CSV they
    // are columns of the tables already.
    Run(const Options& options, const CsvDialect& dialect, const std::string& source,
        const ResultDictionary& result, const std::vector<TableLinks>* links = nullptr)
        : options_(options), dialect_(dialect), source_(source), result_(result), links_(links) {}

    int printSelection() {
        switch (options_.selection) {
            case Selection::json: return deliver(jsonWithLineEnd());
            case Selection::list: return printList();
            case Selection::table: return printNamed();
            case Selection::index: return printIndexed();
            case Selection::all: return printAll();
            case Selection::automatic: return printSingle();
            case Selection::jsonl: break;  // a run over many pages, see Batch.cpp
        }
        return exitStatus::failure;
    }

  private:
    // Streams what `produce` writes to the output file when one is given, else to standard
    // output, chunk by chunk: the output is never held whole.
    int deliver(const ChunkProducer& produce) {
        if (options_.outputPath && *options_.outputPath != "-") {
            std::string error;
            if (writeFileAtomically(*options_.outputPath, produce, error)) {
                return exitStatus::success;
            }
            printError(error);
            return exitStatus::failure;
        }
        int cause = 0;
        const bool whole = produce([&cause](std::string_view chunk) {
            if (writeStandardOutput(chunk)) return true;
            cause = errno;
            return false;
        });
        if (whole) return exitStatus::success;
        printError(std::string("cannot write standard output: ") + std::strerror(cause));
        return exitStatus::failure;
    }

    int deliverText(const std::string& text) {
        return deliver([&text](const OutputSink& sink) { return sink(text); });
    }

    int deliverTable(size_t position) { return deliver(csvOf(result_.at(position).second)); }

    ChunkProducer csvOf(const Table& table) const {
        return [this, &table](const OutputSink& sink) {
            return writeCsvUtf8FromArrays(table, sink, dialect_);
        };
    }

    ChunkProducer jsonWithLineEnd() const {
        return [this](const OutputSink& sink) {
            const bool whole = links_ ? writeJsonFromResult(result_, *links_, sink)
                                      : writeJsonFromResult(result_, sink);
            return whole && sink("\n");
        };
    }

    int noTable() {
        printError("no table found in " + source_);
        return exitStatus::failure;
    }

    int printList() {
        if (result_.empty()) printError("no table found in " + source_);
        return deliverText(tableListing(result_));
    }

    int printNamed() {
        if (result_.empty()) return noTable();
        if (const auto position = findTable(result_, options_.tableName))
            return deliverTable(*position);
        printError("no table named '" + options_.tableName + "' in " + source_ +
                   "; its tables are:");
        writeStandardError(tableListing(result_));
        return exitStatus::failure;
    }

    int printIndexed() {
        if (result_.empty()) return noTable();
        if (options_.tableIndex <= result_.size()) return deliverTable(options_.tableIndex - 1);
        printError("no table number " + std::to_string(options_.tableIndex) + " in " + source_ +
                   ", which holds " + std::to_string(result_.size()) + ":");
        writeStandardError(tableListing(result_));
        return exitStatus::failure;
    }

    int printSingle() {
        if (result_.empty()) return noTable();
        if (result_.size() == 1) return deliverTable(0);
        writeStandardError(tableListing(result_));
        printError(source_ + " holds " + std::to_string(result_.size()) +
                   " tables; choose one with --table NAME or --index N, or write them all "
                   "with --all DIR");
        return exitStatus::usage;
    }

    // Writes each table to its own file; stops at the first file that cannot be written.
    int printAll() {
        if (result_.empty()) return noTable();
        const std::filesystem::path directory(options_.allDirectory);
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        if (error) {
            printError("cannot create directory '" + options_.allDirectory +
                       "': " + error.message());
            return exitStatus::failure;
        }
        UniqueFileStems stems;
        for (const auto& [name, table] : result_) {
            const std::string path = (directory / (stems.next(name) + ".csv")).string();
            std::string message;
            if (!writeFileAtomically(path, csvOf(table), message)) {
                printError(message);
                return exitStatus::failure;
            }
            if (!writeStandardOutput(path + "\n")) {
                printError(std::string("cannot write standard output: ") + std::strerror(errno));
                return exitStatus::failure;
            }
        }
        return exitStatus::success;
    }

    const Options& options_;
    const CsvDialect dialect_;
    const std::string& source_;
    const ResultDictionary& result_;
    const std::vector<TableLinks>* links_;
};

// The tool exits right after a run, and the system takes back a big result's memory at exit
// much faster than freeing its cells one by one would; so the last run's parser is kept
// (reachable, so leak checkers stay quiet) instead of destroyed.
void keepUntilExit(std::unique_ptr<HTMLTableParser> parser) {
    static HTMLTableParser* kept = nullptr;
    delete kept;
    kept = parser.release();
}

}  // namespace

// The browser reading of the loaded page's bytes.
int runBrowserReading(const Options& options, const Defaults& defaults, LoadedSource& loaded) {
    const std::string_view bytes = loaded.parser ? loaded.parser->bytes() : loaded.bytes.view();
    // Kept until exit (reachable, never destroyed), as the default reading's parser.
    static auto* const kept = new browser::BrowserResult;
    browser::BrowserResult& result = *kept;
    browser::BrowserOptions browserOptions = browser::browserOptionsFromDefaults(defaults);
    browserOptions.pageAddress = loaded.pageAddress;
    result = browser::readTablesFromBytesAsBrowser(bytes, browserOptions, loaded.transportCharset);
    if (result.outputTooLarge) {
        printError("the tables of " + loaded.description +
                   " would need more than 64 M cells or 1 G characters of output; nothing "
                   "written");
        return exitStatus::failure;
    }
    // JSON gives a linked cell as an object; everything else holds text only, so there the
    // links become columns.
    if (options.selection != Selection::json) browser::moveLinksIntoColumns(result);
    const CsvDialect dialect = csvDialectFromDefaults(defaults);
    const int status =
        Run(options, dialect, loaded.description, result.tables, &result.links).printSelection();
    keepUntilExit(std::move(loaded.parser));
    return status;
}

int runExtract(const Options& options, const Defaults& settings) {
    const InMemoryDefaults overrides = overridesFrom(options);
    const LayeredDefaults defaults(overrides, settings);
    const bool browserReading = defaults.boolForKey(defaultsKey::browserReading);
    // The setting alone keeps links wherever the browser reading is used, and asks nothing of
    // the default reading, so that one settings file serves both.
    if (options.links && !browserReading) {
        printError("option '--links' needs the browser reading: add --browser");
        return exitStatus::usage;
    }
    if (isBatchRun(options)) {
        if (options.links) {
            printError(
                "option '--links' reads one page: it cannot be combined with several "
                "pages (several SOURCEs, --sources-from, --jsonl or a web archive)");
            return exitStatus::usage;
        }
        return runBatch(options, defaults);
    }
    std::optional<std::string> source;
    if (!options.sources.empty()) source = options.sources.front();
    LoadedSource loaded = loadSource(source, options.encoding, defaults, !browserReading);
    if (browserReading) {
        if (!loaded.error.empty()) {
            printError(loaded.error);
            return exitStatus::failure;
        }
        return runBrowserReading(options, defaults, loaded);
    }
    if (!loaded.parser) {
        printError(loaded.error);
        return exitStatus::failure;
    }
    const CsvDialect dialect = csvDialectFromDefaults(defaults);
    const int status =
        Run(options, dialect, loaded.description, loaded.parser->getResultDictionary())
            .printSelection();
    keepUntilExit(std::move(loaded.parser));
    return status;
}

}  // namespace gridmint::cli
