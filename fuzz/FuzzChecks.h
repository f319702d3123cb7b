// The properties the fuzz targets check beyond "no crash": a broken one prints what broke
// and aborts, which libFuzzer and the replay runner both report as a failure.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string_view>

#include "ResultDictionary.h"
#include "Text.h"

namespace gridmint::fuzz {

[[noreturn]] inline void fail(const char* property) {
    std::fprintf(stderr, "fuzz property violated: %s\n", property);
    std::fflush(stderr);
    std::abort();
}

inline void require(bool holds, const char* property) {
    if (!holds) fail(property);
}

// Unicode's White_Space property, written out here rather than taken from the engine, so a
// wrong entry in the engine's own test cannot hide itself.
inline bool isUnicodeWhiteSpace(char16_t c) {
    switch (c) {
        case 0x0009:
        case 0x000A:
        case 0x000B:
        case 0x000C:
        case 0x000D:
        case 0x0020:
        case 0x0085:
        case 0x00A0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000: return true;
        default: return c >= 0x2000 && c <= 0x200A;
    }
}

// What every decoded cell text (and id or class value) must look like: trimmed, and with no
// line break left in it.
inline void requireCellText(std::u16string_view text) {
    if (text.empty()) return;
    require(!isUnicodeWhiteSpace(text.front()), "cell text starts with white space");
    require(!isUnicodeWhiteSpace(text.back()), "cell text ends with white space");
    require(text.find_first_of(u"\r\n") == std::u16string_view::npos, "cell text holds CR or LF");
}

// Every stored table has a row and every row a cell, every cell is well formed, and the names
// are unique and found again under their own name.
inline void requireWellFormed(const ResultDictionary& tables) {
    std::set<Text> names;
    for (const auto& [name, table] : tables) {
        require(names.insert(name).second, "two tables share a name");
        require(tables.find(name) == &table, "a table is not found under its own name");
        require(!table.empty(), "a stored table has no row");
        for (const TableRow row : table) {
            require(!row.empty(), "a stored row has no cell");
            for (const std::u16string_view cell : row) requireCellText(cell);
        }
    }
    require(names.size() == tables.size(), "table count differs from name count");
}

inline bool sameTables(const ResultDictionary& a, const ResultDictionary& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a.at(i) != b.at(i)) return false;
    }
    return true;
}

}  // namespace gridmint::fuzz
