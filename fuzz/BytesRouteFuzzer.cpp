// The whole bytes route: any bytes, any encoding number, white-space consolidation and
// verbose logging on or off. Beyond not crashing, the result must be well formed, the
// run-skipping scan must give exactly what the byte-at-a-time scan gives (tables and log
// lines alike), and parsing the same bytes again must give the same again. The browser
// reading of the bytes must be well formed and repeatable too.
//
// Input: one byte picks the encoding, one byte holds the settings (bit 0 consolidation,
// bit 1 verbosity), the rest is the page.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "BrowserReading.h"
#include "FuzzChecks.h"
#include "FuzzInput.h"
#include "HTMLTableParser.h"
#include "Log.h"
#include "Utf.h"

namespace gridmint::fuzz {
namespace {

struct Parse {
    std::unique_ptr<HTMLTableParser> parser;
    std::vector<std::string> log;
};

Parse parse(std::string_view page, TextEncoding encoding, const Defaults& defaults, ScanMode mode) {
    Parse result;
    LogSink previous = setLogSink([&](std::string_view line) { result.log.emplace_back(line); });
    result.parser =
        HTMLTableParser::initWithData(ByteBuffer::copyOf(page), encoding, defaults, mode);
    setLogSink(std::move(previous));
    return result;
}

// A charset declared in the page replaces the encoding given, unless it maps to none.
TextEncoding expectedEncoding(std::string_view page, TextEncoding given) {
    if (auto charset = HTMLTableParser::extractCharsetFromHTML(page)) {
        if (TextEncoding declared = HTMLTableParser::encodingForCharset(*charset)) return declared;
    }
    return given;
}

void requireSame(const Parse& a, const Parse& b, const char* what) {
    require(a.parser->encoding() == b.parser->encoding(), what);
    require(sameTables(a.parser->getResultDictionary(), b.parser->getResultDictionary()), what);
    require(a.log == b.log, what);
}

// The browser reading of the same bytes: names unique, cells trimmed of HTML white space and
// on one line (line breaks are not kept here), and the same again on a second reading.
void requireBrowserReading(std::string_view page) {
    const browser::BrowserResult first = browser::readTablesFromBytesAsBrowser(page, {});
    std::set<Text> names;
    for (const auto& [name, table] : first.tables) {
        require(names.insert(name).second, "browser reading: two tables share a name");
        for (const TableRow row : table) {
            for (const std::u16string_view cell : row) {
                if (cell.empty()) continue;
                for (const char16_t end : {cell.front(), cell.back()})
                    require(
                        std::u16string_view(u" \t\n\f\r").find(end) == std::u16string_view::npos,
                        "browser reading: cell text not trimmed");
                require(cell.find_first_of(u"\r\n") == Text::npos,
                        "browser reading: cell text holds CR or LF");
            }
        }
    }
    const browser::BrowserResult second = browser::readTablesFromBytesAsBrowser(page, {});
    require(
        first.outputTooLarge == second.outputTooLarge && sameTables(first.tables, second.tables),
        "browser reading: the same bytes read twice differ");
}

}  // namespace
}  // namespace gridmint::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace gridmint;
    using namespace gridmint::fuzz;

    FuzzInput input(data, size);
    const TextEncoding encoding = input.takeEncoding();
    const std::uint8_t settings = input.takeByte();
    const std::string_view page = input.rest();

    InMemoryDefaults defaults;
    defaults.set(defaultsKey::consolidateWhitespace, (settings & 1) != 0);
    defaults.set(defaultsKey::verbosity, static_cast<long>((settings >> 1) & 1));

    requireBrowserReading(page);
    const Parse fast = parse(page, encoding, defaults, ScanMode::skipRuns);
    require((fast.parser != nullptr) == !page.empty(),
            "a parser exists exactly for non-empty bytes");
    if (!fast.parser) return 0;

    const HTMLTableParser& parser = *fast.parser;
    require(parser.bytes() == page, "the parser does not hold the bytes it was given");
    require(parser.encoding() == expectedEncoding(page, encoding), "wrong encoding settled");
    requireWellFormed(parser.getResultDictionary());

    const Text dataString = parser.getDataString();
    if (isValidUtf8(page)) {
        require(toUtf8(dataString) == page, "the data string does not give back the UTF-8 bytes");
    } else {
        require(dataString.empty(), "the data string of bytes that are not UTF-8 is not empty");
    }

    requireSame(fast, parse(page, encoding, defaults, ScanMode::byteAtATime),
                "skipping runs and reading byte at a time differ");
    requireSame(fast, parse(page, encoding, defaults, ScanMode::skipRuns),
                "the same bytes parsed twice differ");
    return 0;
}
