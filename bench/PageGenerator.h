// Seeded HTML pages for measuring extraction: table-heavy pages (about one cell per 50 bytes)
// and text-heavy pages (long paragraphs, a table now and then), both with the things real
// pages carry between and inside tables: entities, links, line breaks, non-ASCII UTF-8 text,
// head and body sections, attributes, scripts and comments. The same kind, size and seed
// always give the same bytes, on every platform, so results from different runs compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gridmint::bench {

enum class PageKind { table, text };

std::optional<PageKind> pageKindFromName(std::string_view name);

// What a page holds, counted while it was written. Every table is closed and every row and
// cell has its end tag, and nothing table-like stands inside comments or scripts except the
// tables counted in `commentedOutTables`, which a reader must skip.
struct PageStats {
    size_t tables = 0;
    size_t rows = 0;
    size_t cells = 0;         // td and th elements
    size_t headSections = 0;  // thead elements, each closed with "</thead>"
    size_t commentedOutTables = 0;
};

struct Page {
    std::string html;
    PageStats stats;
};

// A page of exactly `size` bytes (or the smallest page the kind allows, when `size` is below
// it), declared and written as UTF-8.
Page generatePage(PageKind kind, size_t size, uint64_t seed);

// The bytes that typical cells of the table pages leave for decoding once their tags are
// gone: each tag replaced by one space, entities and non-ASCII text kept as written.
std::vector<std::string> sampleCellBytes(size_t count, uint64_t seed);

}  // namespace gridmint::bench
