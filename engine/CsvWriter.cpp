// Writes a table as CSV, either as UTF-16 text or straight to UTF-8 bytes. Both forms walk
// the table once and append to one growing buffer; no record list is built first and no
// separator is written and then taken back.
#include "CsvWriter.h"

#include "Utf8Output.h"

namespace gridmint {

namespace {

constexpr char16_t quote = u'"';

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

// Writes the text of one cell as UTF-8, a double quote doubled and a lone surrogate as U+FFFD.
// Needs room for 3 bytes per code unit.
char* writeCsvField(char* p, const Text& cell) {
    const char16_t* s = cell.data();
    const char16_t* const end = s + cell.size();
    while (s < end) {
        s = utf8::copyPlainRun(s, end, p, quote, quote, false);
        if (s == end) break;
        const char16_t unit = *s;
        if (unit < 0x80) {
            *p++ = static_cast<char>(unit);
            if (unit == quote) *p++ = '"';
            ++s;
            continue;
        }
        char32_t c = utf8::readNonAscii(s, end);
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        p = utf8::writeMultiByte(p, c);
    }
    return p;
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

std::string csvUtf8FromArrays(const Table& table) {
    OutputBuffer out(plainSize(table));
    for (size_t r = 0; r < table.size(); ++r) {
        const Row& row = table[r];
        char* p = out.reserve(1);
        if (r > 0) *p++ = '\n';
        out.commit(p);
        for (size_t c = 0; c < row.size(); ++c) {
            // A doubled quote takes 2 bytes and a surrogate pair 4, so 3 bytes per code unit
            // are always enough, with the quotes and the separator.
            p = out.reserve(row[c].size() * 3 + 3);
            if (c > 0) *p++ = ',';
            *p++ = '"';
            p = writeCsvField(p, row[c]);
            *p++ = '"';
            out.commit(p);
        }
    }
    return out.take();
}

}  // namespace gridmint
