// The browser reading: the tables, and the cell text, that a browser shows for a page, found
// in one pass without a document tree. Tables come in the order they start in the page.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CellLinks.h"
#include "ResultDictionary.h"
#include "SpanLayout.h"
#include "Text.h"

namespace gridmint::browser {

struct BrowserOptions {
    SpanMode spans = SpanMode::repeat;
    bool keepLineBreaks = false;
    // Keep each cell's first shown link <a href>, made absolute against the page's first
    // <base href>, else against `pageAddress`; with neither it stays as written. A link
    // goes with its cell's text, so a spanning cell's link fills the slots its text fills.
    bool links = false;
    // The address the page came from (UTF-8), or empty for pasted text and files.
    std::string pageAddress;
};

struct BrowserResult {
    ResultDictionary tables;
    // With links asked for, one entry per table of `tables`, in the same order.
    std::vector<TableLinks> links;
    // One entry per table of `tables`, in the same order.
    std::vector<TableSections> sections;
    bool outputTooLarge = false;  // the page's grid went past the output budget; no tables
    // The charset of the first <meta> that declares one (outside comments and raw text).
    std::optional<std::string> declaredCharset;
};

// Reads a page given as UTF-8; invalid sequences are read as U+FFFD.
BrowserResult readTablesAsBrowser(std::string_view utf8, const BrowserOptions& options);
// Reads a page's bytes in the encoding a browser settles for them: `transportCharset` is the
// label the response named, if any. A <meta> declaration met while reading decides when
// nothing before it did, and the page is read again in that encoding.
BrowserResult readTablesFromBytesAsBrowser(std::string_view bytes, const BrowserOptions& options,
                                           std::string_view transportCharset = {});
// Reads a page given as text (pasted text: no encoding to settle).
BrowserResult readTablesAsBrowser(std::u16string_view text, const BrowserOptions& options);

// Puts the links into columns of their tables (see withLinkColumns) and empties `links`:
// the form for CSV and for anything else that holds only text.
void moveLinksIntoColumns(BrowserResult& result);

// "repeat", "empty" or "none"; nothing for any other word.
std::optional<SpanMode> spanModeNamed(std::string_view name);

}  // namespace gridmint::browser
