// The CSV form of a table: every field quoted, a double quote inside a field doubled, ","
// between fields, "\n" between records and none after the last, no byte-order mark.
#pragma once

#include <string>

#include "Text.h"

namespace gridmint {

// The CSV text of `table`; the empty text for a table without rows.
Text csvFromArrays(const Table& table);

// The same CSV as UTF-8 bytes; a lone surrogate is written as U+FFFD.
std::string csvUtf8FromArrays(const Table& table);

}  // namespace gridmint
