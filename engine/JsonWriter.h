// The whole result as one JSON object: table names in storage order, each an array of rows,
// each row an array of cell strings. UTF-8; a lone surrogate is written as a \uDXXX escape.
#pragma once

#include <string>

#include "ResultDictionary.h"

namespace gridmint {

std::string jsonFromResult(const ResultDictionary& result);

}  // namespace gridmint
