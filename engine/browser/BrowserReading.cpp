#include "BrowserReading.h"

#include <unordered_map>

#include "BrowserCodec.h"
#include "EncodingSniffing.h"
#include "ReferenceResolver.h"
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
        Table packed = Table::fromRows(table.rows);
        std::vector<Row>().swap(table.rows);  // each table's rows go as soon as it is packed
        result.insertUnderUniqueName(std::move(base), std::move(packed));
    }
    return result;
}

// What the page's links are resolved against: its <base href> (itself resolved against the
// page's address), else the page's address; nothing when it has neither.
std::optional<std::string> linkBase(const std::optional<std::string>& baseHref,
                                    const std::string& pageAddress) {
    if (baseHref) {
        return pageAddress.empty() ? cleanedAddress(*baseHref)
                                   : resolveReference(pageAddress, *baseHref);
    }
    if (!pageAddress.empty()) return pageAddress;
    return std::nullopt;
}

std::vector<TableLinks> resolvedLinks(const std::vector<BrowserTable>& tables,
                                      const std::optional<std::string>& base) {
    std::vector<TableLinks> links(tables.size());
    for (size_t t = 0; t < tables.size(); ++t) {
        const auto& rowLinks = tables[t].rowLinks;
        for (size_t row = 0; row < rowLinks.size(); ++row) {
            for (const SlotLink& link : rowLinks[row]) {
                const std::string address =
                    base ? resolveReference(*base, link.href) : cleanedAddress(link.href);
                links[t].push_back({row, link.column, fromUtf8(address), link.inHeaderCell});
            }
        }
    }
    return links;
}

// The reading itself, over text that is valid UTF-8.
BrowserResult readValidUtf8(std::string_view page, const BrowserOptions& options) {
    TableTreeBuilder builder(options.spans, options.keepLineBreaks, options.links);
    Tokenizer tokenizer(page, builder);
    builder.attach(tokenizer);
    tokenizer.run();
    BrowserResult result;
    result.declaredCharset = builder.declaredCharset();
    if (builder.outputTooLarge()) {
        result.outputTooLarge = true;
        return result;
    }
    if (options.links) {
        result.links =
            resolvedLinks(builder.tables(), linkBase(builder.baseHref(), options.pageAddress));
    }
    result.sections.reserve(builder.tables().size());
    for (const BrowserTable& table : builder.tables()) result.sections.push_back(table.sections);
    result.tables = namedTables(builder.tables());
    return result;
}

}  // namespace

BrowserResult readTablesAsBrowser(std::string_view utf8, const BrowserOptions& options) {
    const std::optional<std::string> repaired = repairedUtf8(utf8);
    return readValidUtf8(repaired ? std::string_view(*repaired) : utf8, options);
}

// A decoded page is valid UTF-8 whatever its encoding was: it is not checked again.
BrowserResult readTablesFromBytesAsBrowser(std::string_view bytes, const BrowserOptions& options,
                                           std::string_view transportCharset) {
    const SettledEncoding settled = settleEncoding(bytes, transportCharset);
    BrowserResult result = readValidUtf8(decodeForBrowser(bytes, settled).text(), options);
    if (!settled.laterMetaDecides || !result.declaredCharset) return result;
    const SettledEncoding again = settleEncoding(bytes, transportCharset, result.declaredCharset);
    if (again.encoding == settled.encoding) return result;
    return readValidUtf8(decodeForBrowser(bytes, again).text(), options);
}

BrowserResult readTablesAsBrowser(std::u16string_view text, const BrowserOptions& options) {
    return readValidUtf8(toUtf8(text), options);
}

void moveLinksIntoColumns(BrowserResult& result) {
    for (size_t t = 0; t < result.links.size() && t < result.tables.size(); ++t) {
        Table& table = result.tables.tableAt(t);
        table = withLinkColumns(std::move(table), result.links[t]);
    }
    result.links.clear();
}

std::optional<SpanMode> spanModeNamed(std::string_view name) {
    if (name == "repeat") return SpanMode::repeat;
    if (name == "empty") return SpanMode::empty;
    if (name == "none") return SpanMode::none;
    return std::nullopt;
}

}  // namespace gridmint::browser
