// A mapped page gives its memory back behind the scan; nothing it holds may change for that.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"

namespace gridmint {
namespace {

class MappedFile : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove(path); }

    void write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

    std::string path = (std::filesystem::temp_directory_path() /
                        ("gridmint-bytes-" + std::to_string(getpid()) + ".html"))
                           .string();
};

// Several scan windows' worth of tables, cells crossing every window boundary somewhere.
std::string largePage() {
    std::string page = "<table id=big>";
    for (int row = 0; page.size() < (size_t{13} << 20); ++row) {
        page += "<tr><td>row " + std::to_string(row) + " &amp; caf\xC3\xA9</td><td>" +
                std::string(static_cast<size_t>(row % 997), 'x') + "</td></tr>\n";
    }
    return page + "</table>";
}

TEST_F(MappedFile, scanningReleasesNothingThatIsStillNeeded) {
    const std::string page = largePage();
    write(page);
    ByteBuffer mapped;
    int error = 0;
    ASSERT_TRUE(ByteBuffer::mapFile(path, mapped, error)) << std::strerror(error);
    InMemoryDefaults defaults;
    const auto fromFile =
        HTMLTableParser::initWithData(std::move(mapped), encoding::utf8, defaults);
    const auto fromCopy = test::parseBytes(page, defaults);
    ASSERT_TRUE(fromFile && fromCopy);
    EXPECT_EQ(test::describe(fromFile->getResultDictionary()),
              test::describe(fromCopy->getResultDictionary()));
    // The released pages come back from the file when read again.
    EXPECT_TRUE(fromFile->bytes() == page);
}

TEST_F(MappedFile, missingFileGivesTheSystemsReason) {
    ByteBuffer mapped;
    int error = 0;
    EXPECT_FALSE(ByteBuffer::mapFile(path + ".absent", mapped, error));
    EXPECT_EQ(error, ENOENT);
}

}  // namespace
}  // namespace gridmint
