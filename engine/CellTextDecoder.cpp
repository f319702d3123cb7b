#include "CellTextDecoder.h"

#include <cstring>
#include <string>

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

// The common cell in one pass: UTF-8 without "&", decoded, trimmed and flattened at once.
// Gives nothing when the bytes are not strict UTF-8 or the text would still begin or end
// with white space beyond ASCII; the caller then takes the general road, which gives the same
// result for everything this accepts.
std::optional<Text> decodeSimpleUtf8(std::string_view bytes, bool returnsAreSeparators) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end && isAsciiWhiteSpace(*p)) ++p;
    while (end > p && isAsciiWhiteSpace(end[-1])) --end;
    Text out(static_cast<size_t>(end - p), u'\0');
    char16_t* target = out.data();
    size_t spaces = 0;
    while (p < end) {
        const unsigned char b = *p;
        if (b == ' ' || b == '\r' || b == '\n') {
            ++p;
            if (returnsAreSeparators) {
                ++spaces;
            } else if (b == ' ') {
                *target++ = u' ';
            }
            continue;
        }
        for (size_t half = (spaces + 1) / 2; half > 0; --half) *target++ = u' ';
        spaces = 0;
        if (b < 0x80) {
            *target++ = b;
            ++p;
            continue;
        }
        char32_t codePoint = 0;
        const int length = decodeUtf8Sequence(p, static_cast<size_t>(end - p), codePoint);
        if (length == 0) return std::nullopt;
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
    if (!out.empty() && (isWhiteSpace(out.front()) || isWhiteSpace(out.back()))) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

Text CellTextDecoder::decode(const char* buffer, size_t length, bool returnsAreSeparators) {
    if (length == 0) return Text();
    const bool hasReference = std::memchr(buffer, '&', length) != nullptr;
    if (useEncoding_ == encoding::utf8 && !hasReference) {
        if (auto text = decodeSimpleUtf8(std::string_view(buffer, length), returnsAreSeparators)) {
            return std::move(*text);
        }
    }
    decodeBytes(std::string_view(buffer, length), decoded_);
    std::u16string_view text = decoded_;
    // Every encoding we decode writes "&" as the byte 0x26, so a run without that byte has
    // no reference; the byte search is much cheaper than looking at the decoded text.
    if (hasReference && text.find(u'&') != std::u16string_view::npos) {
        stringByUnescapingFromHTML(text, unescaped_);
        text = unescaped_;
    }
    return trimAndFlatten(text, returnsAreSeparators);
}

void CellTextDecoder::releaseBuffers() {
    Text().swap(decoded_);
    Text().swap(unescaped_);
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
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isWhiteSpace(text[begin])) ++begin;
    while (end > begin && isWhiteSpace(text[end - 1])) --end;

    Text out(end - begin, u'\0');  // flattening only ever shortens the text
    char16_t* target = out.data();
    size_t spaces = 0;  // length of the current run of spaces (CR and LF counted as spaces)
    for (size_t i = begin; i < end; ++i) {
        const char16_t c = text[i];
        if (c == u' ' || c == u'\r' || c == u'\n') {
            if (returnsAreSeparators) {
                ++spaces;
            } else if (c == u' ') {
                *target++ = c;
            }
            continue;
        }
        // A run of n spaces becomes n / 2 spaces, rounded up: pairs merged once, from the left.
        for (size_t half = (spaces + 1) / 2; half > 0; --half) *target++ = u' ';
        spaces = 0;
        *target++ = c;
    }
    // The trimmed text ends outside the white space set, so no run is left open here.
    out.resize(static_cast<size_t>(target - out.data()));
    return out;
}

}  // namespace gridmint
