// The whole result as one JSON object: table names in storage order, each an array of rows,
// each row an array of cell strings. UTF-8; a lone surrogate is written as a \uDXXX escape.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CellLinks.h"
#include "OutputSink.h"
#include "ResultDictionary.h"

namespace gridmint {

std::string jsonFromResult(const ResultDictionary& result);

// The same bytes handed to `sink` in chunks of a bounded size, so that no more than one chunk
// is ever held. False as soon as the sink refuses a chunk; nothing more is written then.
bool writeJsonFromResult(const ResultDictionary& result, const OutputSink& sink);

// Where a page's tables came from, as its JSON lines name it (UTF-8).
struct JsonLineOrigin {
    std::string_view source;
    std::optional<std::string_view> url;  // the page's address inside an archive
};

// One JSON object per table, in storage order, each followed by a line end:
// {"source":…,"url":…,"index":n,"name":…,"rows":[[…],…]}, "url" only when the origin has
// one and `index` counting from 1. Streamed to `sink` like writeJsonFromResult.
bool writeJsonLinesFromResult(const ResultDictionary& result, const JsonLineOrigin& origin,
                              const OutputSink& sink);

// The same three with the tables' links, one TableLinks per table in storage order: a cell
// that has a link is written as {"text":…,"href":…}, every other cell as its string.
std::string jsonFromResult(const ResultDictionary& result, const std::vector<TableLinks>& links);
bool writeJsonFromResult(const ResultDictionary& result, const std::vector<TableLinks>& links,
                         const OutputSink& sink);
bool writeJsonLinesFromResult(const ResultDictionary& result, const std::vector<TableLinks>& links,
                              const JsonLineOrigin& origin, const OutputSink& sink);

}  // namespace gridmint
