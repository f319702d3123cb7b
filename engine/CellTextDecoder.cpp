#include "CellTextDecoder.h"

#include <cstring>
#include <string>

#include "EntityUnescaper.h"
#include "Log.h"
#include "Utf.h"

namespace gridmint {

CellTextDecoder::CellTextDecoder(TextEncoding useEncoding, const Defaults& defaults)
    : useEncoding_(useEncoding), defaults_(defaults), documentDecoder_(useEncoding) {}

Text CellTextDecoder::decode(const char* buffer, size_t length, bool returnsAreSeparators) {
    if (length == 0) return Text();
    decodeBytes(std::string_view(buffer, length), decoded_);
    std::u16string_view text = decoded_;
    // Every encoding we decode writes "&" as the byte 0x26, so a run without that byte has
    // no reference; the byte search is much cheaper than looking at the decoded text.
    if (std::memchr(buffer, '&', length) && text.find(u'&') != std::u16string_view::npos) {
        stringByUnescapingFromHTML(text, unescaped_);
        text = unescaped_;
    }
    return trimAndFlatten(text, returnsAreSeparators);
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
    if (decodeUtf8(bytes, out)) return;
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
