// Helpers shared by the engine tests: parsing a literal page and describing its result in a
// compact, readable form ("name: [a|b] [c]; other: [x]").
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Defaults.h"
#include "HTMLTableParser.h"
#include "Log.h"
#include "Utf.h"

namespace gridmint::test {

inline std::string describe(const ResultDictionary& result) {
    std::string out;
    for (const auto& [name, table] : result) {
        if (!out.empty()) out += "; ";
        out += toUtf8(name) + ":";
        for (const auto& row : table) {
            out += " [";
            for (size_t i = 0; i < row.size(); ++i) {
                if (i > 0) out += "|";
                out += toUtf8(row[i]);
            }
            out += "]";
        }
    }
    return out;
}

inline std::unique_ptr<HTMLTableParser> parseBytes(std::string_view page, const Defaults& defaults,
                                                   TextEncoding encoding = encoding::utf8) {
    return HTMLTableParser::initWithData(ByteBuffer::copyOf(page), encoding, defaults);
}

inline std::string tablesOf(std::string_view page, bool consolidate = false) {
    InMemoryDefaults defaults;
    defaults.set(defaultsKey::consolidateWhitespace, consolidate);
    auto parser = parseBytes(page, defaults);
    return parser ? describe(parser->getResultDictionary()) : "<no parser>";
}

// Captures the log lines written while it lives.
class LogCapture {
  public:
    LogCapture() {
        previous_ = setLogSink([this](std::string_view line) { lines.emplace_back(line); });
    }
    ~LogCapture() { setLogSink(std::move(previous_)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines;

  private:
    LogSink previous_;
};

}  // namespace gridmint::test
