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
#include "CellTextDecoder.h"

#include <array>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "EntityUnescaper.h"
#include "Log.h"
#include "TextCodec.h"
#include "Utf.h"

namespace gridmint {

CellTextDecoder::CellTextDecoder(TextEncoding useEncoding, const Defaults& defaults)
    : useEncoding_(useEncoding), defaults_(defaults), documentDecoder_(useEncoding) {}

namespace {

constexpr bool isAsciiWhiteSpace(unsigned char b) {
    return b == 0x20 || (b >= 0x09 && b <= 0x0D);
}

constexpr bool isLineBreakOrSpace(char16_t c) {
    return c == u' ' || c == u'\r' || c == u'\n';
}

// isWhiteSpace without asking ICU about the many units that cannot be white space: beyond
// ASCII, Unicode's White_Space holds only U+0085, U+00A0 and units from U+1680 to U+3000.
bool isWhiteSpaceUnit(char16_t c) {
    if (c < 0x80) return isAsciiWhiteSpace(static_cast<unsigned char>(c));
    if (c != 0x85 && c != 0xA0 && (c < 0x1680 || c > 0x3000)) return false;
    return isNonAsciiWhiteSpace(c);
}

// Bytes that stand for themselves and need no further look: ASCII other than white space,
// controls and "&".
constexpr std::array<bool, 256> plainBytes = [] {
    std::array<bool, 256> plain{};
    for (unsigned b = 0x21; b < 0x80; ++b) plain[b] = b != '&';
    return plain;
}();

// The same test as isAsciiWhiteSpace, as one load: cells often open with several such bytes.
constexpr std::array<bool, 256> whiteSpaceBytes = [] {
    std::array<bool, 256> white{};
    for (unsigned b = 0; b < 0x80; ++b) white[b] = isAsciiWhiteSpace(static_cast<unsigned char>(b));
    return white;
}();

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
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            // Compared as signed bytes, everything from 0x80 up is below 0x21 too.
            const __m128i stop = _mm_or_si128(_mm_cmplt_epi8(chunk, _mm_set1_epi8(0x21)),
                                              _mm_cmpeq_epi8(chunk, _mm_set1_epi8('&')));
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target_), _mm_unpacklo_epi8(chunk, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target_ + 8),
                             _mm_unpackhi_epi8(chunk, zero));
            const int plain = mask == 0 ? 16 : __builtin_ctz(mask);
            target_ += plain;
            p += plain;
            if (plain < 16) return p;
        }
#endif
        while (p < end && plainBytes[*p]) *target_++ = *p++;
        return p;
    }

    size_t finish() {
        while (target_ != begin_ && isWhiteSpaceUnit(target_[-1])) --target_;
        return static_cast<size_t>(target_ - begin_);
    }

  private:
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

// Code points above U+FFFF are two surrogates, neither of them white space.
void putCodePoint(FlatTextWriter& out, char32_t codePoint) {
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
int putUtf8Character(const unsigned char* p, const unsigned char* end, FlatTextWriter& out) {
    if (p[0] >= 0xC2 && p[0] < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
        out.put(static_cast<char16_t>((p[0] & 0x1F) << 6 | (p[1] & 0x3F)));
        return 2;
    }
    char32_t codePoint = 0;
    const int length = decodeUtf8Sequence(p, static_cast<size_t>(end - p), codePoint);
    if (length != 0) putCodePoint(out, codePoint);
    return length;
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
        } else if (b >= 0x80) {
            const int length = putUtf8Character(p, end, out);
            if (length == 0) return false;
            p += length;
        } else if (b == '&') {
            const auto reference = resolveReferenceAt(bytes, static_cast<size_t>(p - start));
            if (reference) {
                out.put(reference->codeUnit);
                p += reference->length;
            } else {
                out.putInner(u'&');
                ++p;
            }
        } else {
            out.put(b);
            ++p;
        }
    }
    return true;
}

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
    if (written_.size() < length) written_.resize(length);
    if (useEncoding_ == encoding::utf8) {
        FlatTextWriter out(written_.data(), returnsAreSeparators);
        if (writeUtf8Run(bytes, out)) return result(out.finish());
    }
    decodeBytes(bytes, decoded_);
    if (written_.size() < decoded_.size()) written_.resize(decoded_.size());
    FlatTextWriter out(written_.data(), returnsAreSeparators);
    writeText(decoded_, out);
    if (decoded_.size() >= hugeCell) Text().swap(decoded_);
    return result(out.finish());
}

// The first `size` units of the working buffer, for a huge cell: it takes the buffer itself,
// so the kept text is not a second copy of it alongside the first.
Text CellTextDecoder::takeWritten(size_t size) {
    Text taken;
    taken.swap(written_);
    taken.resize(size);
    return taken;
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
