// gridmint-genpage: writes one generated page, for the benchmark script and for trying the
// tool on pages of any size.
//   gridmint-genpage --kind table|text --size BYTES [--seed N] [--output FILE] [--stats]
// BYTES may end in k, M or G (powers of 1000). --stats prints what the page holds as one JSON
// line on standard error.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "PageGenerator.h"

namespace {

using gridmint::bench::PageKind;

struct Arguments {
    PageKind kind = PageKind::table;
    size_t size = 0;
    uint64_t seed = 1;
    std::string output;
    bool stats = false;
};

std::optional<uint64_t> parseCount(std::string_view text, bool allowSuffix) {
    uint64_t multiplier = 1;
    if (allowSuffix && !text.empty()) {
        switch (text.back()) {
            case 'k': multiplier = 1000; break;
            case 'M': multiplier = 1000 * 1000; break;
            case 'G': multiplier = 1000 * 1000 * 1000; break;
            default: break;
        }
        if (multiplier != 1) text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 18) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value * multiplier;
}

int usage(const char* problem) {
    std::fprintf(stderr,
                 "gridmint-genpage: %s\nusage: gridmint-genpage --kind table|text --size BYTES "
                 "[--seed N] [--output FILE] [--stats]\n",
                 problem);
    return 2;
}

bool writeAll(const std::string& bytes, const std::string& path) {
    FILE* file = path.empty() ? stdout : std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "gridmint-genpage: cannot open %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = path.empty() ? std::fflush(file) == 0 : std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "gridmint-genpage: cannot write %s: %s\n",
                     path.empty() ? "standard output" : path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    bool sizeGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--stats") {
            arguments.stats = true;
            continue;
        }
        if (i + 1 >= argc) return usage("an option lacks its value");
        const std::string_view value = argv[++i];
        if (name == "--kind") {
            const auto kind = gridmint::bench::pageKindFromName(value);
            if (!kind) return usage("--kind must be table or text");
            arguments.kind = *kind;
        } else if (name == "--size") {
            const auto size = parseCount(value, true);
            if (!size) return usage("--size must be a number of bytes");
            arguments.size = *size;
            sizeGiven = true;
        } else if (name == "--seed") {
            const auto seed = parseCount(value, false);
            if (!seed) return usage("--seed must be a number");
            arguments.seed = *seed;
        } else if (name == "--output") {
            arguments.output = value;
        } else {
            return usage("unknown option");
        }
    }
    if (!sizeGiven) return usage("--size is required");

    const auto page = gridmint::bench::generatePage(arguments.kind, arguments.size, arguments.seed);
    if (!writeAll(page.html, arguments.output)) return 1;
    if (arguments.stats) {
        const auto& s = page.stats;
        std::fprintf(stderr,
                     "{\"bytes\": %zu, \"tables\": %zu, \"rows\": %zu, \"cells\": %zu, "
                     "\"headSections\": %zu, \"commentedOutTables\": %zu}\n",
                     page.html.size(), s.tables, s.rows, s.cells, s.headSections,
                     s.commentedOutTables);
    }
    return 0;
}
