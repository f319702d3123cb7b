#include "Batch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <thread>

#include "BatchProgress.h"
#include "BrowserReading.h"
#include "ByteBuffer.h"
#include "Console.h"
#include "Extract.h"
#include "FetchSettings.h"
#include "JsonWriter.h"
#include "OrderedWork.h"
#include "OutputFile.h"
#include "RecordedResponse.h"
#include "SerialisedDefaults.h"
#include "SourceLoader.h"
#include "TableListing.h"
#include "UrlRoute.h"
#include "WarcReader.h"

namespace gridmint::cli {

namespace {

// An archived response's HTTP header may take this much room beside the page itself.
constexpr size_t responseHeaderRoom = 1024 * 1024;

bool endsWithIgnoringCase(const std::string& text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<long>(suffix.size()),
                      [](char a, char lower) {
                          return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) ==
                                 lower;
                      });
}

// One page to scan: a SOURCE, or a response taken from the archive SOURCE.
struct PageJob {
    std::string source;
    std::optional<WarcRecord> record;
    std::string warnings;  // lines to print before the page's output, in order
    bool readFailed = false;
    bool fromArchive = false;  // an archive's record, or only its warnings when no record
};

struct PageOutput {
    std::string text;
    std::string warnings;
    size_t tables = 0;
    uint64_t bytes = 0;
    bool scanned = false;
    bool failed = false;
};

void addWarning(std::string& warnings, const std::string& line) {
    warnings += line;
    warnings += '\n';
}

// Reads the SOURCEs of the command line, then those of --sources-from, one at a time, so
// a list arriving on a pipe is worked on as it comes.
class SourceList {
  public:
    explicit SourceList(const Options& options) : options_(options) {}

    // False at the end; an unreadable list is reported in `error`.
    bool next(std::string& source, std::string& error) {
        if (position_ < options_.sources.size()) {
            source = options_.sources[position_++];
            return true;
        }
        if (!options_.sourcesFrom) return false;
        if (!listOpened_) {
            listOpened_ = true;
            if (*options_.sourcesFrom != "-") {
                file_.open(*options_.sourcesFrom);
                if (!file_) {
                    error = "cannot read the list of sources '" + *options_.sourcesFrom +
                            "': " + std::strerror(errno);
                    return false;
                }
            }
        }
        std::istream& in = *options_.sourcesFrom == "-" ? std::cin : file_;
        while (std::getline(in, source)) {
            if (!source.empty() && source.back() == '\r') source.pop_back();
            if (!source.empty()) return true;
        }
        return false;
    }

  private:
    const Options& options_;
    size_t position_ = 0;
    bool listOpened_ = false;
    std::ifstream file_;
};

class BatchRun {
  public:
    BatchRun(const Options& options, const Defaults& defaults)
        : options_(options),
          defaults_(defaults),
          maxBodyBytes_(fetchOptionsFromSettings(defaults).maxBodyBytes),
          browserReading_(defaults.boolForKey(defaultsKey::browserReading)),
          progress_(isatty(STDERR_FILENO) == 1) {}

    // Runs everything, writing the output to `sink`; false when the sink failed.
    bool run(const OutputSink& sink) {
        sink_ = &sink;
        const size_t threads =
            options_.jobs ? options_.jobs : std::max(1u, std::thread::hardware_concurrency());
        OrderedWork<PageJob, PageOutput> work(
            threads, [this](PageJob& job) { return scan(job); },
            [this](PageOutput& output) { deliver(output); }, [this] { progress_.tick(); });
        SourceList sources(options_);
        std::string source, listError;
        while (!outputFailed_ && sources.next(source, listError)) {
            if (isWebArchive(source)) {
                readArchive(source, work);
            } else {
                work.submit(PageJob{source, std::nullopt, {}, false, false});
            }
        }
        work.finish();
        if (!listError.empty()) {
            progress_.warn(listError);
            anyFailed_ = true;
        }
        progress_.finish();
        return !outputFailed_;
    }

    bool anyFailed() const { return anyFailed_; }

  private:
    void readArchive(const std::string& source, OrderedWork<PageJob, PageOutput>& work) {
        ByteBuffer archive;
        int errorNumber = 0;
        if (!ByteBuffer::mapFile(source, archive, errorNumber)) {
            PageJob failed{source, std::nullopt, {}, true, true};
            addWarning(failed.warnings,
                       "cannot read '" + source + "': " + std::strerror(errorNumber));
            work.submit(std::move(failed));
            return;
        }
        std::string warnings;
        WarcReader reader(std::move(archive), maxBodyBytes_ + responseHeaderRoom,
                          [&warnings, &source](const std::string& message) {
                              addWarning(warnings, "'" + source + "': " + message);
                          });
        uint64_t counted = 0;
        while (!outputFailed_) {
            std::optional<WarcRecord> record = reader.nextResponse();
            progress_.addBytes(reader.bytesRead() - counted);
            counted = reader.bytesRead();
            if (!record && warnings.empty()) break;
            const bool last = !record;
            work.submit(PageJob{source, std::move(record), std::move(warnings), false, true});
            warnings.clear();
            if (last) break;
        }
    }

    PageOutput scan(PageJob& job) {
        PageOutput output;
        output.warnings = std::move(job.warnings);
        output.failed = job.readFailed;
        try {
            if (job.record) {
                scanRecord(job, output);
            } else if (!job.readFailed && !job.fromArchive) {
                scanSource(job, output);
            }
        } catch (const std::exception& error) {
            addWarning(output.warnings, "cannot scan '" + job.source + "': " + error.what());
            output.failed = true;
            output.text.clear();
        }
        return output;
    }

    void scanSource(const PageJob& job, PageOutput& output) {
        LoadedSource loaded =
            loadSource(job.source, options_.encoding, defaults_, !browserReading_);
        if (browserReading_ && loaded.error.empty()) {
            const std::string_view bytes =
                loaded.parser ? loaded.parser->bytes() : loaded.bytes.view();
            output.bytes = bytes.size();
            readAsBrowser(bytes, loaded.transportCharset, loaded.pageAddress, job.source,
                          std::nullopt, output);
            return;
        }
        if (!loaded.parser) {
            addWarning(output.warnings, loaded.error);
            output.failed = true;
            return;
        }
        output.bytes = loaded.parser->bytes().size();
        write(loaded.parser->getResultDictionary(), job.source, std::nullopt, output);
    }

    // The browser reading of a page's bytes, `transportCharset` the charset its response
    // named. Links stay out of a run over many pages: their JSON lines hold text only.
    void readAsBrowser(std::string_view bytes, const std::string& transportCharset,
                       const std::string& pageAddress, const std::string& source,
                       const std::optional<std::string>& url, PageOutput& output) const {
        browser::BrowserOptions browserOptions = browserOptionsFrom(defaults_);
        browserOptions.links = false;
        browserOptions.pageAddress = pageAddress;
        const browser::BrowserResult result =
            browser::readTablesFromBytesAsBrowser(bytes, browserOptions, transportCharset);
        if (result.outputTooLarge) {
            addWarning(output.warnings, "the tables of '" + (url ? *url : source) +
                                            "' would need more than 64 M cells or 1 G "
                                            "characters of output; skipped");
            output.failed = true;
            return;
        }
        write(result.tables, source, url, output);
    }

    void scanRecord(PageJob& job, PageOutput& output) {
        WarcRecord& record = *job.record;
        const std::string where = "'" + job.source + "': record at offset " +
                                  std::to_string(record.offset) + " (" + record.targetUri + "): ";
        RecordedResponse recorded = readRecordedResponse(std::move(record.block), maxBodyBytes_);
        switch (recorded.status) {
            case RecordedResponseStatus::ok: break;
            case RecordedResponseStatus::notHttp: return;
            case RecordedResponseStatus::malformed:
            case RecordedResponseStatus::tooLarge:
                addWarning(output.warnings, where + recorded.problem + "; skipped");
                return;
        }
        UrlLoadReport report;
        report.address = record.targetUri;
        auto parser = parserFromResponse(std::move(recorded.response), defaults_, report);
        if (!parser) return;  // not HTML, or empty: not a page
        if (browserReading_) {
            readAsBrowser(parser->bytes(), report.charset, record.targetUri, job.source,
                          record.targetUri, output);
            return;
        }
        write(parser->getResultDictionary(), job.source, record.targetUri, output);
    }

    void write(const ResultDictionary& result, const std::string& source,
               const std::optional<std::string>& url, PageOutput& output) const {
        output.scanned = true;
        output.tables = result.size();
        if (options_.selection == Selection::jsonl) {
            std::optional<std::string_view> urlView;
            if (url) urlView = *url;
            writeJsonLinesFromResult(result, JsonLineOrigin{source, urlView},
                                     appendingTo(output.text));
            return;
        }
        // A listing line per table, led by the page it belongs to.
        const std::string page = (url ? *url : source) + '\t';
        const std::string listing = tableListing(result);
        size_t lineStart = 0;
        while (lineStart < listing.size()) {
            const size_t lineEnd = listing.find('\n', lineStart);
            output.text += page;
            output.text.append(listing, lineStart, lineEnd + 1 - lineStart);
            lineStart = lineEnd + 1;
        }
    }

    void deliver(PageOutput& output) {
        size_t start = 0;
        while (start < output.warnings.size()) {
            const size_t end = output.warnings.find('\n', start);
            progress_.warn(std::string_view(output.warnings).substr(start, end - start));
            start = end + 1;
        }
        if (output.failed) anyFailed_ = true;
        if (output.scanned) progress_.addPage(output.tables);
        progress_.addBytes(output.bytes);
        if (!output.text.empty() && !outputFailed_ && !(*sink_)(output.text)) outputFailed_ = true;
    }

    const Options& options_;
    const Defaults& defaults_;
    const size_t maxBodyBytes_;
    const bool browserReading_;
    BatchProgress progress_;
    const OutputSink* sink_ = nullptr;
    bool anyFailed_ = false;
    bool outputFailed_ = false;
};

}  // namespace

bool isWebArchive(const std::string& source) {
    return endsWithIgnoringCase(source, ".warc") || endsWithIgnoringCase(source, ".warc.gz");
}

bool isBatchRun(const Options& options) {
    return options.sources.size() > 1 || options.sourcesFrom ||
           options.selection == Selection::jsonl ||
           std::any_of(options.sources.begin(), options.sources.end(), isWebArchive);
}

int runBatch(const Options& options, const Defaults& settings) {
    if (options.selection != Selection::jsonl && options.selection != Selection::list) {
        printError(
            "several pages (several SOURCEs, --sources-from or a web archive) are printed with "
            "--jsonl or --list");
        return exitStatus::usage;
    }
    const SerialisedDefaults defaults(settings);
    BatchRun batch(options, defaults);
    if (options.outputPath && *options.outputPath != "-") {
        std::string error;
        if (!writeFileAtomically(
                *options.outputPath, [&batch](const OutputSink& sink) { return batch.run(sink); },
                error)) {
            printError(error);
            return exitStatus::failure;
        }
    } else {
        int cause = 0;
        const OutputSink toStandardOutput = [&cause](std::string_view chunk) {
            if (writeStandardOutput(chunk)) return true;
            cause = errno;
            return false;
        };
        if (!batch.run(toStandardOutput)) {
            printError(std::string("cannot write standard output: ") + std::strerror(cause));
            return exitStatus::failure;
        }
    }
    return batch.anyFailed() ? exitStatus::failure : exitStatus::success;
}

}  // namespace gridmint::cli
