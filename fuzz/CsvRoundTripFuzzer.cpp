// The CSV writer and the preview's CSV reader together: reading what the writer wrote must
// give back the table, whatever its cells hold (quotes, commas, line breaks, lone
// surrogates). A lone surrogate has no UTF-8 form and is written as U+FFFD, so that is what
// comes back for it. The UTF-16 writer must agree with the UTF-8 one, and the reader must
// take any bytes at all without harm.
//
// Input, byte by byte: 0x1F ends a cell, 0x1E ends a row, a byte from 0x80 up takes the next
// two bytes as one little-endian UTF-16 unit, any other byte is that ASCII character.
// Every row gets at least one cell, as every row the engine stores has.
#include <cstdint>
#include <string>

#include "CsvReader.h"
#include "CsvWriter.h"
#include "FuzzChecks.h"
#include "Utf.h"

namespace gridmint::fuzz {
namespace {

Table tableFromBytes(std::string_view bytes) {
    std::vector<Row> table(1, Row(1));
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0x1F) {
            table.back().emplace_back();
        } else if (b == 0x1E) {
            table.emplace_back(1);
        } else if (b < 0x80) {
            table.back().back().push_back(b);
        } else if (i + 2 < bytes.size()) {
            const auto low = static_cast<unsigned char>(bytes[i + 1]);
            const auto high = static_cast<unsigned char>(bytes[i + 2]);
            table.back().back().push_back(static_cast<char16_t>(low | high << 8));
            i += 2;
        }
    }
    return Table::fromRows(table);
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The cell as it can come back from UTF-8: every lone surrogate replaced by U+FFFD.
Text withoutLoneSurrogates(std::u16string_view cell) {
    Text out;
    out.reserve(cell.size());
    for (size_t i = 0; i < cell.size(); ++i) {
        const char16_t c = cell[i];
        if (isHighSurrogate(c) && i + 1 < cell.size() && isLowSurrogate(cell[i + 1])) {
            out.push_back(c);
            out.push_back(cell[++i]);
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            out.push_back(u'\uFFFD');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void requireReadsBack(const Table& table, const CsvRecords& records) {
    require(records.recordCount() == table.size(), "record count differs from row count");
    for (size_t r = 0; r < table.size(); ++r) {
        const TableRow row = table[r];
        require(records.fieldCount(r) == row.size(), "field count differs from cell count");
        for (size_t c = 0; c < row.size(); ++c) {
            const auto field = decodeUtf8(records.field(r, c));
            require(field.has_value(), "a field read back is not UTF-8");
            require(*field == withoutLoneSurrogates(row[c]), "a field read back differs");
        }
    }
}

}  // namespace
}  // namespace gridmint::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace gridmint;
    using namespace gridmint::fuzz;

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Table table = tableFromBytes(bytes);
    const std::string csv = csvUtf8FromArrays(table);
    require(toUtf8(csvFromArrays(table)) == csv, "the UTF-16 and UTF-8 writers differ");
    requireReadsBack(table, readCsv(csv));

    // Any bytes at all: the fields hold no more bytes than the text.
    const CsvRecords records = readCsv(bytes);
    size_t fieldBytes = 0;
    for (size_t r = 0; r < records.recordCount(); ++r) {
        require(records.fieldCount(r) <= records.maxFieldCount(),
                "a record is wider than the widest");
        for (size_t c = 0; c < records.fieldCount(r); ++c) fieldBytes += records.field(r, c).size();
    }
    require(fieldBytes <= bytes.size(), "the fields hold more bytes than the text");
    return 0;
}
