#include "Batch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <thread>

#include "BatchPage.h"
#include "BatchProgress.h"
#include "ByteBuffer.h"
#include "Console.h"
#include "Extract.h"
#include "OrderedWork.h"
#include "OutputFile.h"
#include "SerialisedDefaults.h"
#include "WarcReader.h"

namespace gridmint::cli {

namespace {

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
          reading_(
              pageReadingFrom(defaults, options.encoding, options.selection == Selection::jsonl)),
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
        WarcReader reader(std::move(archive), reading_.maxBodyBytes + responseHeaderRoom,
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
        try {
            if (job.record) {
                output = pageFromRecord(job.source, std::move(*job.record), reading_);
            } else if (!job.readFailed && !job.fromArchive) {
                output = pageFromSource(job.source, reading_);
            }
        } catch (const std::exception& error) {
            output = PageOutput{};
            addWarning(output.warnings, "cannot scan '" + job.source + "': " + error.what());
            output.failed = true;
        }
        output.warnings.insert(0, job.warnings);
        output.failed = output.failed || job.readFailed;
        return output;
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
    const PageReading reading_;
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
