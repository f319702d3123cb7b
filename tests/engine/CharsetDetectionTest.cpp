// The charset a page declares in its head, and the encoding number for a charset name.
#include <gtest/gtest.h>

#include "HTMLTableParser.h"

namespace gridmint {
namespace {

struct ExtractCase {
    const char* name;
    std::string_view page;
    std::optional<std::string_view> charset;
};

const ExtractCase extractCases[] = {
    {"metaCharset", "<meta charset=\"utf-8\"><body>", "utf-8"},
    {"trimStopsAtSlash", "<meta charset=\"utf-8\" /><body>", "utf-8\" /"},
    {"httpEquivRunsToTagEnd",
     "<meta content=\"text/html; charset=iso-8859-1\" http-equiv=\"Content-Type\"><body>",
     "iso-8859-1\" http-equiv=\"Content-Type"},
    {"upperCaseWord", "<META CHARSET=ISO-8859-1><BODY>", "ISO-8859-1"},
    {"lowerCaseWordWins", "<meta charset=a><meta CHARSET=b><body>", "a"},
    {"mixedCaseWordNeverFound", "<meta Charset=utf-8><body>", std::nullopt},
    {"tbodyEndsHead", "<table><tbody></tbody></table><meta charset=utf-8><body>", std::nullopt},
    {"somebodyEndsHead", "<title>somebody</title><meta charset=x>", std::nullopt},
    {"upperBodyOnlyWhenNoLower", "<meta charset=x><BODY>", "x"},
    {"declarationAfterBody", "<body><meta charset=x>", std::nullopt},
    {"noBodyLastByteOutside", "<meta charset=x>", std::nullopt},
    {"noBodyOneMoreByte", "<meta charset=x>\n", "x"},
    {"noClosingBracket", "<meta charset=x<body>", std::nullopt},
    {"nonAsciiRun", "<meta charset=\xC3\xA9><body>", std::nullopt},
    {"emptyValue", "<meta charset=><body>", ""},
    {"empty", "", std::nullopt},
};

TEST(CharsetDetection, extractsDeclaredCharset) {
    for (const auto& c : extractCases) {
        SCOPED_TRACE(c.name);
        auto charset = HTMLTableParser::extractCharsetFromHTML(c.page);
        ASSERT_EQ(charset.has_value(), c.charset.has_value());
        if (charset) {
            EXPECT_EQ(*charset, *c.charset);
        }
    }
}

struct CharsetCase {
    std::string_view charset;
    TextEncoding encoding;
};

constexpr CharsetCase charsetCases[] = {
    {"iso-8859-1", encoding::isoLatin1},
    {"ISO-8859-15", encoding::isoLatin1},
    {"ISO-8859-11", encoding::isoLatin1},
    {"ISO-8859-10", 0},
    {"iso-8859-2", encoding::isoLatin2},
    {"windows-1252", encoding::windows1252},
    {"windows-1252\" /", encoding::windows1252},
    {"TIS-620", encoding::tis620},
    {"windows-874", encoding::windows874},
    {"Shift_JIS", encoding::shiftJIS},
    {"shift_jis", encoding::shiftJIS},
    {"SHIFT_JIS", encoding::shiftJIS},
    {"gb2312", encoding::gbk},
    {"GB_2312-80", encoding::gb2312},
    {"HZ-GB-2312", encoding::hzGB2312},
    {"hz-gb-2312", encoding::hzGB2312},
    {"Big5", encoding::big5},
    {"big5", encoding::big5},
    {"BIG5", encoding::big5},
    {"Big5-HKSCS", encoding::big5},
    {"gb2312 big5", encoding::big5},
    {"utf-8", 0},
    {"UTF-8", 0},
    {"x-sjis", 0},
    {"", 0},
};

TEST(CharsetDetection, mapsCharsetToEncoding) {
    for (const auto& c : charsetCases) {
        SCOPED_TRACE(std::string(c.charset));
        EXPECT_EQ(HTMLTableParser::encodingForCharset(c.charset), c.encoding);
    }
}

}  // namespace
}  // namespace gridmint
