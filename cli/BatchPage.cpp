#include "BatchPage.h"

#include <optional>
#include <utility>

#include "BrowserSettings.h"
#include "Extract.h"
#include "FetchSettings.h"
#include "JsonWriter.h"
#include "RecordedResponse.h"
#include "SourceLoader.h"
#include "TableListing.h"
#include "UrlRoute.h"

namespace gridmint::cli {

namespace {

void writeTables(const ResultDictionary& result, const std::string& source,
                 const std::optional<std::string>& url, const PageReading& reading,
                 PageOutput& output) {
    output.scanned = true;
    output.tables = result.size();
    if (reading.jsonLines) {
        std::optional<std::string_view> urlView;
        if (url) urlView = *url;
        writeJsonLinesFromResult(result, JsonLineOrigin{source, urlView}, appendingTo(output.text));
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

// The browser reading of a page's bytes, `transportCharset` the charset its response named
// and `pageAddress` the address it came from; a page whose grid would be too large to write
// is a warning and a failure.
void writeBrowserTables(std::string_view bytes, std::string_view transportCharset,
                        const std::string& pageAddress, const std::string& source,
                        const std::optional<std::string>& url, const PageReading& reading,
                        PageOutput& output) {
    browser::BrowserOptions options = reading.browserOptions;
    options.pageAddress = pageAddress;
    const browser::BrowserResult result =
        browser::readTablesFromBytesAsBrowser(bytes, options, transportCharset);
    if (result.outputTooLarge) {
        addWarning(output.warnings, "the tables of '" + (url ? *url : source) +
                                        "' would need more than 64 M cells or 1 G characters "
                                        "of output; skipped");
        output.failed = true;
        return;
    }
    writeTables(result.tables, source, url, reading, output);
}

}  // namespace

PageReading pageReadingFrom(const Defaults& defaults, TextEncoding encoding, bool jsonLines) {
    PageReading reading(defaults);
    reading.encoding = encoding;
    reading.browser = defaults.boolForKey(defaultsKey::browserReading);
    reading.browserOptions = browser::browserOptionsFromDefaults(defaults);
    // A run over many pages gives cell text only: its JSON lines have no form for links.
    reading.browserOptions.links = false;
    reading.maxBodyBytes = fetchOptionsFromSettings(defaults).maxBodyBytes;
    reading.jsonLines = jsonLines;
    return reading;
}

void addWarning(std::string& warnings, const std::string& line) {
    warnings += line;
    warnings += '\n';
}

PageOutput pageFromSource(const std::string& source, const PageReading& reading) {
    PageOutput output;
    LoadedSource loaded = loadSource(source, reading.encoding, reading.defaults, !reading.browser);
    if (!loaded.error.empty()) {
        addWarning(output.warnings, loaded.error);
        output.failed = true;
        return output;
    }
    if (reading.browser) {
        const std::string_view bytes = loaded.parser ? loaded.parser->bytes() : loaded.bytes.view();
        output.bytes = bytes.size();
        writeBrowserTables(bytes, loaded.transportCharset, loaded.pageAddress, source, std::nullopt,
                           reading, output);
        return output;
    }
    output.bytes = loaded.parser->bytes().size();
    writeTables(loaded.parser->getResultDictionary(), source, std::nullopt, reading, output);
    return output;
}

PageOutput pageFromRecord(const std::string& source, WarcRecord record,
                          const PageReading& reading) {
    PageOutput output;
    const std::string where = "'" + source + "': record at offset " +
                              std::to_string(record.offset) + " (" + record.targetUri + ")";
    RecordedResponse recorded = readRecordedResponse(std::move(record.block), reading.maxBodyBytes);
    switch (recorded.status) {
        case RecordedResponseStatus::ok: break;
        case RecordedResponseStatus::notHttp: return output;
        case RecordedResponseStatus::malformed:
        case RecordedResponseStatus::tooLarge:
            addWarning(output.warnings, where + ": " + recorded.problem + "; skipped");
            return output;
    }
    UrlLoadReport report;
    report.address = record.targetUri;
    auto parser = parserFromResponse(std::move(recorded.response), reading.defaults, report);
    if (!parser) return output;  // not HTML, or empty: not a page
    if (reading.browser) {
        // The body as the address route decoded it, in the charset its header named.
        writeBrowserTables(parser->bytes(), report.charset, record.targetUri, source,
                           record.targetUri, reading, output);
        return output;
    }
    writeTables(parser->getResultDictionary(), source, record.targetUri, reading, output);
    return output;
}

}  // namespace gridmint::cli
