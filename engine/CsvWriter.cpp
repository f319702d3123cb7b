// Writes a table as CSV, either as UTF-16 text into one growing buffer or straight to UTF-8
// bytes through a bounded buffer emptied into a sink. Both forms walk the table once; no
// record list is built first and no separator is written and then taken back. How a field is
// framed (quotes, the formula guard) is settled from its cell before it is written, so a
// field is never rewritten either.
#include "CsvWriter.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Utf8Output.h"

namespace gridmint {

namespace {

constexpr char16_t quote = u'"';
constexpr char guardMark = '\'';

// A doubled quote takes 2 bytes and a surrogate pair 4, so 3 bytes per code unit are always
// enough.
constexpr size_t maxBytesPerUnit = 3;

// NUL is left to the general path, which copies it unchanged as well.
constexpr utf8::PlainAscii csvPlain{u'\x01', quote, quote};

// True when `cell` holds `separator`, a double quote, CR or LF, so that it must be quoted
// under minimal quoting. Eight code units are tested at once.
bool holdsFieldBreaker(std::u16string_view cell, char separator) {
    const char16_t* s = cell.data();
    const char16_t* const end = s + cell.size();
#if defined(__SSE2__)
    const __m128i sep = _mm_set1_epi16(static_cast<short>(separator));
    const __m128i quotes = _mm_set1_epi16(static_cast<short>(quote));
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i lf = _mm_set1_epi16(u'\n');
    for (; end - s >= 8; s += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, sep), _mm_cmpeq_epi16(units, quotes)),
                         _mm_or_si128(_mm_cmpeq_epi16(units, cr), _mm_cmpeq_epi16(units, lf)));
        if (_mm_movemask_epi8(hits) != 0) return true;
    }
#endif
    for (; s < end; ++s) {
        if (*s == static_cast<char16_t>(separator) || *s == quote || *s == u'\r' || *s == u'\n') {
            return true;
        }
    }
    return false;
}

// How one field is framed.
struct FieldFrame {
    bool quoted;
    bool guarded;
};

// `onlyCell`: the cell is the only one of its row. An empty field there would make the
// record an empty line, which reads back as a row without cells, so it is quoted.
template <CsvQuoting quoting, bool guardFormulas>
FieldFrame frameOf(std::u16string_view cell, char separator, bool onlyCell) {
    FieldFrame frame{true, false};
    if constexpr (quoting == CsvQuoting::minimal) {
        frame.quoted = cell.empty() ? onlyCell : holdsFieldBreaker(cell, separator);
    }
    if constexpr (guardFormulas) frame.guarded = !cell.empty() && startsFormula(cell.front());
    return frame;
}

// Room that the fields of `table` take without any doubled quote: the cells, two quotes per
// cell, and one separator per cell or row. A guess that is exact for most tables.
size_t plainSize(const auto& table) {
    size_t size = 0;
    for (const auto& row : table) {
        size += row.size() * 3 + 1;
        for (size_t c = 0; c < row.size(); ++c) size += std::u16string_view(row[c]).size();
    }
    return size;
}

void appendFieldUtf16(Text& out, std::u16string_view cell, FieldFrame frame) {
    if (frame.quoted) out.push_back(quote);
    if (frame.guarded) out.push_back(static_cast<char16_t>(guardMark));
    size_t runStart = 0;
    for (size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != quote) continue;
        // Copy up to and including the quote, then write it a second time.
        out.append(cell.substr(runStart, i + 1 - runStart));
        out.push_back(quote);
        runStart = i + 1;
    }
    out.append(cell.substr(runStart));
    if (frame.quoted) out.push_back(quote);
}

template <CsvQuoting quoting, bool guardFormulas>
void appendTableUtf16(Text& out, const auto& table, const CsvDialect& dialect) {
    const std::string_view lineEnd = lineEndText(dialect.lineEnd);
    for (size_t r = 0; r < table.size(); ++r) {
        if (r > 0) out.append(lineEnd.begin(), lineEnd.end());
        const auto& row = table[r];
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0) out.push_back(static_cast<char16_t>(dialect.separator));
            const std::u16string_view cell = row[c];
            appendFieldUtf16(
                out, cell,
                frameOf<quoting, guardFormulas>(cell, dialect.separator, row.size() == 1));
        }
    }
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

// Writes `separator` (unless it is NUL), then the field of `cell` as `frame` says, in pieces.
void writeCsvField(ChunkedOutput& out, char separator, std::u16string_view cell, FieldFrame frame) {
    char opening[3];
    size_t openingSize = 0;
    if (separator != '\0') opening[openingSize++] = separator;
    if (frame.quoted) opening[openingSize++] = '"';
    if (frame.guarded) opening[openingSize++] = guardMark;
    writeFramedInPieces<maxBytesPerUnit>(out, std::string_view(opening, openingSize), cell,
                                         frame.quoted ? "\"" : "", writeCsvPiece);
}

char* writeLineEnd(char* p, CsvLineEnd lineEnd) {
    if (lineEnd == CsvLineEnd::crlf) *p++ = '\r';
    *p++ = '\n';
    return p;
}

// The room a record takes at most: its cells, and per field a separator, two quotes and a
// guard mark, and a line end of up to two bytes.
size_t recordRoom(const auto& row) {
    size_t units = 0;
    for (size_t c = 0; c < row.size(); ++c) units += std::u16string_view(row[c]).size();
    return units * maxBytesPerUnit + row.size() * 4 + 2 + utf8::blockSlack;
}

// Writes the records of a table, each after a line end but the first. Most records fit in
// one piece of the output: their fields are then written back to back with one reserve, and
// only longer records go field by field.
template <CsvQuoting quoting, bool guardFormulas>
class RecordWriter {
  public:
    RecordWriter(ChunkedOutput& out, const CsvDialect& dialect) : out_(out), dialect_(dialect) {}

    void write(const auto& row, bool first) {
        const char separator = dialect_.separator;
        const bool onlyCell = row.size() == 1;
        const size_t room = recordRoom(row);
        if (room > ChunkedOutput::maxRoom) {
            if (!first) out_.commit(writeLineEnd(out_.reserve(2), dialect_.lineEnd));
            for (size_t c = 0; c < row.size(); ++c) {
                const std::u16string_view cell = row[c];
                writeCsvField(out_, c > 0 ? separator : '\0', cell,
                              frameOf<quoting, guardFormulas>(cell, separator, onlyCell));
            }
            return;
        }
        char* p = out_.reserve(room);
        if (!first) p = writeLineEnd(p, dialect_.lineEnd);
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0) *p++ = separator;
            const std::u16string_view cell = row[c];
            const FieldFrame frame = frameOf<quoting, guardFormulas>(cell, separator, onlyCell);
            if (frame.quoted) *p++ = '"';
            if (frame.guarded) *p++ = guardMark;
            const char16_t* const end = cell.data() + cell.size();
            writeCsvPiece(p, cell.data(), end, end);
            if (frame.quoted) *p++ = '"';
        }
        out_.commit(p);
    }

  private:
    ChunkedOutput& out_;
    const CsvDialect& dialect_;
};

template <CsvQuoting quoting, bool guardFormulas>
void writeRecords(ChunkedOutput& out, const auto& table, const CsvDialect& dialect) {
    RecordWriter<quoting, guardFormulas> writer(out, dialect);
    // Stops after a row once the sink has failed: the rest could not reach it anyway.
    for (size_t r = 0; r < table.size() && !out.failed(); ++r) writer.write(table[r], r == 0);
}

// Calls `run` with the quoting and the guard as template arguments, so that the per-field
// code of each dialect carries no test for options it does not use.
template <class Run>
void withFieldOptions(const CsvDialect& dialect, Run run) {
    const bool minimal = dialect.quoting == CsvQuoting::minimal;
    if (minimal && dialect.guardFormulas) {
        run.template operator()<CsvQuoting::minimal, true>();
    } else if (minimal) {
        run.template operator()<CsvQuoting::minimal, false>();
    } else if (dialect.guardFormulas) {
        run.template operator()<CsvQuoting::all, true>();
    } else {
        run.template operator()<CsvQuoting::all, false>();
    }
}

}  // namespace

Text csvFromArrays(const Table& table, const CsvDialect& dialect) {
    Text out;
    out.reserve(plainSize(table) + 1);
    if (dialect.byteOrderMark) out.push_back(u'\uFEFF');
    withFieldOptions(dialect, [&]<CsvQuoting quoting, bool guardFormulas>() {
        appendTableUtf16<quoting, guardFormulas>(out, table, dialect);
    });
    return out;
}

bool writeCsvUtf8FromArrays(const Table& table, const OutputSink& sink, const CsvDialect& dialect) {
    ChunkedOutput out(sink);
    if (dialect.byteOrderMark) {
        char* p = out.reserve(3);
        for (const char byte : {'\xEF', '\xBB', '\xBF'}) *p++ = byte;
        out.commit(p);
    }
    withFieldOptions(dialect, [&]<CsvQuoting quoting, bool guardFormulas>() {
        writeRecords<quoting, guardFormulas>(out, table, dialect);
    });
    return out.finish();
}

std::string csvUtf8FromArrays(const Table& table, const CsvDialect& dialect) {
    std::string csv;
    csv.reserve(plainSize(table) + 3);
    writeCsvUtf8FromArrays(table, appendingTo(csv), dialect);
    return csv;
}

}  // namespace gridmint
