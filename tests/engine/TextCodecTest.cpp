// Strict decoding in each numbered encoding, and the fast UTF-8 paths.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "TextCodec.h"
#include "Utf.h"

namespace gridmint {
namespace {

using namespace std::literals;

struct CodecCase {
    const char* name;
    TextEncoding encoding;
    std::string_view bytes;
    bool decodes;
    std::u16string_view expected;
};

constexpr CodecCase codecCases[] = {
    {"asciiPlain", encoding::ascii, "abc", true, u"abc"},
    {"asciiRejectsHighByte", encoding::ascii, "ab\x80", false, u""},
    {"utf8TwoByte", encoding::utf8, "\xC3\xA9", true, u"\u00E9"},
    {"utf8FourByte", encoding::utf8, "\xF0\x9F\x98\x80", true, u"\U0001F600"},
    {"utf8Overlong", encoding::utf8, "\xC0\xAF", false, u""},
    {"utf8OverlongThreeByte", encoding::utf8, "\xE0\x80\xAF", false, u""},
    {"utf8EncodedSurrogate", encoding::utf8, "\xED\xA0\x80", false, u""},
    {"utf8AboveMax", encoding::utf8, "\xF4\x90\x80\x80", false, u""},
    {"utf8Truncated", encoding::utf8, "\xE2\x82", false, u""},
    {"utf8Noncharacter", encoding::utf8, "\xEF\xBF\xBE", true, u"\uFFFE"},
    {"latin1EveryByte", encoding::isoLatin1, "\x00\x80\xFF"sv, true, u"\u0000\u0080\u00FF"sv},
    {"latin2", encoding::isoLatin2, "\xB9", true, u"\u0161"},
    {"windows1252Euro", encoding::windows1252, "\x80", true, u"\u20AC"},
    {"windows1252ControlGap", encoding::windows1252, "\x81", true, u"\u0081"},
    {"shiftJIS", encoding::shiftJIS, "\x82\xA0", true, u"\u3042"},
    {"shiftJISTruncated", encoding::shiftJIS, "\x82", false, u""},
    {"utf16BigEndianDefault", encoding::utf16, "\x00\x41\x00\xE9"sv, true, u"A\u00E9"},
    {"utf16LittleEndianMark", encoding::utf16, "\xFF\xFE\x41\x00"sv, true, u"A"},
    {"utf16BigEndianMark", encoding::utf16, "\xFE\xFF\x00\x41"sv, true, u"A"},
    {"utf16OddCount", encoding::utf16, "\x00\x41\x00"sv, false, u""},
    {"tis620", encoding::tis620, "\xA1", true, u"\u0E01"},
    {"windows874", encoding::windows874, "\x80", true, u"\u20AC"},
    {"gbk", encoding::gbk, "\xC4\xE3", true, u"\u4F60"},
    {"gb2312Euc", encoding::gb2312, "\xC4\xE3", true, u"\u4F60"},
    {"hz", encoding::hzGB2312, "~{Dc~}", true, u"\u4F60"},
    {"big5", encoding::big5, "\xA4\xA4", true, u"\u4E2D"},
    {"unknownNumber", 77, "abc", false, u""},
    {"none", encoding::none, "abc", false, u""},
};

TEST(TextCodec, decodesStrictly) {
    for (const auto& c : codecCases) {
        SCOPED_TRACE(c.name);
        auto text = decodeBytes(c.bytes, c.encoding);
        ASSERT_EQ(text.has_value(), c.decodes);
        if (c.decodes) {
            EXPECT_EQ(*text, c.expected);
        }
    }
}

TEST(TextCodec, converterIsReusedAcrossCalls) {
    TextDecoder decoder(encoding::hzGB2312);
    EXPECT_EQ(decoder.decode("~{Dc"), u"\u4F60");  // leaves the converter in its GB mode
    EXPECT_EQ(decoder.decode("Dc"), u"Dc");        // each call starts in the initial state
}

TEST(TextCodec, whiteSpaceIsUnicodeWhiteSpace) {
    for (char16_t c : u" \t\n\v\f\r\u0085\u00A0\u1680\u2000\u200A\u2028\u2029\u202F\u205F\u3000") {
        if (c == 0) continue;
        EXPECT_TRUE(isWhiteSpace(c)) << int(c);
    }
    for (char16_t c : u"a\u200B\uFEFF\u180E_") {
        if (c == 0) continue;
        EXPECT_FALSE(isWhiteSpace(c)) << int(c);
    }
}

TEST(Utf, loneSurrogatesLeaveAsReplacementCharacter) {
    EXPECT_EQ(toUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(toUtf8(u"\xDC00"), "\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(u"\U0001F600\u00E9"), "\xF0\x9F\x98\x80\xC3\xA9");
}

TEST(Utf, validatorAgreesWithDecoder) {
    const std::string_view samples[] = {"",
                                        "plain",
                                        "\xC3\xA9",
                                        "\xC0\x80",
                                        "\xED\xBF\xBF",
                                        "\xF0\x90\x80\x80",
                                        "\xF8\x88\x80\x80\x80",
                                        "\xFF"};
    for (auto s : samples) EXPECT_EQ(isValidUtf8(s), decodeUtf8(s).has_value()) << s;
}

// Every lead byte with every second byte, and three-byte forms with third bytes on both sides
// of the continuation range, standing at the start, in the middle and at the end of ASCII
// runs long enough to be read a block at a time, and across the blocks' edges.
TEST(Utf, validatorAgreesWithDecoderOnEveryShortSequence) {
    std::vector<std::string> sequences;
    for (int lead = 0x80; lead < 0x100; ++lead) {
        sequences.push_back(std::string(1, static_cast<char>(lead)));
        for (int second = 0; second < 0x100; ++second) {
            const std::string two{static_cast<char>(lead), static_cast<char>(second)};
            sequences.push_back(two);
            if (lead < 0xE0) continue;
            for (const char third : {'\x41', '\x80', '\xBF', '\xC0'}) {
                sequences.push_back(two + third);
                if (lead >= 0xF0) sequences.push_back(two + third + '\x80');
            }
        }
    }
    int mismatches = 0;
    for (const std::string& sequence : sequences) {
        for (const size_t before : {0, 7, 31, 63, 77}) {
            for (const size_t after : {0, 1, 70}) {
                const std::string s = std::string(before, 'a') + sequence + std::string(after, 'b');
                if (isValidUtf8(s) != decodeUtf8(s).has_value() && ++mismatches < 10)
                    ADD_FAILURE() << "before " << before << ", after " << after << ", lead "
                                  << int(static_cast<unsigned char>(sequence[0]));
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Long texts of valid characters of every length, with now and then one byte changed:
// faults anywhere in a long text, and sequences that run into its last bytes.
TEST(Utf, validatorAgreesWithDecoderOnLongMixedTexts) {
    const std::string_view pieces[] = {"a",
                                       " ",
                                       "<",
                                       "\xC3\xA9",
                                       "\xD0\x96",
                                       "\xE2\x82\xAC",
                                       "\xE4\xB8\xAD",
                                       "\xED\x9F\xBF",
                                       "\xEF\xBF\xBD",
                                       "\xF0\x9F\x98\x80",
                                       "\xF4\x8F\xBF\xBF"};
    std::uint32_t random = 12345;
    auto next = [&random] {
        random = random * 1103515245u + 12345u;
        return random >> 8;
    };
    int mismatches = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string s;
        const size_t length = next() % 300;
        while (s.size() < length) s += pieces[next() % std::size(pieces)];
        if (round % 2 == 1 && !s.empty()) s[next() % s.size()] = static_cast<char>(next() & 0xFF);
        if (isValidUtf8(s) != decodeUtf8(s).has_value() && ++mismatches < 10)
            ADD_FAILURE() << "round " << round;
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace gridmint
