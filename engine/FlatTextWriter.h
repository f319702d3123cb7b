// The writer at the end of cell decoding: it takes a cell's text unit by unit (or, for runs
// that need no look, a stretch of bytes) and writes it trimmed and flattened, as the whole
// text would be. Used by CellTextDecoder only.
#pragma once

#include <array>
#include <cstddef>

#include "ByteBlock.h"
#include "Utf.h"

namespace gridmint {

constexpr bool isAsciiWhiteSpace(unsigned char b) {
    return b == 0x20 || (b >= 0x09 && b <= 0x0D);
}

constexpr bool isLineBreakOrSpace(char16_t c) {
    return c == u' ' || c == u'\r' || c == u'\n';
}

// isWhiteSpace without a call to ICU, for the units of every cell's ends: beyond ASCII,
// Unicode's White_Space is U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F,
// U+205F and U+3000. The decoder's tests hold this against isWhiteSpace for every unit.
inline bool isWhiteSpaceUnit(char16_t c) {
    if (c < 0x80) return isAsciiWhiteSpace(static_cast<unsigned char>(c));
    if (c < 0x1680) return c == 0x85 || c == 0xA0;
    if (c < 0x2000 || c > 0x3000) return c == 0x1680;
    return c <= 0x200A || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Bytes that stand for themselves and need no further look: ASCII other than white space,
// controls and "&".
inline constexpr std::array<bool, 256> plainBytes = [] {
    std::array<bool, 256> plain{};
    for (unsigned b = 0x21; b < 0x80; ++b) plain[b] = b != '&';
    return plain;
}();

#if defined(__SSE2__)
// The bytes that are not plainBytes, and `beyond`, except a space between two bytes that are
// plain or beyond ASCII: flattening leaves such a space as it is, and no reference beside it
// can turn into a space. The byte before the block is taken to be such a byte (the caller's
// to see to); the one after it is not known, so a space last in the block stops.
inline unsigned stopMaskKeepingLoneSpaces(__m128i block, unsigned beyond) {
    using namespace byteblock;
    const unsigned stops = belowOrBeyondAscii(block, 0x21) | equalTo(block, '&');
    const unsigned asciiStops = stops & ~maskOf(block);
    const unsigned loneSpaces =
        equalTo(block, ' ') & ~(asciiStops << 1) & ~((asciiStops | beyond) >> 1 | 0x8000);
    return (stops & ~loneSpaces) | beyond;
}
#endif

// Writes text unit by unit, trimmed and flattened as a whole text would be:
//   - White_Space before the first other unit is dropped;
//   - space, CR and LF are counted, and the next other unit first gets half that run of
//     spaces, rounded up (without separators: the spaces as they were, CR and LF dropped);
//   - finish() drops the White_Space written after the last other unit, and a run still
//     counted is never written.
// Trailing white space can only be known at the end, so it is written and then taken back.
// Every unit becomes at most one unit, so the output needs no more room than the input.
class FlatTextWriter {
  public:
    FlatTextWriter(char16_t* out, bool returnsAreSeparators)
        : begin_(out), target_(out), returnsAreSeparators_(returnsAreSeparators) {}

    // Whether a unit other than White_Space has been written: from then on, nothing is
    // dropped as leading white space.
    bool hasBegun() const { return target_ != begin_; }

    void put(char16_t unit) {
        if (isLineBreakOrSpace(unit)) {
            putLineBreakOrSpace(unit);
        } else if (target_ != begin_ || !isWhiteSpaceUnit(unit)) {
            putInner(unit);
        }
    }

    void putLineBreakOrSpace(char16_t unit) {
        if (target_ == begin_) return;
        if (returnsAreSeparators_) {
            ++spaces_;
        } else if (unit == u' ') {
            *target_++ = u' ';
        }
    }

    // A unit that is not space, CR or LF, and that is either not White_Space or not first.
    void putInner(char16_t unit) {
        if (spaces_ != 0) writeSpaces();
        *target_++ = unit;
    }

    // Writes the plain bytes from `p` on, as far as they go before `end`; returns where they
    // stop.
    const unsigned char* putPlainBytes(const unsigned char* p, const unsigned char* end) {
        if (spaces_ != 0) writeSpaces();
#if defined(__SSE2__)
        // Long runs 16 bytes at a time. All 16 are widened and stored, the units past the run
        // overwritten later: the output never runs ahead of the input, so with 16 bytes of
        // input left there is room for 16 units.
        while (end - p >= 16) {
            const __m128i chunk = storeWidened(p);
            const unsigned mask =
                byteblock::belowOrBeyondAscii(chunk, 0x21) | byteblock::equalTo(chunk, '&');
            const int plain = mask == 0 ? 16 : __builtin_ctz(mask);
            target_ += plain;
            p += plain;
            if (plain < 16) return p;
        }
#endif
        while (p < end && plainBytes[*p]) *target_++ = *p++;
        return p;
    }

#if defined(__SSE2__)
    // The methods below read 16-byte blocks that may reach up to 16 bytes past `end`, so the
    // bytes must have that readable tail, and the output room for 16 units more than the
    // input has bytes.

    // Bytes that are already their own text, at most 16: ASCII, no "&", CR or LF, no two
    // spaces side by side, no White_Space at either end.
    void putVerbatim(const unsigned char* p, const unsigned char* end) {
        storeWidened(p);
        target_ += end - p;
    }

    // From `p` on: plain bytes, lone spaces (see stopMaskKeepingLoneSpaces) and strict UTF-8
    // characters, each written as it is, as far as they go before `end`; returns where they
    // stop, which is `p` itself only when the bytes there are not strict UTF-8. The byte at
    // `p` must be plain, or from 0x80 up once the text has begun: then every unit written is
    // an inner one, never dropped or merged.
    const unsigned char* putInnerText(const unsigned char* p, const unsigned char* end) {
        if (spaces_ != 0) writeSpaces();
        for (;;) {
            if (*p < 0x80) {
                const std::ptrdiff_t left = end - p;
                const unsigned beyond = left < 16 ? ~byteblock::firstBytes(left) : 0;
                const __m128i block = storeWidened(p);
                const int plain = __builtin_ctz(stopMaskKeepingLoneSpaces(block, beyond) | 0x10000);
                target_ += plain;
                p += plain;
                if (p == end) return p;
                if (plain == 16) continue;
                if (*p < 0x80) return p;
            }
            const int length = putInnerUtf8Character(p, end);
            if (length == 0) return p;
            p += length;
            if (p == end) return p;
        }
    }
#endif

    size_t finish() {
        while (target_ != begin_ && isWhiteSpaceUnit(target_[-1])) --target_;
        return static_cast<size_t>(target_ - begin_);
    }

  private:
#if defined(__SSE2__)
    // The 16 bytes at `p` as 16 units at the target, which stays where it is; returns them.
    __m128i storeWidened(const unsigned char* p) {
        const __m128i block = byteblock::load(p);
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target_), _mm_unpacklo_epi8(block, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target_ + 8), _mm_unpackhi_epi8(block, zero));
        return block;
    }

    // The strict UTF-8 character at `p`, a byte from 0x80 up, as inner units; returns its
    // length, or 0 when the bytes are not strict UTF-8. Two-byte characters, the most common,
    // are done here.
    int putInnerUtf8Character(const unsigned char* p, const unsigned char* end) {
        const std::ptrdiff_t left = end - p;
        if (p[0] >= 0xC2 && p[0] < 0xE0 && left >= 2 && (p[1] & 0xC0) == 0x80) {
            *target_++ = static_cast<char16_t>((p[0] & 0x1F) << 6 | (p[1] & 0x3F));
            return 2;
        }
        char32_t codePoint = 0;
        const int length = decodeUtf8Sequence(p, static_cast<size_t>(left), codePoint);
        if (length == 0) return 0;
        if (codePoint < 0x10000) {
            *target_++ = static_cast<char16_t>(codePoint);
        } else {
            codePoint -= 0x10000;
            *target_++ = static_cast<char16_t>(0xD800 + (codePoint >> 10));
            *target_++ = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
        }
        return length;
    }
#endif

    // Pairs merge once, from the left: a run of n spaces becomes n / 2, rounded up.
    void writeSpaces() {
        for (size_t half = (spaces_ + 1) / 2; half > 0; --half) *target_++ = u' ';
        spaces_ = 0;
    }

    char16_t* const begin_;
    char16_t* target_;
    size_t spaces_ = 0;
    const bool returnsAreSeparators_;
};

}  // namespace gridmint
