#include "Console.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace gridmint::cli {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool writeStandardOutput(std::string_view bytes) {
    return writeAll(STDOUT_FILENO, bytes);
}

void writeStandardError(std::string_view text) {
    writeAll(STDERR_FILENO, text);
}

void printError(std::string_view message) {
    std::string line = "gridmint-extract: ";
    line += message;
    line += '\n';
    writeStandardError(line);
}

}  // namespace gridmint::cli
