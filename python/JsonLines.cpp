#include "JsonLines.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "Batch.h"
#include "BatchPage.h"
#include "ByteBuffer.h"
#include "FetchSettings.h"
#include "WarcReader.h"

namespace gridmint::python {

namespace {

// The lines of the archive's records in `range`, one record after another.
void archiveLines(const std::string& source, const cli::PageReading& reading, WarcRange range,
                  cli::PageOutput& all) {
    ByteBuffer archive;
    int errorNumber = 0;
    if (!ByteBuffer::mapFile(source, archive, errorNumber)) {
        cli::addWarning(all.warnings,
                        "cannot read '" + source + "': " + std::strerror(errorNumber));
        return;
    }
    WarcReader reader(
        std::move(archive), reading.maxBodyBytes + cli::responseHeaderRoom,
        [&all, &source](const std::string& message) {
            cli::addWarning(all.warnings, "'" + source + "': " + message);
        },
        range);
    while (std::optional<WarcRecord> record = reader.nextResponse()) {
        cli::PageOutput page = cli::pageFromRecord(source, std::move(*record), reading);
        all.text += page.text;
        all.warnings += page.warnings;
    }
}

py::list warningList(std::string_view warnings) {
    py::list list;
    size_t start = 0;
    while (start < warnings.size()) {
        const size_t end = warnings.find('\n', start);
        list.append(py::str(std::string(warnings.substr(start, end - start))));
        start = end + 1;
    }
    return list;
}

}  // namespace

py::tuple jsonLinesOf(const py::object& source, uint64_t begin, uint64_t end,
                      const ReadOptions& options) {
    const Reading called = readingFor(options);
    if (called.browser && !called.transportCharset.empty()) {
        throw py::value_error(
            "encoding with browser=True: gridmint-extract --jsonl has no charset to give "
            "the browser reading; a page's charset comes from the page or its response");
    }
    const std::string path = py::module_::import("os").attr("fsdecode")(source).cast<std::string>();
    cli::PageReading reading(called.settings);
    reading.encoding = called.encoding;
    reading.browser = called.browser;
    reading.browserOptions = called.browserOptions;
    reading.maxBodyBytes = fetchOptionsFromSettings(called.settings).maxBodyBytes;
    cli::PageOutput output;
    {
        py::gil_scoped_release unlocked;
        if (cli::isWebArchive(path)) {
            archiveLines(path, reading, WarcRange{begin, end}, output);
        } else {
            output = cli::pageFromSource(path, reading);
        }
    }
    return py::make_tuple(py::bytes(output.text), warningList(output.warnings));
}

}  // namespace gridmint::python
