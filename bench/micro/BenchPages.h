// Inputs shared by the micro-benchmarks: generated pages held in memory, and their tables as
// the engine reads them. Each is made once per process, on first use, outside any timing.
#pragma once

#include <memory>
#include <string>

#include "Defaults.h"
#include "HTMLTableParser.h"
#include "Log.h"
#include "PageGenerator.h"

namespace gridmint::bench {

// Large enough to leave the caches, small enough to scan many times in a second.
inline constexpr size_t microPageSize = 4'000'000;

inline const std::string& pageOf(PageKind kind) {
    static const std::string tablePage = generatePage(PageKind::table, microPageSize, 1).html;
    static const std::string textPage = generatePage(PageKind::text, microPageSize, 1).html;
    return kind == PageKind::table ? tablePage : textPage;
}

inline const Defaults& benchDefaults() {
    static const InMemoryDefaults defaults;
    return defaults;
}

// The scan logs each table name it collects; in a benchmark those lines would be noise, and
// writing them would be measured along with the scan.
inline void silenceLog() {
    setLogSink([](std::string_view) {});
}

inline std::unique_ptr<HTMLTableParser> scanPage(std::string_view page) {
    return HTMLTableParser::initWithData(ByteBuffer::copyOf(page), encoding::utf8, benchDefaults());
}

// The tables of the table page, as the writers receive them.
inline const ResultDictionary& tablePageResult() {
    static const std::unique_ptr<HTMLTableParser> parser = [] {
        silenceLog();
        return scanPage(pageOf(PageKind::table));
    }();
    return parser->getResultDictionary();
}

}  // namespace gridmint::bench
