#include "CellTextDecoder.h"

#include <string>

#include "EntityUnescaper.h"
#include "Log.h"
#include "Utf.h"

namespace gridmint {

CellTextDecoder::CellTextDecoder(TextEncoding useEncoding, const Defaults& defaults)
    : useEncoding_(useEncoding), defaults_(defaults), documentDecoder_(useEncoding) {}

Text CellTextDecoder::decode(const char* buffer, size_t length, bool returnsAreSeparators) {
    if (length == 0) return Text();
    Text text = unescapeEntities(decodeBytes(std::string_view(buffer, length)));
    return trimAndFlatten(text, returnsAreSeparators);
}

// The document's encoding first; then, from its start every time, the fallback list UTF-8,
// ISO-8859-1, UTF-16, ASCII. ISO-8859-1 accepts every byte, so the list ends there.
Text CellTextDecoder::decodeBytes(std::string_view bytes) {
    if (useEncoding_ != encoding::none) {
        if (auto text = documentDecoder_.decode(bytes)) return std::move(*text);
    }
    if (defaults_.integerForKey(defaultsKey::verbosity) >= 1) {
        // The number is printed as a C int, as the log line has always shown it.
        logLine("unable to make string using encoding " +
                std::to_string(static_cast<int>(useEncoding_)) + ", trying other encodings");
    }
    if (auto text = decodeUtf8(bytes)) return std::move(*text);
    return decodeLatin1(bytes);
}

Text trimAndFlatten(std::u16string_view text, bool returnsAreSeparators) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isWhiteSpace(text[begin])) ++begin;
    while (end > begin && isWhiteSpace(text[end - 1])) --end;

    Text out;
    out.reserve(end - begin);
    size_t spaces = 0;  // length of the current run of spaces (CR and LF counted as spaces)
    for (size_t i = begin; i < end; ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (returnsAreSeparators) ++spaces;
            continue;
        }
        if (c == u' ' && returnsAreSeparators) {
            ++spaces;
            continue;
        }
        if (spaces > 0) {
            out.append((spaces + 1) / 2, u' ');
            spaces = 0;
        }
        out.push_back(c);
    }
    // The trimmed text ends outside the white space set, so no run is left open here.
    return out;
}

}  // namespace gridmint
