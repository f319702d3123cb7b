// Building blocks for the writers that turn tables into UTF-8 in bulk: a bounded buffer
// written through a raw pointer and emptied into a sink chunk by chunk, a walk over the code
// units that tests sixteen at a time and copies plain ASCII runs in bulk, and the UTF-8 form
// of one code point. Each writer asks for the most room the next piece of a cell can take, so
// the inner loops never test capacity, and the output never needs more memory than one chunk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "OutputSink.h"

namespace gridmint {

class ChunkedOutput {
  public:
    static constexpr size_t capacity = 256 * 1024;
    // The most one reserve() may ask for; writers cut longer cells into pieces.
    static constexpr size_t maxRoom = capacity / 4;

    explicit ChunkedOutput(const OutputSink& sink)
        : sink_(sink), bytes_(std::make_unique_for_overwrite<char[]>(capacity)) {}

    // A write position with room for at least `room` (at most maxRoom) bytes; valid until
    // the next call. Hands the buffer to the sink first when the room is not left in it.
    char* reserve(size_t room) {
        if (capacity - used_ < room) flush();
        return bytes_.get() + used_;
    }
    // Keeps everything written up to `end`, a pointer into the room given by reserve.
    void commit(const char* end) { used_ = static_cast<size_t>(end - bytes_.get()); }
    // The end of the buffer: a writer holding a write position may write on up to here
    // before it commits and reserves again.
    const char* limit() const { return bytes_.get() + capacity; }

    // Once the sink has refused a chunk, nothing more reaches it; writers may stop early.
    bool failed() const { return failed_; }

    // Hands over what is left; true when the sink took every chunk.
    bool finish() {
        flush();
        return !failed_;
    }

  private:
    void flush() {
        if (!failed_ && used_ > 0) failed_ = !sink_(std::string_view(bytes_.get(), used_));
        used_ = 0;
    }

    const OutputSink& sink_;
    std::unique_ptr<char[]> bytes_;
    size_t used_ = 0;
    bool failed_ = false;
};

namespace utf8 {

// The ASCII code units a writer copies unchanged: from `lowest` (at least 1, so that NUL and
// the saturated form of a high unit below stay apart) up to U+007F, except the two it must
// escape (they may be the same unit).
struct PlainAscii {
    char16_t lowest;
    char16_t reservedA;
    char16_t reservedB;

    constexpr bool accepts(char16_t unit) const {
        return unit >= lowest && unit < 0x80 && unit != reservedA && unit != reservedB;
    }
};

// Extra room a writer keeps after its output: a block copy stores sixteen bytes however few
// of them it keeps.
inline constexpr size_t blockSlack = 16;

#if defined(__SSE2__)
// Up to sixteen code units from `s` (n of them, 1 to 16) narrowed to bytes by unsigned
// saturation, without reading past the n units: a short block is gathered from two
// overlapping loads, or unit by unit below four.
inline __m128i loadNarrowed(const char16_t* s, size_t n) {
    if (n == 16) {
        return _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8)));
    }
    alignas(16) char16_t units[16] = {};
    if (n >= 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + n - 8),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 8)));
    } else if (n >= 4) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(units),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(units + n - 4),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + n - 4)));
    } else {
        for (size_t i = 0; i < n; ++i) units[i] = s[i];
    }
    return _mm_packus_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(units)),
                            _mm_load_si128(reinterpret_cast<const __m128i*>(units + 8)));
}

// One bit per byte of `bytes`, the code units narrowed by unsigned saturation, for those that
// `plain` does not accept. Saturation turns every unit from U+0100 to U+7FFF into 0xFF and,
// reading the lanes as signed, every unit of U+8000 and above into 0x00: both, and the units
// from U+0080 to U+00FF, then fail the signed test against `lowest`.
inline unsigned rejectedUnits(__m128i bytes, PlainAscii plain) {
    const __m128i low = _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(plain.lowest)));
    const __m128i a = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(plain.reservedA)));
    const __m128i b = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(plain.reservedB)));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, _mm_or_si128(a, b))));
}
#endif

// Writes the code units of [s, end): those `plain` accepts copied as bytes, every other one
// through `writeOther(p, at)`, which writes the unit at `at` (with its low surrogate when it
// takes one, which may lie past `end`), advances `at` and returns the new end of the output.
// Returns where it stopped: `end`, or one past it after such a pair. Sixteen units are tested
// at once, and the plain runs between the units found are copied from the narrowed block.
// Needs room for what the units take plus blockSlack.
template <class WriteOther>
inline const char16_t* writeUnits(char*& p, const char16_t* s, const char16_t* const end,
                                  PlainAscii plain, WriteOther writeOther) {
#if defined(__SSE2__)
    while (s < end) {
        const size_t n = std::min<size_t>(static_cast<size_t>(end - s), 16);
        const __m128i bytes = loadNarrowed(s, n);
        alignas(16) char narrowed[32];
        _mm_store_si128(reinterpret_cast<__m128i*>(narrowed), bytes);
        // A stop at every unit that needs writeOther, and one just after the block.
        unsigned stops = rejectedUnits(bytes, plain) | (~0u << n);
        size_t copied = 0;
        for (;;) {
            const size_t stop = static_cast<size_t>(__builtin_ctz(stops));
            std::memcpy(p, narrowed + copied, 16);
            p += stop - copied;
            if (stop >= n) {
                s += n;
                break;
            }
            const char16_t* at = s + stop;
            p = writeOther(p, at);
            copied = static_cast<size_t>(at - s);
            // A surrogate pair may end just past the block; the next block starts after it.
            if (copied >= n) {
                s = at;
                break;
            }
            stops &= ~0u << copied;
        }
    }
#else
    while (s < end) {
        if (plain.accepts(*s)) {
            *p++ = static_cast<char>(*s++);
        } else {
            p = writeOther(p, s);
        }
    }
#endif
    return s;
}

inline bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Writes the UTF-8 form of a code point of U+0080 or above (no surrogate); returns the end.
inline char* writeMultiByte(char* p, char32_t c) {
    if (c < 0x800) {
        p[0] = static_cast<char>(0xC0 | (c >> 6));
        p[1] = static_cast<char>(0x80 | (c & 0x3F));
        return p + 2;
    }
    if (c < 0x10000) {
        p[0] = static_cast<char>(0xE0 | (c >> 12));
        p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        p[2] = static_cast<char>(0x80 | (c & 0x3F));
        return p + 3;
    }
    p[0] = static_cast<char>(0xF0 | (c >> 18));
    p[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    p[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    p[3] = static_cast<char>(0x80 | (c & 0x3F));
    return p + 4;
}

// Reads the code unit at `s` (not ASCII) together with its low surrogate when it is a high
// surrogate followed by one. Returns the code point, or the lone surrogate itself, and
// advances `s` past what it used.
inline char32_t readNonAscii(const char16_t*& s, const char16_t* end) {
    const char32_t c = *s++;
    if (isHighSurrogate(c) && s < end && isLowSurrogate(*s)) {
        return 0x10000 + ((c - 0xD800) << 10) + (*s++ - 0xDC00);
    }
    return c;
}

}  // namespace utf8

// Writes `opening` (at most 3 bytes), then `text`, then `closing` (at most 1 byte). The text
// goes in pieces small enough that one piece, at `maxBytesPerUnit` bytes per code unit,
// always fits in the room one reserve gives, with the opening, the closing and the one unit
// more that finishing a surrogate pair across the end of a piece takes.
// `writePiece(p, s, pieceEnd, end)` writes the units of [s, pieceEnd), reading on to `end`
// only to complete a surrogate pair, and returns where it stopped.
template <size_t maxBytesPerUnit, class WritePiece>
void writeFramedInPieces(ChunkedOutput& out, std::string_view opening, std::u16string_view text,
                         std::string_view closing, WritePiece writePiece) {
    constexpr size_t pieceUnits = (ChunkedOutput::maxRoom - utf8::blockSlack) / maxBytesPerUnit - 2;
    const char16_t* s = text.data();
    const char16_t* const end = s + text.size();
    size_t units = std::min(text.size(), pieceUnits);
    char* p = out.reserve(units * maxBytesPerUnit + opening.size() + closing.size() + 1 +
                          utf8::blockSlack);
    p = std::copy(opening.begin(), opening.end(), p);
    for (;;) {
        s = writePiece(p, s, s + units, end);
        if (s >= end) break;
        out.commit(p);
        units = std::min(static_cast<size_t>(end - s), pieceUnits);
        p = out.reserve(units * maxBytesPerUnit + closing.size() + 1 + utf8::blockSlack);
    }
    p = std::copy(closing.begin(), closing.end(), p);
    out.commit(p);
}

// Writes `separator` (unless it is NUL), then `text` between double quotes.
template <size_t maxBytesPerUnit, class WritePiece>
void writeQuotedInPieces(ChunkedOutput& out, char separator, std::u16string_view text,
                         WritePiece writePiece) {
    const char opening[] = {separator, '"'};
    const std::string_view quoted(opening, 2);
    writeFramedInPieces<maxBytesPerUnit>(out, separator != '\0' ? quoted : quoted.substr(1), text,
                                         "\"", writePiece);
}

}  // namespace gridmint
