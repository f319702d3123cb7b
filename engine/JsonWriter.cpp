// Writes the whole result dictionary as one compact JSON object in a single pass into one
// growing buffer. Strings are UTF-8; the two characters JSON reserves and every control
// below U+0020 are escaped, and a lone surrogate, which has no UTF-8 form, is kept as its
// \uDXXX escape so the exact code unit survives a JSON reader.
#include "JsonWriter.h"

#include "Utf8Output.h"

namespace gridmint {

namespace {

// The most bytes one code unit can take: a six-byte \uXXXX escape.
constexpr size_t maxBytesPerUnit = 6;

char hexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

char* writeUnicodeEscape(char* p, char32_t unit) {
    p[0] = '\\';
    p[1] = 'u';
    p[2] = hexDigit(unit >> 12);
    p[3] = hexDigit(unit >> 8);
    p[4] = hexDigit(unit >> 4);
    p[5] = hexDigit(unit);
    return p + 6;
}

char* writeAsciiEscaped(char* p, char16_t unit) {
    char shortForm = 0;
    switch (unit) {
        case u'"': shortForm = '"'; break;
        case u'\\': shortForm = '\\'; break;
        case u'\b': shortForm = 'b'; break;
        case u'\f': shortForm = 'f'; break;
        case u'\n': shortForm = 'n'; break;
        case u'\r': shortForm = 'r'; break;
        case u'\t': shortForm = 't'; break;
        default:
            if (unit >= 0x20) {
                *p++ = static_cast<char>(unit);
                return p;
            }
            return writeUnicodeEscape(p, unit);
    }
    p[0] = '\\';
    p[1] = shortForm;
    return p + 2;
}

// Writes `text` as a JSON string, quotes included. Needs room for 6 bytes per code unit + 2.
char* writeJsonString(char* p, std::u16string_view text) {
    *p++ = '"';
    const char16_t* s = text.data();
    const char16_t* const end = s + text.size();
    while (s < end) {
        s = utf8::copyPlainRun(s, end, p, u'"', u'\\', true);
        if (s == end) break;
        if (*s < 0x80) {
            p = writeAsciiEscaped(p, *s++);
            continue;
        }
        const char32_t c = utf8::readNonAscii(s, end);
        p = (c >= 0xD800 && c <= 0xDFFF) ? writeUnicodeEscape(p, c) : utf8::writeMultiByte(p, c);
    }
    *p++ = '"';
    return p;
}

size_t plainSize(const ResultDictionary& result) {
    size_t size = 2;
    for (const auto& [name, table] : result) {
        size += name.size() + 5;
        for (const Row& row : table) {
            size += row.size() * 3 + 3;
            for (const Text& cell : row) size += cell.size();
        }
    }
    return size;
}

void writeRow(OutputBuffer& out, const Row& row, bool first) {
    char* p = out.reserve(2);
    if (!first) *p++ = ',';
    *p++ = '[';
    out.commit(p);
    for (size_t c = 0; c < row.size(); ++c) {
        p = out.reserve(row[c].size() * maxBytesPerUnit + 3);
        if (c > 0) *p++ = ',';
        p = writeJsonString(p, row[c]);
        out.commit(p);
    }
    p = out.reserve(1);
    *p++ = ']';
    out.commit(p);
}

void writeTable(OutputBuffer& out, const Text& name, const Table& table, bool first) {
    char* p = out.reserve(name.size() * maxBytesPerUnit + 5);
    if (!first) *p++ = ',';
    p = writeJsonString(p, name);
    *p++ = ':';
    *p++ = '[';
    out.commit(p);
    for (size_t r = 0; r < table.size(); ++r) writeRow(out, table[r], r == 0);
    p = out.reserve(1);
    *p++ = ']';
    out.commit(p);
}

}  // namespace

std::string jsonFromResult(const ResultDictionary& result) {
    OutputBuffer out(plainSize(result));
    char* p = out.reserve(1);
    *p++ = '{';
    out.commit(p);
    bool first = true;
    for (const auto& [name, table] : result) {
        writeTable(out, name, table, first);
        first = false;
    }
    p = out.reserve(1);
    *p++ = '}';
    out.commit(p);
    return out.take();
}

}  // namespace gridmint
