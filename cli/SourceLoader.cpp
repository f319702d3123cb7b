#include "SourceLoader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "ByteBuffer.h"
#include "CurlFetcher.h"
#include "FetchSettings.h"
#include "HugePageHeap.h"
#include "UrlRoute.h"
#include "Utf.h"

namespace gridmint::cli {

namespace {

bool readStandardInput(std::string& bytes, int& errorNumber) {
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            errorNumber = errno;
            return false;
        }
        if (n == 0) return true;
        bytes.append(chunk, static_cast<size_t>(n));
    }
}

// Reads the bytes of the source into `bytes`; on failure sets the error of `loaded`.
bool readSource(const std::optional<std::string>& source, LoadedSource& loaded, ByteBuffer& bytes) {
    int errorNumber = 0;
    if (!source || *source == "-") {
        std::string input;
        if (!readStandardInput(input, errorNumber)) {
            loaded.error = std::string("cannot read standard input: ") + std::strerror(errorNumber);
            return false;
        }
        bytes = ByteBuffer(std::move(input));
        return true;
    }
    if (!ByteBuffer::mapFile(*source, bytes, errorNumber)) {
        loaded.error = "cannot read " + loaded.description + ": " + std::strerror(errorNumber);
        return false;
    }
    return true;
}

// A path that exists is read from disk, whatever it is, and so is text written as a path:
// a missing file is then reported with the system's reason rather than as an address that
// gave no response.
bool isLocalFile(const std::string& source) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(source), error)) return true;
    return source.starts_with("/") || source.starts_with("./") || source.starts_with("../");
}

LoadedSource loadAddress(const std::string& source, const Defaults& defaults) {
    LoadedSource loaded;
    loaded.description = "'" + source + "'";
    UrlLoadReport report;
    CurlFetcher fetcher;
    loaded.parser = initWithUrl(fromUtf8(source), defaults, fetcher,
                                fetchOptionsFromSettings(defaults), &report);
    if (!loaded.parser) {
        loaded.error = "cannot load " + loaded.description + ": " + describeFailure(report);
    }
    loaded.transportCharset = report.charset;
    loaded.pageAddress = report.pageUrl;
    return loaded;
}

}  // namespace

LoadedSource loadSource(const std::optional<std::string>& source, TextEncoding encoding,
                        const Defaults& defaults, bool scan) {
    if (source && *source != "-" && !isLocalFile(*source)) return loadAddress(*source, defaults);
    LoadedSource loaded;
    loaded.description = (!source || *source == "-") ? "standard input" : "'" + *source + "'";
    ByteBuffer bytes;
    if (!readSource(source, loaded, bytes)) return loaded;
    if (bytes.empty()) {
        loaded.error = loaded.description + " is empty: there is no page to read";
        return loaded;
    }
    prepareHeapForPage(bytes.size());
    if (!scan) {
        loaded.bytes = std::move(bytes);
        return loaded;
    }
    loaded.parser = HTMLTableParser::initWithData(std::move(bytes), encoding, defaults);
    if (!loaded.parser) loaded.error = "cannot scan " + loaded.description;
    return loaded;
}

}  // namespace gridmint::cli
