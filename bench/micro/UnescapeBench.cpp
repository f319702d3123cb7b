// Resolving character references: in the short texts of cells that hold an "&", and in a
// long paragraph where references are sparse. Throughput counts the UTF-8 bytes the text had
// in the page, so it compares with the page rates of the other benchmarks.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchPages.h"
#include "EntityUnescaper.h"
#include "Utf.h"

namespace gridmint::bench {
namespace {

struct Texts {
    std::vector<Text> texts;
    size_t utf8Bytes = 0;
};

Texts cellsWithReferences() {
    Texts result;
    for (const std::string& cell : sampleCellBytes(20'000, 3)) {
        if (cell.find('&') == std::string::npos) continue;
        result.texts.push_back(fromUtf8(cell));
        result.utf8Bytes += cell.size();
    }
    return result;
}

// The first paragraphs of the text page, tags included: long runs with a reference now and
// then.
Texts longParagraph() {
    const std::string& page = pageOf(PageKind::text);
    const std::string_view start = std::string_view(page).substr(0, 64 * 1024);
    Texts result;
    result.texts.push_back(fromUtf8(start));
    result.utf8Bytes = start.size();
    return result;
}

void unescape(benchmark::State& state, const Texts& input) {
    for (auto _ : state) {
        for (const Text& text : input.texts) {
            Text unescaped = stringByUnescapingFromHTML(text);
            benchmark::DoNotOptimize(unescaped.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.utf8Bytes));
}

void unescapeCells(benchmark::State& state) {
    static const Texts input = cellsWithReferences();
    unescape(state, input);
}

void unescapeLongText(benchmark::State& state) {
    static const Texts input = longParagraph();
    unescape(state, input);
}

BENCHMARK(unescapeCells);
BENCHMARK(unescapeLongText);

}  // namespace
}  // namespace gridmint::bench
