// Finding the charset a page declares, and mapping a charset name to an encoding number.
// The charset found must be a trimmed ASCII piece of the page's head, adding bytes after the
// word that bounds the head must not change it, and every name must map to a known number,
// the same one when the name is wrapped in characters that no rule looks for.
#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzChecks.h"
#include "FuzzInput.h"
#include "HTMLTableParser.h"

namespace gridmint::fuzz {
namespace {

// The numbers a charset name can map to: none, or an encoding of the charset table.
constexpr TextEncoding charsetEncodings[] = {
    encoding::none,     encoding::isoLatin1,  encoding::isoLatin2, encoding::windows1252,
    encoding::tis620,   encoding::windows874, encoding::shiftJIS,  encoding::gbk,
    encoding::hzGB2312, encoding::gb2312,     encoding::big5,
};

void requireKnownEncoding(std::string_view charset) {
    const TextEncoding encoding = HTMLTableParser::encodingForCharset(charset);
    require(std::find(std::begin(charsetEncodings), std::end(charsetEncodings), encoding) !=
                std::end(charsetEncodings),
            "a charset maps to a number outside the charset table");
    require(HTMLTableParser::encodingForCharset(charset) == encoding,
            "the same charset maps to two numbers");
    // No rule's pattern holds "~", so wrapping the name in it adds and removes no match.
    require(HTMLTableParser::encodingForCharset(std::string("~").append(charset).append("~")) ==
                encoding,
            "the mapping depends on where in the name a pattern stands");
}

void requireDeclaredCharset(std::string_view page, const std::string& charset) {
    require(page.find("charset") != std::string_view::npos ||
                page.find("CHARSET") != std::string_view::npos,
            "a charset is found in a page that never says charset");
    require(page.find(charset) != std::string_view::npos, "the charset is not a piece of the page");
    require(charset.find('>') == std::string::npos, "the charset runs past the tag's end");
    for (char c : charset)
        require(static_cast<unsigned char>(c) < 0x80, "the charset is not ASCII");
    if (!charset.empty()) {
        constexpr std::string_view trimmed = " =\"'";
        require(trimmed.find(charset.front()) == std::string_view::npos &&
                    trimmed.find(charset.back()) == std::string_view::npos,
                "the charset is not trimmed");
    }
}

}  // namespace
}  // namespace gridmint::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace gridmint;
    using namespace gridmint::fuzz;

    const std::string_view page(reinterpret_cast<const char*>(data), size);
    const auto charset = HTMLTableParser::extractCharsetFromHTML(page);
    require(HTMLTableParser::extractCharsetFromHTML(page) == charset,
            "the same page gives two charsets");
    if (charset) {
        requireDeclaredCharset(page, *charset);
        requireKnownEncoding(*charset);
    }

    // The head ends at the first "body" (or, without one, the first "BODY"); bytes added after
    // the end of a page that holds that word lie beyond the head. The added bytes start with a
    // line end and hold neither word, so they cannot move the head's end.
    const bool bounded =
        page.find("body") != std::string_view::npos || page.find("BODY") != std::string_view::npos;
    if (bounded) {
        const std::string longer = std::string(page) + "\n<meta charset=big5>";
        require(HTMLTableParser::extractCharsetFromHTML(longer) == charset,
                "bytes after the head changed the charset");
    }

    requireKnownEncoding(page);
    return 0;
}
