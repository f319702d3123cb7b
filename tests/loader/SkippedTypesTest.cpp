#include "SkippedTypes.h"

#include <gtest/gtest.h>

#include <array>

namespace gridmint {
namespace {

struct SkipCase {
    const char* name;
    std::string_view address;
    bool skipped;
};

constexpr std::array<SkipCase, 20> skipCases{{
    {"pdf", "http://example.com/report.pdf", true},
    {"mixedCasePdf", "http://example.com/report.Pdf", true},
    {"upperCaseZip", "file:///tmp/ARCHIVE.ZIP", true},
    {"doc", "http://example.com/a.doc", true},
    {"mov", "http://example.com/a.mov", true},
    {"wav", "http://example.com/a.wav", true},
    {"mp3", "file:///tmp/song.Mp3", true},
    {"mpg", "http://example.com/a.mpg", true},
    {"mp4", "http://example.com/a.mp4", true},
    {"trailingSlashIgnored", "http://example.com/report.pdf/", true},
    {"hostAloneIsLastComponent", "http://files.zip", true},
    {"html", "http://example.com/page.html", false},
    {"longerExtension", "http://example.com/letter.docx", false},
    {"queryIsPartOfExtension", "http://example.com/report.pdf?download=1", false},
    {"onlyLastExtensionCounts", "http://example.com/report.pdf.html", false},
    {"dotInEarlierComponent", "http://example.com/v1.pdf/index", false},
    {"noExtension", "http://example.com/report", false},
    {"hostOnly", "http://example.com/", false},
    {"emptyAddress", "", false},
    {"extensionMustMatchWholly", "http://example.com/a.pdfx", false},
}};

TEST(SkippedTypes, extensionTable) {
    for (const auto& c : skipCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isSkippedType(c.address), c.skipped);
    }
}

TEST(SkippedTypes, pathExtensionIsTextAfterLastDotOfLastComponent) {
    EXPECT_EQ(pathExtension("http://x/a.tar.gz"), "gz");
    EXPECT_EQ(pathExtension("http://x/a."), "");
    EXPECT_EQ(pathExtension("http://x/a.b/c"), "");
    EXPECT_EQ(pathExtension("/"), "");
}

}  // namespace
}  // namespace gridmint
