#include "OutputFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "TempDirectory.h"

namespace gridmint::cli {
namespace {

mode_t permissionsOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(OutputFile, createsNewFileWithUsualPermissions) {
    TempDirectory directory;
    const std::string path = directory.file("new.csv");
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, "\"a\",\"b\"", error)) << error;
    EXPECT_EQ(readFile(path), "\"a\",\"b\"");
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(permissionsOf(path), 0666 & ~mask);
    EXPECT_EQ(directory.entries(), std::vector<std::string>{"new.csv"});
}

TEST(OutputFile, replacesExistingFileKeepingItsPermissions) {
    TempDirectory directory;
    const std::string path = directory.file("old.csv");
    writeFile(path, "a much longer old content that must vanish entirely");
    chmod(path.c_str(), 0640);
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, "new", error)) << error;
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(permissionsOf(path), 0640u);
    EXPECT_EQ(directory.entries(), std::vector<std::string>{"old.csv"});
}

TEST(OutputFile, failuresLeaveNothingBehind) {
    TempDirectory directory;
    std::filesystem::create_directory(directory.path() / "taken");
    struct FailureCase {
        const char* name;
        std::string path;
        const char* reason;
    };
    const std::vector<FailureCase> cases = {
        {"missingDirectory", directory.file("missing/x.csv"), "No such file or directory"},
        {"destinationIsADirectory", directory.file("taken"), "Is a directory"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(writeFileAtomically(c.path, "data", error));
        EXPECT_NE(error.find("'" + c.path + "'"), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(directory.entries(), std::vector<std::string>{"taken"});
    }
}

TEST(OutputFile, chunksAreAppendedInOrder) {
    TempDirectory directory;
    const std::string path = directory.file("out.csv");
    writeFile(path, "old");
    std::string error;
    const bool written = writeFileAtomically(
        path,
        [](const OutputSink& sink) { return sink("\"a\",") && sink("") && sink("\"b\"\n\"c\""); },
        error);
    ASSERT_TRUE(written) << error;
    EXPECT_EQ(readFile(path), "\"a\",\"b\"\n\"c\"");
    EXPECT_EQ(directory.entries(), std::vector<std::string>{"out.csv"});
}

TEST(OutputFile, unfinishedOutputNeverReplacesTheFile) {
    // A producer that stops part way (as a writer does when its sink refuses a chunk) must
    // leave the old file and no temporary file; with no errno of its own it reads as an I/O
    // error.
    TempDirectory directory;
    const std::string path = directory.file("out.csv");
    writeFile(path, "keep me");
    std::string error;
    const bool written = writeFileAtomically(
        path, [](const OutputSink& sink) { return sink("partial") && false; }, error);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "cannot write '" + path + "': " + std::strerror(EIO));
    EXPECT_EQ(readFile(path), "keep me");
    EXPECT_EQ(directory.entries(), std::vector<std::string>{"out.csv"});
}

}  // namespace
}  // namespace gridmint::cli
