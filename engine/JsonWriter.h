// The whole result as one JSON object: table names in storage order, each an array of rows,
// each row an array of cell strings. UTF-8; a lone surrogate is written as a \uDXXX escape.
#pragma once

#include <string>

#include "OutputSink.h"
#include "ResultDictionary.h"

namespace gridmint {

std::string jsonFromResult(const ResultDictionary& result);

// The same bytes handed to `sink` in chunks of a bounded size, so that no more than one chunk
// is ever held. False as soon as the sink refuses a chunk; nothing more is written then.
bool writeJsonFromResult(const ResultDictionary& result, const OutputSink& sink);

}  // namespace gridmint
