// Writes the whole result dictionary as one compact JSON object in a single pass, through a
// bounded buffer that is emptied into a sink. Strings are UTF-8; the two characters JSON
// reserves and every control below U+0020 are escaped, and a lone surrogate, which has no
// UTF-8 form, is kept as its \uDXXX escape so the exact code unit survives a JSON reader.
#include "JsonWriter.h"

#include <algorithm>

#include "Utf.h"
#include "Utf8Output.h"

namespace gridmint {

namespace {

// The most bytes one code unit can take: a six-byte \uXXXX escape.
constexpr size_t maxBytesPerUnit = 6;

constexpr utf8::PlainAscii jsonPlain{u' ', u'"', u'\\'};

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

// Writes the code units of [s, pieceEnd) escaped, reading on to `end` only to complete a
// surrogate pair; returns where it stopped. Needs room for 6 bytes per code unit and
// utf8::blockSlack.
const char16_t* writeEscaped(char*& p, const char16_t* s, const char16_t* pieceEnd,
                             const char16_t* end) {
    return utf8::writeUnits(p, s, pieceEnd, jsonPlain, [end](char* q, const char16_t*& at) {
        if (*at < 0x80) return writeAsciiEscaped(q, *at++);
        const char32_t c = utf8::readNonAscii(at, end);
        return (c >= 0xD800 && c <= 0xDFFF) ? writeUnicodeEscape(q, c) : utf8::writeMultiByte(q, c);
    });
}

// Writes `separator` (unless it is NUL), then `text` as a JSON string, quotes included.
void writeJsonString(ChunkedOutput& out, char separator, std::u16string_view text) {
    writeQuotedInPieces<maxBytesPerUnit>(out, separator, text, writeEscaped);
}

void writeByte(ChunkedOutput& out, char byte) {
    char* p = out.reserve(1);
    *p++ = byte;
    out.commit(p);
}

void writeAscii(ChunkedOutput& out, std::string_view text) {
    char* p = out.reserve(text.size());
    p = std::copy(text.begin(), text.end(), p);
    out.commit(p);
}

// The room a row takes at most, separators and brackets included.
size_t rowRoom(TableRow row) {
    return row.textSize() * maxBytesPerUnit + row.size() * 3 + 3 + utf8::blockSlack;
}

// Most rows fit in one piece of the output: their cells are then written back to back with
// one reserve, and only longer rows go cell by cell.
void writeRow(ChunkedOutput& out, TableRow row, bool first) {
    const size_t room = rowRoom(row);
    if (room > ChunkedOutput::maxRoom) {
        if (!first) writeByte(out, ',');
        writeByte(out, '[');
        for (size_t c = 0; c < row.size(); ++c) writeJsonString(out, c > 0 ? ',' : '\0', row[c]);
        writeByte(out, ']');
        return;
    }
    char* p = out.reserve(room);
    if (!first) *p++ = ',';
    *p++ = '[';
    for (size_t c = 0; c < row.size(); ++c) {
        if (c > 0) *p++ = ',';
        *p++ = '"';
        const char16_t* const end = row[c].data() + row[c].size();
        writeEscaped(p, row[c].data(), end, end);
        *p++ = '"';
    }
    *p++ = ']';
    out.commit(p);
}

// A row some of whose cells have links, which `next` walks in column order.
void writeLinkedRow(ChunkedOutput& out, TableRow row, size_t rowIndex, const TableLinks& links,
                    size_t& next, bool first) {
    if (!first) writeByte(out, ',');
    writeByte(out, '[');
    for (size_t c = 0; c < row.size(); ++c) {
        const char separator = c > 0 ? ',' : '\0';
        if (next < links.size() && links[next].row == rowIndex && links[next].column == c) {
            if (separator) writeByte(out, separator);
            writeJsonString(out, '{', u"text");
            writeJsonString(out, ':', row[c]);
            writeJsonString(out, ',', u"href");
            writeJsonString(out, ':', links[next++].address);
            writeByte(out, '}');
        } else {
            writeJsonString(out, separator, row[c]);
        }
    }
    writeByte(out, ']');
}

// The rows of a table as a JSON array, with the cells that `links` names (if given) as
// objects. Stops after a row once the sink has failed: the rest could not reach it anyway.
void writeRows(ChunkedOutput& out, const Table& table, const TableLinks* links) {
    writeByte(out, '[');
    size_t next = 0;
    for (size_t r = 0; r < table.size() && !out.failed(); ++r) {
        while (links && next < links->size() && (*links)[next].row < r) ++next;
        if (links && next < links->size() && (*links)[next].row == r) {
            writeLinkedRow(out, table[r], r, *links, next, r == 0);
        } else {
            writeRow(out, table[r], r == 0);
        }
    }
    writeByte(out, ']');
}

void writeTable(ChunkedOutput& out, const Text& name, const Table& table, const TableLinks* links,
                bool first) {
    writeJsonString(out, first ? '\0' : ',', name);
    writeByte(out, ':');
    writeRows(out, table, links);
}

// The links of the table at `position`, when there are links.
const TableLinks* linksAt(const std::vector<TableLinks>* links, size_t position) {
    return links && position < links->size() ? &(*links)[position] : nullptr;
}

void writeJsonLine(ChunkedOutput& out, const Text& source, const std::optional<Text>& url,
                   size_t index, const Text& name, const Table& table, const TableLinks* links) {
    writeAscii(out, "{\"source\":");
    writeJsonString(out, '\0', source);
    if (url) {
        writeAscii(out, ",\"url\":");
        writeJsonString(out, '\0', *url);
    }
    writeAscii(out, ",\"index\":" + std::to_string(index) + ",\"name\":");
    writeJsonString(out, '\0', name);
    writeAscii(out, ",\"rows\":");
    writeRows(out, table, links);
    writeAscii(out, "}\n");
}

// The output's size when nothing needs escaping and every character is ASCII.
size_t plainSize(const ResultDictionary& result) {
    size_t size = 2;
    for (const auto& [name, table] : result) {
        size += name.size() + 5;
        for (TableRow row : table) {
            size += row.size() * 3 + 3 + row.textSize();
        }
    }
    return size;
}

bool writeJson(const ResultDictionary& result, const std::vector<TableLinks>* links,
               const OutputSink& sink) {
    ChunkedOutput out(sink);
    writeByte(out, '{');
    for (size_t t = 0; t < result.size() && !out.failed(); ++t) {
        writeTable(out, result.at(t).first, result.at(t).second, linksAt(links, t), t == 0);
    }
    writeByte(out, '}');
    return out.finish();
}

bool writeJsonLines(const ResultDictionary& result, const std::vector<TableLinks>* links,
                    const JsonLineOrigin& origin, const OutputSink& sink) {
    ChunkedOutput out(sink);
    const Text source = fromUtf8(origin.source);
    std::optional<Text> url;
    if (origin.url) url = fromUtf8(*origin.url);
    for (size_t t = 0; t < result.size() && !out.failed(); ++t) {
        writeJsonLine(out, source, url, t + 1, result.at(t).first, result.at(t).second,
                      linksAt(links, t));
    }
    return out.finish();
}

std::string jsonText(const ResultDictionary& result, const std::vector<TableLinks>* links) {
    std::string text;
    text.reserve(plainSize(result));
    writeJson(result, links, appendingTo(text));
    return text;
}

}  // namespace

bool writeJsonFromResult(const ResultDictionary& result, const OutputSink& sink) {
    return writeJson(result, nullptr, sink);
}

bool writeJsonFromResult(const ResultDictionary& result, const std::vector<TableLinks>& links,
                         const OutputSink& sink) {
    return writeJson(result, &links, sink);
}

bool writeJsonLinesFromResult(const ResultDictionary& result, const JsonLineOrigin& origin,
                              const OutputSink& sink) {
    return writeJsonLines(result, nullptr, origin, sink);
}

bool writeJsonLinesFromResult(const ResultDictionary& result, const std::vector<TableLinks>& links,
                              const JsonLineOrigin& origin, const OutputSink& sink) {
    return writeJsonLines(result, &links, origin, sink);
}

std::string jsonFromResult(const ResultDictionary& result) {
    return jsonText(result, nullptr);
}

std::string jsonFromResult(const ResultDictionary& result, const std::vector<TableLinks>& links) {
    return jsonText(result, &links);
}

}  // namespace gridmint
