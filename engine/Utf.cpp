#include "Utf.h"

#include <cstdint>
#include <cstring>

#include "ByteBlock.h"

namespace gridmint {

namespace {

constexpr std::uint64_t asciiTopBits = 0x8080808080808080ull;

std::uint64_t loadWord(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Length of the sequence that starts with `lead`, 0 when it cannot start one.
int sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC2) return 0;  // continuation byte, or a lead of an overlong 2-byte form
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 0;
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes the sequence at `p` (of `available` bytes); returns its length, 0 when invalid.
int decodeSequence(const unsigned char* p, size_t available, char32_t& codePoint) {
    const int length = sequenceLength(p[0]);
    if (length == 0 || static_cast<size_t>(length) > available) return 0;
    for (int i = 1; i < length; ++i) {
        if (!isContinuation(p[i])) return 0;
    }
    switch (length) {
        case 1: codePoint = p[0]; return 1;
        case 2: codePoint = (char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F); return 2;
        case 3:
            codePoint =
                (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            if (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
            return 3;
        default:
            codePoint = (char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                        (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
            if (codePoint < 0x10000 || codePoint > 0x10FFFF) return 0;
            return 4;
    }
}

// Decodes strictly into `out`; on an invalid sequence either fails or substitutes U+FFFD.
bool decode(std::string_view bytes, bool substitute, Text& out) {
    out.resize(bytes.size());  // never more code units than bytes
    char16_t* target = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        // Plain ASCII is by far the most common: widen it without further tests.
        while (p < end && *p < 0x80) *target++ = *p++;
        if (p == end) break;
        char32_t codePoint = 0;
        int length = decodeSequence(p, static_cast<size_t>(end - p), codePoint);
        if (length == 0) {
            if (!substitute) return false;
            codePoint = 0xFFFD;
            length = 1;
        }
        if (codePoint < 0x10000) {
            *target++ = static_cast<char16_t>(codePoint);
        } else {
            codePoint -= 0x10000;
            *target++ = static_cast<char16_t>(0xD800 + (codePoint >> 10));
            *target++ = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
        }
        p += length;
    }
    out.resize(static_cast<size_t>(target - out.data()));
    return true;
}

}  // namespace

int decodeUtf8Sequence(const unsigned char* p, size_t available, char32_t& codePoint) {
    return decodeSequence(p, available, codePoint);
}

std::optional<Text> decodeUtf8(std::string_view bytes) {
    Text out;
    if (!decode(bytes, false, out)) return std::nullopt;
    return out;
}

bool decodeUtf8(std::string_view bytes, Text& out) {
    return decode(bytes, false, out);
}

Text fromUtf8(std::string_view bytes) {
    Text out;
    decode(bytes, true, out);
    return out;
}

namespace {

// The length of the sequence of two or three bytes at `p` when it is one of the common valid
// ones, else 0 (decodeSequence then tells): a check of the lead and the continuation bytes,
// with the bounds that keep three-byte forms from being overlong or surrogates.
int commonSequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char lead = p[0];
    if (lead >= 0xC2 && lead < 0xE0) return end - p >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (lead < 0xE0 || lead >= 0xF0 || end - p < 3 || !isContinuation(p[2])) return 0;
    const unsigned char second = p[1];
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
    return second >= low && second <= high ? 3 : 0;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            // Most pages are mostly ASCII: sixteen or eight bytes at a time while no top bit
            // is set, then byte by byte to the next sequence.
#if defined(__SSE2__)
            unsigned high = 0;
            while (end - p >= 16 && (high = byteblock::maskOf(byteblock::load(p))) == 0) p += 16;
            if (high != 0) p += __builtin_ctz(high);
#endif
            while (end - p >= 8 && (loadWord(p) & asciiTopBits) == 0) p += 8;
            while (p < end && *p < 0x80) ++p;
            if (p == end) break;
        }
        // A sequence; letters of many scripts follow one another without ASCII between them.
        int length = commonSequenceLength(p, end);
        if (length == 0) {
            char32_t codePoint = 0;
            length = decodeSequence(p, static_cast<size_t>(end - p), codePoint);
            if (length == 0) return false;
        }
        p += length;
    }
    return true;
}

Text decodeLatin1(std::string_view bytes) {
    Text out;
    decodeLatin1(bytes, out);
    return out;
}

void decodeLatin1(std::string_view bytes, Text& out) {
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
}

Text decodeUtf16(std::string_view bytes, bool bigEndian) {
    Text out(bytes.size() / 2, u'\0');
    const int high = bigEndian ? 0 : 1;
    for (size_t i = 0; i < out.size(); ++i) {
        const auto highByte = static_cast<unsigned char>(bytes[2 * i + high]);
        const auto lowByte = static_cast<unsigned char>(bytes[2 * i + 1 - high]);
        out[i] = static_cast<char16_t>(highByte << 8 | lowByte);
    }
    if (bytes.size() % 2 != 0) out.push_back(u'\uFFFD');
    return out;
}

void appendUtf8(std::string& out, std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    appendUtf8(out, text);
    return out;
}

}  // namespace gridmint
