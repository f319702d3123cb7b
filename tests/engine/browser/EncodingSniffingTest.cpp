#include "browser/EncodingSniffing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "browser/BrowserCodec.h"

namespace gridmint::browser {
namespace {

using namespace std::string_literals;

struct Case {
    const char* name;
    std::string input;
    std::optional<std::string> expected;
};

TEST(EncodingSniffing, labelsResolveToCanonicalNames) {
    const Case cases[] = {
        {"latin1MeansWindows1252", "latin1", "windows-1252"},
        {"isoLatin1MeansWindows1252", "ISO-8859-1", "windows-1252"},
        {"asciiMeansWindows1252", "us-ascii", "windows-1252"},
        {"gb2312MeansGbk", "gb2312", "GBK"},
        {"xSjisMeansShiftJis", "x-sjis", "Shift_JIS"},
        {"ks_c_5601MeansEucKr", "ks_c_5601-1987", "EUC-KR"},
        {"utf16MeansLittleEndian", "utf-16", "UTF-16LE"},
        {"tis620MeansWindows874", "tis-620", "windows-874"},
        {"isoLatin5MeansWindows1254", "iso-8859-9", "windows-1254"},
        {"whiteSpaceAndCaseIgnored", " \t\nUTF8\f\r", "UTF-8"},
        {"iso2022krIsReplacement", "iso-2022-kr", "replacement"},
        {"lastLabelFound", "x-x-big5", "Big5"},
        {"firstLabelFound", "866", "IBM866"},
        {"unknownLabel", "utf-7", std::nullopt},
        {"innerSpaceNotIgnored", "utf -8", std::nullopt},
        {"nonBreakingSpaceNotWhiteSpace", "\xC2\xA0utf-8", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encodingForLabel(c.input), c.expected);
    }
}

TEST(EncodingSniffing, metaContentCharset) {
    const Case cases[] = {
        {"plain", "text/html; charset=koi8-r", "KOI8-R"},
        {"spacesAroundEquals", "text/html; CHARSET = gb2312", "GBK"},
        {"quoted", "charset='big5'", "Big5"},
        {"unquotedEndsAtSemicolon", "charset=big5;x", "Big5"},
        {"unmatchedQuote", "charset=\"big5", std::nullopt},
        {"charsetWithoutEqualsLooksFurther", "charset;charset=euc-kr", "EUC-KR"},
        {"nothingAfterEquals", "charset=", std::nullopt},
        {"unknownLabel", "charset=foo", std::nullopt},
        {"noCharset", "text/html", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(charsetFromMetaContent(c.input), c.expected);
    }
}

TEST(EncodingSniffing, laterMetaAttributes) {
    EXPECT_EQ(charsetFromMetaAttributes("koi8-r", std::nullopt, std::nullopt), "KOI8-R");
    EXPECT_EQ(charsetFromMetaAttributes("bogus", "Content-Type", "charset=big5"), "Big5");
    EXPECT_EQ(charsetFromMetaAttributes(std::nullopt, "refresh", "charset=big5"), std::nullopt);
    EXPECT_EQ(charsetFromMetaAttributes(std::nullopt, std::nullopt, "charset=big5"), std::nullopt);
    EXPECT_EQ(charsetFromMetaAttributes("utf-16be", std::nullopt, std::nullopt), "UTF-8");
    EXPECT_EQ(charsetFromMetaAttributes("x-user-defined", std::nullopt, std::nullopt),
              "windows-1252");
}

TEST(EncodingSniffing, prescanOfTheFirstKilobyte) {
    const std::string filler(1000, 'x');
    const Case cases[] = {
        {"charsetAttribute", "<meta charset=koi8-r>", "KOI8-R"},
        {"upperCaseTagAndSlash", "<META/charset='big5'>", "Big5"},
        {"pragmaThenContent", "<meta http-equiv=Content-Type content='text/html; charset=gbk'>",
         "GBK"},
        {"contentThenPragma", "<meta content='charset=euc-kr' http-equiv='content-type'>",
         "EUC-KR"},
        {"contentWithoutPragma", "<meta content='charset=euc-kr'>", std::nullopt},
        {"charsetBeatsContent",
         "<meta content='charset=koi8-r' http-equiv=content-type charset=big5>", "Big5"},
        {"failedCharsetStopsContent",
         "<meta http-equiv=content-type charset=bogus content='charset=big5'>", std::nullopt},
        {"repeatedAttributeIgnored", "<meta charset=bogus charset=big5>", std::nullopt},
        {"unknownThenLaterMeta", "<meta charset=bogus><meta charset=big5>", "Big5"},
        {"utf16MeansUtf8", "<meta charset=utf-16le>", "UTF-8"},
        {"xUserDefinedMeansWindows1252", "<meta charset=x-user-defined>", "windows-1252"},
        {"commentSkipped", "<!-- <meta charset=big5> --><meta charset=koi8-r>", "KOI8-R"},
        {"shortestComment", "<!--><meta charset=koi8-r>", "KOI8-R"},
        {"bogusCommentSkipped", "<!x <meta charset=big5>><meta charset=koi8-r>", "KOI8-R"},
        {"attributeValueHidesMeta", "<a title='<meta charset=big5>'><meta charset=koi8-r>",
         "KOI8-R"},
        {"metaPrefixOnly", "<metax charset=big5><meta charset=koi8-r>", "KOI8-R"},
        {"unclosedTagDeclaresNothing", "<meta charset=big5", std::nullopt},
        {"unclosedComment", "<!-- <meta charset=big5>", std::nullopt},
        {"withinTheLimit", filler + "<meta charset=big5>", "Big5"},
        {"cutByTheLimit", filler + "<meta charset=big5 " + std::string(30, ' ') + ">",
         std::nullopt},
        {"pastTheLimit", filler + std::string(30, 'y') + "<meta charset=big5>", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(prescanMetaCharset(c.input), c.expected);
    }
}

TEST(EncodingSniffing, settlingOrder) {
    struct Settling {
        const char* name;
        std::string bytes;
        std::string transport;
        std::optional<std::string> laterMeta;
        std::string expected;
        bool laterMetaDecides;
    };
    const Settling cases[] = {
        {"byteOrderMarkFirst", "\xEF\xBB\xBF<meta charset=big5>", "koi8-r", "GBK", "UTF-8", false},
        {"utf16LittleEndianMark", "\xFF\xFE<\0"s, "", {}, "UTF-16LE", false},
        {"utf16BigEndianMark", "\xFE\xFF\0<"s, "", {}, "UTF-16BE", false},
        {"transportNext", "<meta charset=big5>", "Shift_JIS", {}, "Shift_JIS", false},
        {"unknownTransportIgnored", "<meta charset=big5>", "nonsense", {}, "Big5", false},
        {"prescanNext", "<meta charset=big5>", "", "GBK", "Big5", false},
        {"laterMetaNext", "<p>\xE9", "", "GBK", "GBK", false},
        {"validUtf8", "<p>\xC3\xA9", "", {}, "UTF-8", true},
        {"detectorWhenSure", "<p>\xE9", "", {}, "KOI8-R", true},
        {"windows1252Last", "<p>\xE9\xE9\xE9\xE9", "", {}, "windows-1252", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto settled = settleEncoding(c.bytes, c.transport, c.laterMeta);
        EXPECT_EQ(settled.encoding, c.expected);
        EXPECT_EQ(settled.laterMetaDecides, c.laterMetaDecides);
    }
}

TEST(EncodingSniffing, decodingReplacesWhatItCannotDecode) {
    const struct {
        const char* encoding;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"UTF-8", "a\xC3\xA9", "a\xC3\xA9"},
        {"UTF-8", "a\xFF\xC3", "a\uFFFD\uFFFD"},
        {"UTF-8", "\xE4\xB8z", "\uFFFDz"},
        {"windows-1252", "\x80\x81\x9D\xFF", "\u20AC\u0081\u009D\u00FF"},
        {"windows-874", "\xA1\xDB\xFF", "\u0E01\uFFFD\uFFFD"},
        {"IBM866", "\x1A\x1C\x7F\x80", "\x1A\x1C\x7F\u0410"},
        {"Shift_JIS", "\x87\x40\x82\xA0\x82", "\u2460\u3042\uFFFD"},
        {"EUC-KR", "\x86\xEB", "\uB17F"},
        {"GBK", "\xD6\xD0", "\u4E2D"},
        {"Big5", "\xA4\xA4", "\u4E2D"},
        {"UTF-16LE", "A\0\0\xD8z"s, "A\uFFFD"},  // one error for both, as browsers do
        {"UTF-16BE", "\0A"s, "A"},
        {"ISO-8859-16", "\xA4\xAA", "\u20AC\u0218"},
        {"x-user-defined", "a\x80\xFF", "a\uF780\uF7FF"},
        {"replacement", "<table>", "\uFFFD"},
        {"no-such-encoding", "\x80", "\u20AC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + " " + c.bytes);
        EXPECT_EQ(decodeForBrowser(c.bytes, c.encoding).text(), c.expected);
    }
    const std::string page = "\xEF\xBB\xBFok";
    const auto decoded = decodeForBrowser(page, settleEncoding(page));
    EXPECT_EQ(decoded.text(), "ok");
    EXPECT_EQ(decoded.text().data(), page.data() + 3) << "valid UTF-8 is read in place";
}

// Pages of the shared corpus that declare nothing a browser believes.
TEST(EncodingSniffing, corpusPagesWithoutDeclaration) {
    const std::filesystem::path corpus = GRIDMINT_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"chardet/gb2312/_mozilla_bug171813_text.html", "gb18030"},
        {"chardet/big5/_chromium_Big5_with_no_encoding_specified.html", "Big5"},
        {"chardet/shift_jis/_chromium_Shift-JIS_with_no_encoding_specified.html", "Shift_JIS"},
        {"chardet/utf-8/_mozilla_bug426271_text-utf-8.html", "UTF-8"},
        {"chardet/windows-1252/_mozilla_bug421271_text.html", "windows-1252"},
        {"chardet/utf-16le/plane1-utf-16le.html", "windows-1252"},
        {"chardet/cp932/www2.chuo-u.ac.jp-suishin.xml", "Shift_JIS"},
        {"jsoup/baidu-cn-home.html", "GBK"},
        {"pandas/html_encoding/chinese_utf-16.html", "UTF-16LE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::ifstream in(corpus / c.path, std::ios::binary);
        ASSERT_TRUE(in) << "missing from the corpus";
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(settleEncoding(bytes.str()).encoding, c.expected);
    }
}

}  // namespace
}  // namespace gridmint::browser
