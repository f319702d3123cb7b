// The whole scan of a page held in memory: charset settling, the pass, cell decoding and
// table collection, as HTMLTableParser::initWithData runs them. Copying the page into the
// parser's buffer is left out of the timing; the tool maps its file instead of copying.
#include <benchmark/benchmark.h>

#include "BenchPages.h"

namespace gridmint::bench {
namespace {

void scan(benchmark::State& state, PageKind kind) {
    silenceLog();
    const std::string& page = pageOf(kind);
    for (auto _ : state) {
        state.PauseTiming();
        ByteBuffer bytes = ByteBuffer::copyOf(page);
        state.ResumeTiming();
        auto parser =
            HTMLTableParser::initWithData(std::move(bytes), encoding::utf8, benchDefaults());
        benchmark::DoNotOptimize(parser->getResultDictionary().size());
        state.PauseTiming();
        parser.reset();  // freeing the tables is not part of the scan
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

BENCHMARK_CAPTURE(scan, tablePage, PageKind::table)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(scan, textPage, PageKind::text)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace gridmint::bench
