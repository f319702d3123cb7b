#include "BrowserReading.h"

#include <unordered_map>

#include "BrowserCodec.h"
#include "EncodingSniffing.h"
#include "TableTreeBuilder.h"
#include "Tokenizer.h"
#include "Utf.h"

namespace gridmint::browser {

namespace {

// The bytes with every invalid UTF-8 sequence replaced by U+FFFD, or nothing when they are
// valid already.
std::optional<std::string> repairedUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) return std::nullopt;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            out += static_cast<char>(*p++);
            continue;
        }
        char32_t codePoint;
        const int length = decodeUtf8Sequence(p, static_cast<size_t>(end - p), codePoint);
        if (length > 0) {
            out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
            p += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++p;
        }
    }
    return out;
}

// Unique names: the table's own, or "noclass N"; a repeated one gets " (1)", " (2)", ...
ResultDictionary namedTables(std::vector<BrowserTable>& tables) {
    ResultDictionary result;
    long unnamed = 0;
    for (BrowserTable& table : tables) {
        Text base =
            table.named ? std::move(table.name) : u"noclass " + fromUtf8(std::to_string(++unnamed));
        result.insertUnderUniqueName(std::move(base),
                                     Table(std::make_move_iterator(table.rows.begin()),
                                           std::make_move_iterator(table.rows.end())));
    }
    return result;
}

}  // namespace

BrowserResult readTablesAsBrowser(std::string_view utf8, const BrowserOptions& options) {
    const std::optional<std::string> repaired = repairedUtf8(utf8);
    const std::string_view page = repaired ? std::string_view(*repaired) : utf8;
    TableTreeBuilder builder(options.spans, options.keepLineBreaks);
    Tokenizer tokenizer(page, builder);
    builder.attach(tokenizer);
    tokenizer.run();
    BrowserResult result;
    result.declaredCharset = builder.declaredCharset();
    if (builder.outputTooLarge()) {
        result.outputTooLarge = true;
        return result;
    }
    result.tables = namedTables(builder.tables());
    return result;
}

BrowserResult readTablesFromBytesAsBrowser(std::string_view bytes, const BrowserOptions& options,
                                           std::string_view transportCharset) {
    const SettledEncoding settled = settleEncoding(bytes, transportCharset);
    BrowserResult result = readTablesAsBrowser(decodeForBrowser(bytes, settled).text(), options);
    if (!settled.laterMetaDecides || !result.declaredCharset) return result;
    const SettledEncoding again = settleEncoding(bytes, transportCharset, result.declaredCharset);
    if (again.encoding == settled.encoding) return result;
    return readTablesAsBrowser(decodeForBrowser(bytes, again).text(), options);
}

BrowserResult readTablesAsBrowser(std::u16string_view text, const BrowserOptions& options) {
    return readTablesAsBrowser(std::string_view(toUtf8(text)), options);
}

std::optional<SpanMode> spanModeNamed(std::string_view name) {
    if (name == "repeat") return SpanMode::repeat;
    if (name == "empty") return SpanMode::empty;
    if (name == "none") return SpanMode::none;
    return std::nullopt;
}

}  // namespace gridmint::browser
