#include "SourceText.h"

#include <utility>

#include "TextCodec.h"
#include "Utf.h"

namespace gridmint {

namespace {

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

std::optional<DecodedSource> decodeByByteOrderMark(std::string_view bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) {
        if (auto text = decodeUtf8(bytes.substr(3)))
            return DecodedSource{std::move(*text), encoding::utf8};
    } else if (startsWith(bytes, "\xFE\xFF") || startsWith(bytes, "\xFF\xFE")) {
        // The UTF-16 decoder reads the mark for the byte order and drops it.
        if (auto text = decodeBytes(bytes, encoding::utf16)) {
            return DecodedSource{std::move(*text), encoding::utf16};
        }
    }
    return std::nullopt;
}

std::optional<DecodedSource> decodeByDeclaredCharset(std::string_view bytes) {
    const auto charset = HTMLTableParser::extractCharsetFromHTML(bytes);
    if (!charset) return std::nullopt;
    const TextEncoding declared = HTMLTableParser::encodingForCharset(*charset);
    // The declaration was read from the bytes as ASCII, so they are not UTF-16 whatever they
    // say; decoding them as UTF-16 would turn a readable page into nonsense.
    if (declared == encoding::none || declared == encoding::utf16) return std::nullopt;
    if (auto text = decodeBytes(bytes, declared)) return DecodedSource{std::move(*text), declared};
    return std::nullopt;
}

}  // namespace

DecodedSource decodeHtmlFile(std::string_view bytes) {
    if (auto decoded = decodeByByteOrderMark(bytes)) return *decoded;
    if (auto decoded = decodeByDeclaredCharset(bytes)) return *decoded;
    if (auto text = decodeUtf8(bytes)) return {std::move(*text), encoding::utf8};
    return {decodeLatin1(bytes), encoding::isoLatin1};
}

Text pageText(const HTMLTableParser& parser) {
    if (parser.encoding() != encoding::none) {
        if (auto text = decodeBytes(parser.bytes(), parser.encoding())) return std::move(*text);
    }
    if (auto text = decodeUtf8(parser.bytes())) return std::move(*text);
    return decodeLatin1(parser.bytes());
}

}  // namespace gridmint
