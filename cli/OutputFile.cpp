#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Console.h"

namespace gridmint::cli {

namespace {

std::string directoryOf(const std::string& path) {
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

// The permissions the new file gets: those of the file it replaces, or what a newly created
// file would get. mkstemp alone would leave it readable by the owner only.
mode_t modeFor(const std::string& path) {
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Appends what `produce` hands over; returns 0 or the errno of the write that failed. A
// producer that stops on its own has no errno to give, and counts as an I/O error.
int fill(int fd, const ChunkProducer& produce) {
    int cause = 0;
    const bool whole = produce([fd, &cause](std::string_view chunk) {
        if (writeAll(fd, chunk)) return true;
        cause = errno;
        return false;
    });
    if (whole) return 0;
    return cause != 0 ? cause : EIO;
}

// Fills, sets the permissions, flushes to disk and closes; returns 0 or the errno of the
// step that failed (the descriptor is closed either way).
int fillAndClose(int fd, const ChunkProducer& produce, mode_t mode) {
    int cause = fill(fd, produce);
    if (cause == 0 && (fchmod(fd, mode) != 0 || fsync(fd) != 0)) cause = errno;
    if (cause != 0) {
        close(fd);
        return cause;
    }
    return close(fd) == 0 ? 0 : errno;
}

// Makes the rename itself durable; some file systems cannot sync a directory, which is
// not a failure of the write.
void syncDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// A file the user may not write is refused, as writing into it would be; renaming over it
// needs only the right to write its folder and would replace it all the same. Returns 0 or
// the reason (nothing there, or not a plain file, is left to the steps that follow).
int refusalOfExisting(const std::string& path) {
    struct stat existing {};
    if (stat(path.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return 0;
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

std::string failure(const std::string& path, int errorNumber) {
    return "cannot write '" + path + "': " + std::strerror(errorNumber);
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
    return writeFileAtomically(
        path, [bytes](const OutputSink& sink) { return sink(bytes); }, error);
}

bool writeFileAtomically(const std::string& path, const ChunkProducer& produce,
                         std::string& error) {
    if (const int refusal = refusalOfExisting(path); refusal != 0) {
        error = failure(path, refusal);
        return false;
    }
    const std::string directory = directoryOf(path);
    std::string temporary = directory + "/.gridmint-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = failure(path, errno);
        return false;
    }
    int cause = fillAndClose(fd, produce, modeFor(path));
    if (cause == 0 && rename(temporary.c_str(), path.c_str()) != 0) cause = errno;
    if (cause != 0) {
        unlink(temporary.c_str());
        error = failure(path, cause);
        return false;
    }
    syncDirectory(directory);
    return true;
}

}  // namespace gridmint::cli
