// The CSV form of a table in a dialect (CsvDialect.h). The default dialect gives every field
// quoted, a double quote inside a field doubled, "," between fields, "\n" between records
// and none after the last, no byte-order mark; other dialects change only what they name.
#pragma once

#include <string>

#include "CsvDialect.h"
#include "OutputSink.h"
#include "Table.h"
#include "Text.h"

namespace gridmint {

// The CSV text of `table`; the empty text for a table without rows (just U+FEFF with a
// byte-order mark).
Text csvFromArrays(const Table& table, const CsvDialect& dialect = {});

// The same CSV as UTF-8 bytes; a lone surrogate is written as U+FFFD.
std::string csvUtf8FromArrays(const Table& table, const CsvDialect& dialect = {});

// The same bytes handed to `sink` in chunks of a bounded size, so that no more than one chunk
// is ever held. False as soon as the sink refuses a chunk; nothing more is written then.
bool writeCsvUtf8FromArrays(const Table& table, const OutputSink& sink,
                            const CsvDialect& dialect = {});

}  // namespace gridmint
