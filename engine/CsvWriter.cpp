// Writes a table as CSV, either as UTF-16 text into one growing buffer or straight to UTF-8
// bytes through a bounded buffer emptied into a sink. Both forms walk the table once; no
// record list is built first and no separator is written and then taken back.
#include "CsvWriter.h"

#include <algorithm>

#include "Utf8Output.h"

namespace gridmint {

namespace {

constexpr char16_t quote = u'"';

// A doubled quote takes 2 bytes and a surrogate pair 4, so 3 bytes per code unit are always
// enough.
constexpr size_t maxBytesPerUnit = 3;

// NUL is left to the general path, which copies it unchanged as well.
constexpr utf8::PlainAscii csvPlain{u'\x01', quote, quote};

// Room that the fields of `table` take without any doubled quote: the cells, two quotes per
// cell, and one separator per cell or row. A guess that is exact for most tables.
size_t plainSize(const Table& table) {
    size_t size = 0;
    for (const Row& row : table) {
        size += row.size() * 3 + 1;
        for (const Text& cell : row) size += cell.size();
    }
    return size;
}

void appendQuotedUtf16(Text& out, const Text& cell) {
    out.push_back(quote);
    size_t runStart = 0;
    for (size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != quote) continue;
        // Copy up to and including the quote, then write it a second time.
        out.append(cell, runStart, i + 1 - runStart);
        out.push_back(quote);
        runStart = i + 1;
    }
    out.append(cell, runStart, cell.size() - runStart);
    out.push_back(quote);
}

// Writes the code units of [s, pieceEnd) as UTF-8, a double quote doubled and a lone
// surrogate as U+FFFD, reading on to `end` only to complete a surrogate pair; returns where
// it stopped. Needs room for 3 bytes per code unit and utf8::blockSlack.
const char16_t* writeCsvPiece(char*& p, const char16_t* s, const char16_t* pieceEnd,
                              const char16_t* end) {
    return utf8::writeUnits(p, s, pieceEnd, csvPlain, [end](char* q, const char16_t*& at) {
        const char16_t unit = *at;
        if (unit < 0x80) {
            *q++ = static_cast<char>(unit);
            if (unit == quote) *q++ = '"';
            ++at;
            return q;
        }
        char32_t c = utf8::readNonAscii(at, end);
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        return utf8::writeMultiByte(q, c);
    });
}

// Writes `separator` (unless it is NUL), then the field of `cell`, quotes included.
void writeCsvField(ChunkedOutput& out, char separator, const Text& cell) {
    writeQuotedInPieces<maxBytesPerUnit>(out, separator, cell, writeCsvPiece);
}

// The room a record takes at most, its line feed and separators included.
size_t recordRoom(const Row& row) {
    size_t units = 0;
    for (const Text& cell : row) units += cell.size();
    return units * maxBytesPerUnit + row.size() * 3 + 1 + utf8::blockSlack;
}

// Most records fit in one piece of the output: their fields are then written back to back
// with one reserve, and only longer records go field by field.
void writeRecord(ChunkedOutput& out, const Row& row, bool first) {
    const size_t room = recordRoom(row);
    if (room > ChunkedOutput::maxRoom) {
        if (!first) {
            char* p = out.reserve(1);
            *p++ = '\n';
            out.commit(p);
        }
        for (size_t c = 0; c < row.size(); ++c) writeCsvField(out, c > 0 ? ',' : '\0', row[c]);
        return;
    }
    char* p = out.reserve(room);
    if (!first) *p++ = '\n';
    for (size_t c = 0; c < row.size(); ++c) {
        if (c > 0) *p++ = ',';
        *p++ = '"';
        const char16_t* const end = row[c].data() + row[c].size();
        writeCsvPiece(p, row[c].data(), end, end);
        *p++ = '"';
    }
    out.commit(p);
}

}  // namespace

Text csvFromArrays(const Table& table) {
    Text out;
    out.reserve(plainSize(table));
    for (size_t r = 0; r < table.size(); ++r) {
        if (r > 0) out.push_back(u'\n');
        const Row& row = table[r];
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0) out.push_back(u',');
            appendQuotedUtf16(out, row[c]);
        }
    }
    return out;
}

bool writeCsvUtf8FromArrays(const Table& table, const OutputSink& sink) {
    ChunkedOutput out(sink);
    // Stops after a row once the sink has failed: the rest could not reach it anyway.
    for (size_t r = 0; r < table.size() && !out.failed(); ++r) writeRecord(out, table[r], r == 0);
    return out.finish();
}

std::string csvUtf8FromArrays(const Table& table) {
    std::string csv;
    csv.reserve(plainSize(table));
    writeCsvUtf8FromArrays(table, appendingTo(csv));
    return csv;
}

}  // namespace gridmint
