#include "ResponseCharset.h"

#include <gtest/gtest.h>

#include <array>

namespace gridmint {
namespace {

struct ContentTypeCase {
    const char* name;
    std::string_view contentType;
    TextEncoding expected;  // from the header alone, on a body without byte-order mark
};

constexpr std::array<ContentTypeCase, 16> contentTypeCases{{
    {"utf8", "text/html; charset=utf-8", encoding::utf8},
    {"upperCaseName", "text/html; charset=UTF-8", encoding::utf8},
    {"upperCaseParameter", "text/html; CHARSET=ISO-8859-1", encoding::isoLatin1},
    {"quotedValue", "text/html; charset=\"iso-8859-2\"", encoding::isoLatin2},
    {"spacesAroundEquals", "text/html ; charset = windows-1252 ", encoding::windows1252},
    {"laterParameter", "text/html; q=1; charset=shift_jis", encoding::shiftJIS},
    {"ascii", "text/html;charset=us-ascii", encoding::ascii},
    {"utf16", "text/html; charset=utf-16", encoding::utf16},
    {"thai", "text/html; charset=TIS-620", encoding::tis620},
    {"thaiWindows", "text/html; charset=windows-874", encoding::windows874},
    {"gb2312IsGbk", "text/html; charset=GB2312", encoding::gbk},
    {"big5", "text/html; charset=Big5", encoding::big5},
    {"hz", "text/html; charset=HZ-GB-2312", encoding::hzGB2312},
    {"unknownNameFallsBackToUtf8", "text/html; charset=koi8-r", encoding::utf8},
    {"noParameter", "text/html", encoding::utf8},
    {"charsetInTypeIsNoParameter", "text/charset=iso-8859-1", encoding::utf8},
}};

TEST(ResponseCharset, contentTypeTable) {
    for (const auto& c : contentTypeCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(detectResponseEncoding(std::string(c.contentType), "<html>"), c.expected);
    }
}

TEST(ResponseCharset, byteOrderMarkWhenHeaderNamesNoCharset) {
    EXPECT_EQ(detectResponseEncoding(std::string("text/html"), "\xFE\xFF\0<"), encoding::utf16);
    EXPECT_EQ(detectResponseEncoding(std::nullopt, "\xFF\xFE<\0"), encoding::utf16);
    EXPECT_EQ(
        detectResponseEncoding(std::string("text/html; charset=x-unknown"), "\xEF\xBB\xBF<html>"),
        encoding::utf8);
    // The header's charset comes before the mark.
    EXPECT_EQ(detectResponseEncoding(std::string("text/html; charset=iso-8859-1"), "\xFE\xFF"),
              encoding::isoLatin1);
    EXPECT_EQ(detectResponseEncoding(std::nullopt, ""), encoding::utf8);
    EXPECT_EQ(encodingFromByteOrderMark("\xEF\xBB"), encoding::none);
}

}  // namespace
}  // namespace gridmint
