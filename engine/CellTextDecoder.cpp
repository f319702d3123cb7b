// A cell's text is made in one pass over its units: each unit is decoded, a reference is
// resolved where it starts, and the result goes straight to a writer that trims and flattens
// as it goes. Doing it in that order gives what decoding the whole run, resolving its
// references, trimming and flattening one after the other gives, without the texts between
// the steps.
//
// UTF-8 runs, the usual case, are read as bytes: a reference is ASCII, so it is found and
// resolved in the bytes before the characters around it are decoded. Other encodings, and
// bytes that are not strict UTF-8, are decoded first and their text goes through the same
// writer.
//
// A cell's bytes from the scan come with a readable tail (PaddedBytes), and are read 16 bytes
// at a time even when fewer are left: most cells are shorter than a block, so trimming and
// copying them a byte at a time would cost more than the one block. Bytes from other callers
// have no such tail and take the byte-at-a-time road.
#include "CellTextDecoder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

#include "ByteBlock.h"
#include "EntityUnescaper.h"
#include "FlatTextWriter.h"
#include "Log.h"
#include "TextCodec.h"
#include "Utf.h"

namespace gridmint {

CellTextDecoder::CellTextDecoder(TextEncoding useEncoding, const Defaults& defaults)
    : useEncoding_(useEncoding), defaults_(defaults), documentDecoder_(useEncoding) {}

namespace {

// The same test as isAsciiWhiteSpace, as one load: cells often open with several such bytes.
constexpr std::array<bool, 256> whiteSpaceBytes = [] {
    std::array<bool, 256> white{};
    for (unsigned b = 0; b < 0x80; ++b) white[b] = isAsciiWhiteSpace(static_cast<unsigned char>(b));
    return white;
}();

// The helpers that take the writer are forced inline: a call that took it by reference would
// keep its position in memory, not in a register, all through the loops that call them.

// Code points above U+FFFF are two surrogates, neither of them white space.
[[gnu::always_inline]] inline void putCodePoint(FlatTextWriter& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.put(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.putInner(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.putInner(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

// Decodes the character at `p`, a byte of 0x80 or more, into `out`; returns its length, or 0
// when the bytes are not strict UTF-8. Two-byte characters, the most common, are done here.
[[gnu::always_inline]] inline int putUtf8Character(const unsigned char* p, const unsigned char* end,
                                                   FlatTextWriter& out) {
    if (p[0] >= 0xC2 && p[0] < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
        out.put(static_cast<char16_t>((p[0] & 0x1F) << 6 | (p[1] & 0x3F)));
        return 2;
    }
    char32_t codePoint = 0;
    const int length = decodeUtf8Sequence(p, static_cast<size_t>(end - p), codePoint);
    if (length != 0) putCodePoint(out, codePoint);
    return length;
}

// The reference at the "&" at `p` in `bytes`, resolved, or the "&" as it is; moves `p` past
// what it wrote.
template <typename Bytes>
[[gnu::always_inline]] inline void putReferenceOrAmpersand(Bytes bytes, const unsigned char*& p,
                                                           FlatTextWriter& out) {
    const auto* const start = reinterpret_cast<const unsigned char*>(bytes.data());
    if (const auto reference = resolveReferenceAt(bytes, static_cast<size_t>(p - start))) {
        out.put(reference->codeUnit);
        p += reference->length;
    } else {
        out.putInner(u'&');
        ++p;
    }
}

// Writes the byte at `p` that is not plain text (one beyond ASCII, "&", white space or a
// control) and moves `p` past what it used; false when the bytes there are not strict UTF-8.
template <typename Bytes>
[[gnu::always_inline]] inline bool putSpecialByte(Bytes bytes, const unsigned char*& p,
                                                  const unsigned char* end, FlatTextWriter& out) {
    const unsigned char b = *p;
    if (b >= 0x80) {
        const int length = putUtf8Character(p, end, out);
        p += length;
        return length != 0;
    }
    if (b == '&') {
        putReferenceOrAmpersand(bytes, p, out);
    } else {
        out.put(b);
        ++p;
    }
    return true;
}

// The strict UTF-8 bytes of a run, references resolved, into `out`. False when the bytes are
// not strict UTF-8; the caller then starts again on the general road.
bool writeUtf8Run(std::string_view bytes, FlatTextWriter& out) {
    const auto* const start = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* p = start;
    const auto* end = p + bytes.size();
    // ASCII white space at either end is trimmed whatever else the run holds, and no
    // reference can reach into the end's: it would have to close with a ";" there.
    while (p < end && whiteSpaceBytes[*p]) ++p;
    while (end > p && whiteSpaceBytes[end[-1]]) --end;
    while (p < end) {
        const unsigned char b = *p;
        if (plainBytes[b]) {
            p = out.putPlainBytes(p, end);
        } else if (!putSpecialByte(bytes, p, end, out)) {
            return false;
        }
    }
    return true;
}

#if defined(__SSE2__)
// The part of a run between the ASCII white space at its ends. `verbatim` says that those
// bytes are already their own text (see FlatTextWriter::putVerbatim).
struct TrimmedRun {
    const unsigned char* begin;
    const unsigned char* end;
    bool verbatim;
};

// [p, end) without the ASCII white space that opens it, read in blocks.
const unsigned char* skipWhiteSpaceInBlocks(const unsigned char* p, const unsigned char* end) {
    for (; p < end; p += 16) {
        const unsigned other = ~byteblock::asciiWhiteSpace(byteblock::load(p)) & 0xFFFF;
        if (other != 0) return std::min(p + __builtin_ctz(other), end);
    }
    return end;
}

// [p, end) without the ASCII white space that closes it, read in blocks. A block never
// starts before `p`: only the tail after `end` may be read.
const unsigned char* trimWhiteSpaceInBlocks(const unsigned char* p, const unsigned char* end) {
    while (end > p) {
        const unsigned char* block = end - p > 16 ? end - 16 : p;
        const unsigned other = ~byteblock::asciiWhiteSpace(byteblock::load(block)) &
                               byteblock::firstBytes(end - block);
        if (other != 0) return block + (32 - __builtin_clz(other));
        end = block;
    }
    return end;
}

// At most 16 bytes, trimmed and told apart from one block: bytes that are already their own
// text hold nothing beyond ASCII, no "&", CR or LF, and no two spaces side by side.
[[gnu::always_inline]] inline TrimmedRun trimShortRun(const unsigned char* p, std::ptrdiff_t size) {
    using namespace byteblock;
    const __m128i block = load(p);
    const unsigned spaces = equalTo(block, ' ');
    const unsigned other = ~asciiWhiteSpace(block) & firstBytes(size);
    if (other == 0) return {p, p, true};
    const int first = __builtin_ctz(other);
    const int end = 32 - __builtin_clz(other);
    const unsigned inside = firstBytes(end) & ~firstBytes(first);
    // Most runs that are not their own text hold a character beyond ASCII: that is the
    // quickest to see.
    if ((maskOf(block) & inside) != 0) return {p + first, p + end, false};
    const unsigned stops =
        equalTo(block, '&') | equalTo(block, '\r') | equalTo(block, '\n') | (spaces & spaces >> 1);
    return {p + first, p + end, (stops & inside) == 0};
}

TrimmedRun trimRunInBlocks(const unsigned char* start, std::size_t size) {
    if (size <= 16) return trimShortRun(start, static_cast<std::ptrdiff_t>(size));
    const unsigned char* begin = skipWhiteSpaceInBlocks(start, start + size);
    const unsigned char* end = start + size;
    if (end - begin > 16) {
        end = trimWhiteSpaceInBlocks(begin, end);
        if (end - begin > 16) return {begin, end, false};
    }
    return trimShortRun(begin, end - begin);
}

// writeUtf8Run for bytes with a readable tail: trimmed in blocks, a short run that is already
// its own text stored as one block, and the stretches between references, line breaks and
// runs of spaces written a block at a time, characters beyond ASCII included.
bool writeUtf8RunInBlocks(PaddedBytes bytes, FlatTextWriter& out) {
    const auto* const start = reinterpret_cast<const unsigned char*>(bytes.data());
    const TrimmedRun run = trimRunInBlocks(start, bytes.size());
    if (run.verbatim) {
        out.putVerbatim(run.begin, run.end);
        return true;
    }
    const auto* p = run.begin;
    const auto* const end = run.end;
    while (p < end) {
        const unsigned char b = *p;
        // A character beyond ASCII before the text has begun goes alone, since it is dropped
        // if it is White_Space; once the text has begun it is written with the text around it.
        if (plainBytes[b] || (b >= 0x80 && out.hasBegun())) {
            const auto* const stop = out.putInnerText(p, end);
            if (stop == p) return false;  // not strict UTF-8
            p = stop;
        } else if (!putSpecialByte(bytes, p, end, out)) {
            return false;
        }
    }
    return true;
}
#endif

void writeText(std::u16string_view text, FlatTextWriter& out) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (const auto reference = resolveReferenceAt(text, i)) {
                out.put(reference->codeUnit);
                i += reference->length - 1;
                continue;
            }
        }
        out.put(text[i]);
    }
}

}  // namespace

Text CellTextDecoder::decode(const char* buffer, size_t length, bool returnsAreSeparators) {
    if (length == 0) return Text();
    const std::string_view bytes(buffer, length);
    const auto room = [this](size_t units) {
        if (written_.size() < units) written_.resize(units);
        return written_.data();
    };
    size_t size = 0;
    bool written = false;
    if (useEncoding_ == encoding::utf8) {
        FlatTextWriter out(room(length), returnsAreSeparators);
        written = writeUtf8Run(bytes, out);
        if (written) size = out.finish();
    }
    if (!written) size = writeOnGeneralRoad(bytes, returnsAreSeparators, room);
    return Text(written_.data(), size);
}

template <class Room>
size_t CellTextDecoder::write(PaddedBytes bytes, bool returnsAreSeparators, Room room) {
    if (bytes.empty()) return 0;
    if (useEncoding_ == encoding::utf8) {
        // Room for the last block's 16 units, stored whole wherever they end.
        FlatTextWriter out(room(bytes.size() + PaddedBytes::readablePastEnd), returnsAreSeparators);
#if defined(__SSE2__)
        if (writeUtf8RunInBlocks(bytes, out)) return out.finish();
#else
        if (writeUtf8Run(bytes.view(), out)) return out.finish();
#endif
    }
    return writeOnGeneralRoad(bytes.view(), returnsAreSeparators, room);
}

// Other encodings, and bytes that are not strict UTF-8: decoded whole first, then written.
template <class Room>
size_t CellTextDecoder::writeOnGeneralRoad(std::string_view bytes, bool returnsAreSeparators,
                                           Room room) {
    decodeBytes(bytes, decoded_);
    FlatTextWriter out(room(decoded_.size()), returnsAreSeparators);
    writeText(decoded_, out);
    if (decoded_.size() >= hugeCell) Text().swap(decoded_);
    return out.finish();
}

Text CellTextDecoder::decode(PaddedBytes bytes, bool returnsAreSeparators) {
    const size_t size = write(bytes, returnsAreSeparators, [this](size_t units) {
        if (written_.size() < units) written_.resize(units);
        return written_.data();
    });
    Text text(written_.data(), size);
    if (written_.size() >= hugeCell) Text().swap(written_);
    return text;
}

void CellTextDecoder::decodeInto(PaddedBytes bytes, bool returnsAreSeparators, Table& table) {
    table.finishCell(write(bytes, returnsAreSeparators,
                           [&table](size_t units) { return table.cellRoom(units); }));
}

void CellTextDecoder::releaseBuffers() {
    Text().swap(decoded_);
    Text().swap(written_);
}

// The document's encoding first; then, from its start every time, the fallback list UTF-8,
// ISO-8859-1, UTF-16, ASCII. ISO-8859-1 accepts every byte, so the list ends there.
void CellTextDecoder::decodeBytes(std::string_view bytes, Text& out) {
    if (useEncoding_ != encoding::none && documentDecoder_.decode(bytes, out)) return;
    if (defaults_.integerForKey(defaultsKey::verbosity) >= 1) {
        // The number is printed as a C int, as the log line has always shown it.
        logLine("unable to make string using encoding " +
                std::to_string(static_cast<int>(useEncoding_)) + ", trying other encodings");
    }
    // Bytes that just failed as the document's UTF-8 fail again: skip the repeat.
    if (useEncoding_ != encoding::utf8 && decodeUtf8(bytes, out)) return;
    decodeLatin1(bytes, out);
}

Text trimAndFlatten(std::u16string_view text, bool returnsAreSeparators) {
    Text out(text.size(), u'\0');
    FlatTextWriter writer(out.data(), returnsAreSeparators);
    for (const char16_t unit : text) writer.put(unit);
    out.resize(writer.finish());
    return out;
}

}  // namespace gridmint
