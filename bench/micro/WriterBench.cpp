// The writers on the tables of a generated table page: CSV for each table, as the tool writes
// one table, and JSON for the whole result. Throughput counts the bytes written, since the
// output is what the writers produce.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchPages.h"
#include "CsvWriter.h"
#include "JsonWriter.h"

namespace gridmint::bench {
namespace {

void csvWriter(benchmark::State& state) {
    const ResultDictionary& result = tablePageResult();
    size_t written = 0;
    for (auto _ : state) {
        for (const auto& [name, table] : result) {
            const std::string csv = csvUtf8FromArrays(table);
            written += csv.size();
            benchmark::DoNotOptimize(csv.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}

void jsonWriter(benchmark::State& state) {
    const ResultDictionary& result = tablePageResult();
    size_t written = 0;
    for (auto _ : state) {
        const std::string json = jsonFromResult(result);
        written += json.size();
        benchmark::DoNotOptimize(json.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}

BENCHMARK(csvWriter)->Unit(benchmark::kMillisecond);
BENCHMARK(jsonWriter)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace gridmint::bench
