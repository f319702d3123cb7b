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
#include "PaddedBytes.h"
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

// A copy of some bytes followed by a readable tail of 16 `tail` bytes, in memory of exactly
// that size, so that a sanitizer reports any read beyond the tail. What the tail holds must
// never change a result: tests fill it with bytes that would, if it were read as input.
class PaddedCopy {
  public:
    PaddedCopy(std::string_view bytes, char tail)
        : size_(bytes.size()), storage_(bytes.size() + PaddedBytes::readablePastEnd, tail) {
        bytes.copy(storage_.data(), bytes.size());
    }
    PaddedBytes bytes() const { return PaddedBytes::withReadableTail(storage_.data(), size_); }

  private:
    std::size_t size_;
    std::vector<char> storage_;
};

// Tails for PaddedCopy, each of which would change a result if it were taken as input: plain
// text, white space at the end, a reference's end, a reference's start, bytes that are not
// UTF-8, NUL.
inline constexpr char kTailBytes[] = {'x', ' ', ';', '&', '\x80', '\0', '\n'};

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
