// Making a parser: every route ends in the bytes route, which settles the encoding, keeps
// the bytes and runs the scan pass before the parser is handed out.
#include "HTMLTableParser.h"

#include "Log.h"
#include "Utf.h"

namespace gridmint {

namespace {

void logWhenVerbose(const Defaults& defaults, std::string_view message) {
    if (defaults.integerForKey(defaultsKey::verbosity) > 0) logLine(message);
}

// The byte order that a UTF-16 byte-order mark at the start of `bytes` gives: true for big
// endian (FE FF), false for little endian (FF FE), nothing without a mark.
std::optional<bool> utf16ByteOrder(std::string_view bytes) {
    if (bytes.size() < 2) return std::nullopt;
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    if (first == 0xFE && second == 0xFF) return true;
    if (first == 0xFF && second == 0xFE) return false;
    return std::nullopt;
}

}  // namespace

HTMLTableParser::HTMLTableParser(ByteBuffer bytes, TextEncoding encoding, const Defaults& settings)
    : defaults(&settings),
      useEncoding(encoding),
      data(std::move(bytes)),
      l(data.size()),
      cellDecoder(encoding, settings) {}

std::unique_ptr<HTMLTableParser> HTMLTableParser::initWithData(ByteBuffer bytes,
                                                               TextEncoding useEncoding,
                                                               const Defaults& defaults,
                                                               ScanMode mode) {
    // A page in UTF-16 would show the scan a NUL between every two characters, and no tag.
    // Its mark says how to read it, so it is scanned as text is: as UTF-8, whatever charset
    // it declares (which can only say UTF-16).
    if (const auto bigEndian = utf16ByteOrder(bytes.view())) {
        const Text text = decodeUtf16(bytes.view().substr(2), *bigEndian);
        return makeParser(ByteBuffer(toUtf8(text)), encoding::utf8, defaults, false, mode);
    }
    return makeParser(std::move(bytes), useEncoding, defaults, true, mode);
}

std::unique_ptr<HTMLTableParser> HTMLTableParser::initWithHTMLString(std::u16string_view html,
                                                                     const Defaults& defaults) {
    return makeParser(ByteBuffer(toUtf8(html)), encoding::utf8, defaults, false,
                      ScanMode::skipRuns);
}

std::unique_ptr<HTMLTableParser> HTMLTableParser::makeParser(ByteBuffer bytes,
                                                             TextEncoding useEncoding,
                                                             const Defaults& defaults,
                                                             bool honourDeclaredCharset,
                                                             ScanMode mode) {
    if (useEncoding == encoding::none) {
        logWhenVerbose(defaults, "parser initiated with nil text encoding");
    }
    if (honourDeclaredCharset) {
        if (auto charset = extractCharsetFromHTML(bytes.view())) {
            if (TextEncoding declared = encodingForCharset(*charset)) {
                useEncoding = declared;
            }
        }
    }
    if (bytes.empty()) {
        logWhenVerbose(defaults, "parser initiated with nil or no data");
        return nullptr;
    }
    std::unique_ptr<HTMLTableParser> parser(
        new HTMLTableParser(std::move(bytes), useEncoding, defaults));
    parser->bigKahunaPass(mode);
    parser->cellDecoder.releaseBuffers();  // a finished parser keeps only its bytes and tables
    parser->defaults = nullptr;            // nothing reads the settings once the pass is over
    return parser;
}

Text HTMLTableParser::getDataString() const {
    auto text = decodeUtf8(data.view());
    return text ? std::move(*text) : Text();
}

Text HTMLTableParser::unescapedStringFromBuffer(const char* buffer, size_t length,
                                                bool returnsAreSeparators) {
    return cellDecoder.decode(buffer, length, returnsAreSeparators);
}

}  // namespace gridmint
