// A main for the fuzz targets in builds without libFuzzer: runs the target once on every file
// named on the command line, and on every file below every folder named there, in name
// order. So the targets compile in every build and CTest can replay their saved inputs
// (under the sanitizers too, in a sanitizer build). A broken property aborts the run; the
// input being run is printed first, so the report says which one it was.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// The files to run, or false when an argument names nothing that can be read.
bool collectInputs(const fs::path& path, std::vector<fs::path>& inputs) {
    std::error_code error;
    if (fs::is_regular_file(path, error)) {
        inputs.push_back(path);
        return true;
    }
    if (!fs::is_directory(path, error)) return false;
    for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error)) inputs.push_back(it->path());
    }
    return !error;
}

// The bytes in a buffer of exactly their size, so a sanitizer catches any read past the end.
bool runInput(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    const std::vector<char> content{std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>()};
    if (file.bad()) return false;
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[content.size()]);
    std::copy(content.begin(), content.end(), bytes.get());
    std::fprintf(stderr, "running %s\n", path.c_str());
    std::fflush(stderr);
    LLVMFuzzerTestOneInput(bytes.get(), content.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!collectInputs(argv[i], inputs)) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "%s: no inputs to replay\n", argv[0]);
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        if (!runInput(path)) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], path.c_str());
            return 2;
        }
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
