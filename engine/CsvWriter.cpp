// Writes a table as CSV, either as UTF-16 text into one growing buffer or straight to UTF-8
// bytes through a bounded buffer emptied into a sink. Both forms walk the table once; no
// record list is built first and no separator is written and then taken back. The byte form
// reads each cell once: the tests that decide its quoting under minimal quoting use the same
// loads as the copy. A cell of up to sixteen code units is tested before it is written; a
// longer one is written unquoted, and moved one byte over for its opening quote when a unit
// turns out to need quoting. Only a cell too long for one piece of the output is tested on
// its own first, since its first pieces leave before its end is read.
#include "CsvWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

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

// Writes the UTF-8 of the code unit at `at` that the bulk copy leaves out: a double quote
// twice, NUL as it is, a lone surrogate as U+FFFD; a high surrogate takes its low one with it
// when one follows before `end`. Advances `at` past what it used; returns the new end.
[[gnu::always_inline]] inline char* writeEscapedUnit(char* p, const char16_t*& at,
                                                     const char16_t* end) {
    const char16_t unit = *at;
    if (unit < 0x80) {
        *p++ = static_cast<char>(unit);
        if (unit == quote) *p++ = '"';
        ++at;
        return p;
    }
    char32_t c = utf8::readNonAscii(at, end);
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    return utf8::writeMultiByte(p, c);
}

inline bool breaksField(char16_t unit, char separator) {
    return unit == static_cast<char16_t>(separator) || unit == quote || unit == u'\r' ||
           unit == u'\n';
}

// Writes the UTF-8 of [s, end) one unit at a time; when `findBreakers`, sets `breaks` if a
// unit asks for quoting under minimal quoting.
template <bool findBreakers>
char* writeCellByUnit(char* p, const char16_t* s, const char16_t* end, char separator,
                      bool& breaks) {
    while (s < end) {
        if constexpr (findBreakers) breaks |= breaksField(*s, separator);
        if (csvPlain.accepts(*s)) {
            *p++ = static_cast<char>(*s++);
        } else {
            p = writeEscapedUnit(p, s, end);
        }
    }
    return p;
}

#if defined(__SSE2__)
// One bit per byte of `bytes`, code units narrowed by unsigned saturation, for the units that
// minimal quoting quotes a field for: the separator, a double quote, CR and LF. Saturation
// turns every unit above U+00FF into 0x00 or 0xFF, so none of them is taken for one of these.
// `separators` holds the separator in every byte.
[[gnu::always_inline]] inline unsigned breakerLanes(__m128i bytes, __m128i separators) {
    const auto lanesOf = [bytes](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    return static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, separators), lanesOf('"')),
                     _mm_or_si128(lanesOf('\r'), lanesOf('\n')))));
}

// Writes the units of lanes [first, count) of a block that starts at `base`: the plain runs
// between the lanes set in `stops` copied from `narrowed` (the block's bytes, one per lane,
// with 16 readable bytes after any lane), the units at those lanes through writeEscapedUnit.
// `stops` holds no lane below `first`. Returns where it stopped: base + count, or one past it
// when a surrogate pair ends after the block.
[[gnu::always_inline]] inline const char16_t* writeBlock(char*& p, const char16_t* base,
                                                         const char* narrowed, unsigned stops,
                                                         size_t first, size_t count,
                                                         const char16_t* end) {
    stops |= ~0u << count;
    size_t copied = first;
    for (;;) {
        const size_t stop = static_cast<size_t>(__builtin_ctz(stops));
        std::memcpy(p, narrowed + copied, 16);
        p += stop - copied;
        if (stop >= count) return base + count;
        const char16_t* at = base + stop;
        p = writeEscapedUnit(p, at, end);
        copied = static_cast<size_t>(at - base);
        if (copied >= count) return at;
        stops &= ~0u << copied;
    }
}

// Stores the first `half` (4 or 8) bytes of `bytes` at p.
template <size_t half>
[[gnu::always_inline]] inline void storeHalf(char* p, __m128i bytes) {
    if constexpr (half == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), bytes);
    } else {
        const int word = _mm_cvtsi128_si32(bytes);
        std::memcpy(p, &word, 4);
    }
}

// A cell of `half` to 2 * half code units (half is 4 or 8), read as two halves that overlap
// when it is shorter: lanes [0, half) of `bytes` hold units [0, half) and lanes
// [half, 2 * half) units [n - half, n), narrowed by unsigned saturation. Every lane holds a
// unit of the cell, so a test that finds nothing in any lane finds nothing in the cell.
struct ShortCell {
    __m128i bytes;
    unsigned rejected;  // lanes that writeEscapedUnit writes

    bool breaks;  // a unit asks for quoting under minimal quoting
};

template <size_t half>
[[gnu::always_inline]] inline ShortCell readShortCell(const char16_t* s, size_t n,
                                                      __m128i separators, bool findBreakers) {
    __m128i bytes;
    if constexpr (half == 8) {
        bytes = _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 8)));
    } else {
        const __m128i units =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + n - 4)));
        bytes = _mm_packus_epi16(units, units);
    }
    return {bytes, utf8::rejectedUnits(bytes, csvPlain),
            findBreakers && breakerLanes(bytes, separators) != 0};
}

// Writes the UTF-8 of the cell read as `cell`: a plain cell as its two halves, overlapping as
// they were read; any other through writeBlock, from its bytes laid out one per unit.
template <size_t half>
[[gnu::always_inline]] inline char* writeShortCell(char* p, const char16_t* s, size_t n,
                                                   const ShortCell& cell) {
    const __m128i tail = _mm_srli_si128(cell.bytes, half);
    if (cell.rejected == 0) {
        storeHalf<half>(p, cell.bytes);
        storeHalf<half>(p + n - half, tail);
        return p + n;
    }
    constexpr unsigned halfLanes = (1u << half) - 1;
    const unsigned stops =
        (cell.rejected & halfLanes) | (((cell.rejected >> half) & halfLanes) << (n - half));
    alignas(16) char narrowed[32];
    storeHalf<half>(narrowed, cell.bytes);
    storeHalf<half>(narrowed + n - half, tail);
    writeBlock(p, s, narrowed, stops, 0, n, s + n);
    return p;
}

// Writes the UTF-8 of a cell of more than 16 code units, sixteen at a time; the last block is
// the cell's last sixteen units, of which those already written are skipped.
template <bool findBreakers>
char* writeLongCell(char* p, const char16_t* s, const char16_t* end, __m128i separators,
                    bool& breaks) {
    alignas(16) char narrowed[32];
    const auto readBlock = [](const char16_t* at) {
        return _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 8)));
    };
    while (end - s >= 16) {
        const __m128i bytes = readBlock(s);
        if constexpr (findBreakers) breaks |= breakerLanes(bytes, separators) != 0;
        const unsigned stops = utf8::rejectedUnits(bytes, csvPlain);
        if (stops == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), bytes);
            p += 16;
            s += 16;
            continue;
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(narrowed), bytes);
        s = writeBlock(p, s, narrowed, stops, 0, 16, end);
    }
    if (s == end) return p;
    const char16_t* const base = end - 16;
    const size_t first = static_cast<size_t>(s - base);
    const unsigned fresh = 0xFFFFu & (~0u << first);
    const __m128i bytes = readBlock(base);
    if constexpr (findBreakers) breaks |= (breakerLanes(bytes, separators) & fresh) != 0;
    _mm_store_si128(reinterpret_cast<__m128i*>(narrowed), bytes);
    writeBlock(p, base, narrowed, utf8::rejectedUnits(bytes, csvPlain) & fresh, first, 16, end);
    return p;
}
#endif

// The separator, and under SSE2 the separator in every byte, as the block tests take it.
struct Separator {
    explicit Separator(char c)
        : byte(c)
#if defined(__SSE2__)
          ,
          lanes(_mm_set1_epi8(c))
#endif
    {
    }

    char byte;
#if defined(__SSE2__)
    __m128i lanes;
#endif
};

// Writes the opening of a field: a double quote when `quoted`, then the guard mark when
// `guarded`. Both are stored unconditionally and kept or not, since what follows overwrites
// a byte that is not kept.
[[gnu::always_inline]] inline char* openField(char* p, bool quoted, bool guarded) {
    *p = '"';
    p += quoted;
    *p = guardMark;
    return p + guarded;
}

[[gnu::always_inline]] inline char* closeField(char* p, bool quoted) {
    *p = '"';
    return p + quoted;
}

// Frames the unquoted field written at [start, end) in double quotes; returns its new end.
char* quoteWrittenField(char* start, char* end) {
    std::memmove(start + 1, start, static_cast<size_t>(end - start));
    *start = '"';
    end[1] = '"';
    return end + 2;
}

// startsFormula as one bit test: the starters lie between tab (9) and "@" (64), so the unit
// less 9 indexes a 64-bit set of them. No branch, since first units vary from cell to cell.
constexpr bool startsFormulaUnbranched(char16_t unit) {
    constexpr uint64_t starters = (1ull << (u'\t' - 9)) | (1ull << (u'\r' - 9)) |
                                  (1ull << (u'+' - 9)) | (1ull << (u'-' - 9)) |
                                  (1ull << (u'=' - 9)) | (1ull << (u'@' - 9));
    const uint32_t index = static_cast<uint32_t>(unit) - 9u;
    return (index < 64) & static_cast<bool>((starters >> (index & 63)) & 1);
}

constexpr bool unbranchedFormulaTestAgrees() {
    for (uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const auto u = static_cast<char16_t>(unit);
        if (startsFormulaUnbranched(u) != startsFormula(u)) return false;
    }
    return true;
}
static_assert(unbranchedFormulaTestAgrees());

// Writes the field of `cell` at p, which has room for it (see cellRoom); returns its end.
// Under minimal quoting the field is written as the test for quoting reads it: a cell of up
// to sixteen units is tested before it is written, and a longer one is written unquoted and
// moved over for the opening quote when a unit turns out to need it.
template <CsvQuoting quoting, bool guardFormulas>
char* writeField(char* p, std::u16string_view cell, const Separator& separator, bool onlyCell) {
    constexpr bool minimal = quoting == CsvQuoting::minimal;
    const char16_t* const s = cell.data();
    const size_t n = cell.size();
    const bool guarded = guardFormulas && n > 0 && startsFormulaUnbranched(s[0]);
#if defined(__SSE2__)
    if (n >= 8 && n <= 16) {
        const ShortCell read = readShortCell<8>(s, n, separator.lanes, minimal);
        const bool quoted = !minimal || read.breaks;
        return closeField(writeShortCell<8>(openField(p, quoted, guarded), s, n, read), quoted);
    }
    if (n >= 4 && n < 8) {
        const ShortCell read = readShortCell<4>(s, n, separator.lanes, minimal);
        const bool quoted = !minimal || read.breaks;
        return closeField(writeShortCell<4>(openField(p, quoted, guarded), s, n, read), quoted);
    }
#endif
    char* const start = p;
    p = openField(p, !minimal, guarded);
    bool breaks = false;
#if defined(__SSE2__)
    if (n > 16) {
        p = writeLongCell<minimal>(p, s, s + n, separator.lanes, breaks);
    } else {
        p = writeCellByUnit<minimal>(p, s, s + n, separator.byte, breaks);
    }
#else
    p = writeCellByUnit<minimal>(p, s, s + n, separator.byte, breaks);
#endif
    if constexpr (!minimal) return closeField(p, true);
    if (breaks || (n == 0 && onlyCell)) return quoteWrittenField(start, p);
    return p;
}

// Writes the code units of [s, pieceEnd) as UTF-8, a double quote doubled and a lone
// surrogate as U+FFFD, reading on to `end` only to complete a surrogate pair; returns where
// it stopped. Needs room for 3 bytes per code unit and utf8::blockSlack.
const char16_t* writeCsvPiece(char*& p, const char16_t* s, const char16_t* pieceEnd,
                              const char16_t* end) {
    return utf8::writeUnits(p, s, pieceEnd, csvPlain, [end](char* q, const char16_t*& at) {
        return writeEscapedUnit(q, at, end);
    });
}

// Writes `separator` (unless it is NUL), then the field of `cell` as `frame` says, in pieces:
// for a cell too long for one reserve, whose framing is settled before any of it is written.
void writeFieldInPieces(ChunkedOutput& out, char separator, std::u16string_view cell,
                        FieldFrame frame) {
    char opening[3];
    size_t openingSize = 0;
    if (separator != '\0') opening[openingSize++] = separator;
    if (frame.quoted) opening[openingSize++] = '"';
    if (frame.guarded) opening[openingSize++] = guardMark;
    writeFramedInPieces<maxBytesPerUnit>(out, std::string_view(opening, openingSize), cell,
                                         frame.quoted ? "\"" : "", writeCsvPiece);
}

// The room one field takes at most: a separator, two quotes and a guard mark around 3 bytes
// per code unit, and the block copy's slack.
size_t cellRoom(size_t units) {
    return units * maxBytesPerUnit + 4 + utf8::blockSlack;
}

// Writes the records of a table, each after a line end but the first, through one write
// position that is handed back to the output only when the room for a field runs out.
template <CsvQuoting quoting, bool guardFormulas>
class RecordWriter {
  public:
    RecordWriter(ChunkedOutput& out, const CsvDialect& dialect)
        : out_(out),
          separator_(dialect.separator),
          crlf_(dialect.lineEnd == CsvLineEnd::crlf),
          limit_(out.limit()),
          p_(out.reserve(0)) {}

    // The row's cells and the writer's state are held in locals: every byte stored through
    // the write position could alias them otherwise, and they would be read again per field.
    void write(const auto& row, bool first) {
        const Separator separator = separator_;
        const char* const limit = limit_;
        char* p = p_;
        if (!first) {
            if (limit - p < 2) p = makeRoom(p, 2);
            *p = '\r';
            p += crlf_;
            *p++ = '\n';
        }
        const bool onlyCell = row.size() == 1;
        const size_t cells = row.size();
        for (size_t c = 0; c < cells; ++c) {
            const bool firstCell = c == 0;
            const std::u16string_view text = row[c];
            const size_t room = cellRoom(text.size());
            if (static_cast<size_t>(limit - p) < room) [[unlikely]] {
                if (room > ChunkedOutput::maxRoom) {
                    out_.commit(p);
                    writeFieldInPieces(
                        out_, firstCell ? '\0' : separator.byte, text,
                        frameOf<quoting, guardFormulas>(text, separator.byte, onlyCell));
                    p = out_.reserve(0);
                    continue;
                }
                p = makeRoom(p, room);
            }
            *p = separator.byte;
            p += !firstCell;
            p = writeField<quoting, guardFormulas>(p, text, separator, onlyCell);
        }
        p_ = p;
    }

    // Hands what is written to the output.
    void finish() { out_.commit(p_); }

  private:
    char* makeRoom(char* p, size_t room) {
        out_.commit(p);
        return out_.reserve(room);
    }

    ChunkedOutput& out_;
    const Separator separator_;
    const bool crlf_;
    const char* const limit_;
    char* p_;
};

template <CsvQuoting quoting, bool guardFormulas>
void writeRecords(ChunkedOutput& out, const auto& table, const CsvDialect& dialect) {
    RecordWriter<quoting, guardFormulas> writer(out, dialect);
    // Stops after a row once the sink has failed: the rest could not reach it anyway.
    for (size_t r = 0; r < table.size() && !out.failed(); ++r) writer.write(table[r], r == 0);
    writer.finish();
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

// A table that fits in one chunk of the output reaches the string in one append, which
// allocates it at its size; sizing such a table first would cost a pass over its cells for
// nothing. A table of many rows is sized first, so that it is not copied as it grows.
std::string csvUtf8FromArrays(const Table& table, const CsvDialect& dialect) {
    constexpr size_t rowsSizedFirst = 1024;
    std::string csv;
    if (table.size() >= rowsSizedFirst) csv.reserve(plainSize(table) + 3);
    writeCsvUtf8FromArrays(table, appendingTo(csv), dialect);
    return csv;
}

}  // namespace gridmint
