// The one-line-per-table summary of --list, also shown when a run needs the user to choose:
// "name TAB rows TAB columns", the columns being the cells of the first row, in page order.
#pragma once

#include <string>

#include "ResultDictionary.h"

namespace gridmint::cli {

// Every table's line, each ended by "\n"; names as UTF-8.
std::string tableListing(const ResultDictionary& result);

}  // namespace gridmint::cli
