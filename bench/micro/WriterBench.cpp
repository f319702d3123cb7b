// The writers on the tables of a generated table page: CSV for each table, as the tool writes
// one table, and JSON for the whole result; each both as one string, as the application takes
// it, and streamed in chunks to a sink, as the tool writes it. Throughput counts the bytes
// written, since the output is what the writers produce.
// The CSV writer runs in the default form and again in each other dialect (csvWriter/<name>
// and csvWriterStreamed/<name>), so that every form can be held to the same speed.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchPages.h"
#include "CsvWriter.h"
#include "JsonWriter.h"

namespace gridmint::bench {
namespace {

// Takes each chunk as the tool's output would, without keeping it.
struct CountingSink {
    size_t written = 0;
    bool operator()(std::string_view chunk) {
        benchmark::DoNotOptimize(chunk.data());
        written += chunk.size();
        return true;
    }
};

void csvWriter(benchmark::State& state, const CsvDialect& dialect) {
    const ResultDictionary& result = tablePageResult();
    size_t written = 0;
    for (auto _ : state) {
        for (const auto& [name, table] : result) {
            const std::string csv = csvUtf8FromArrays(table, dialect);
            written += csv.size();
            benchmark::DoNotOptimize(csv.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}

void csvWriterStreamed(benchmark::State& state, const CsvDialect& dialect) {
    const ResultDictionary& result = tablePageResult();
    CountingSink sink;
    const OutputSink output = std::ref(sink);
    for (auto _ : state) {
        for (const auto& [name, table] : result) writeCsvUtf8FromArrays(table, output, dialect);
    }
    state.SetBytesProcessed(static_cast<int64_t>(sink.written));
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

void jsonWriterStreamed(benchmark::State& state) {
    const ResultDictionary& result = tablePageResult();
    CountingSink sink;
    const OutputSink output = std::ref(sink);
    for (auto _ : state) writeJsonFromResult(result, output);
    state.SetBytesProcessed(static_cast<int64_t>(sink.written));
}

struct NamedDialect {
    const char* name;
    CsvDialect dialect;
};

// Each option alone, then all of them together.
const NamedDialect otherDialects[] = {
    {"semicolon", {';'}},
    {"tab", {'\t'}},
    {"pipe", {'|'}},
    {"bom", {',', true}},
    {"crlf", {',', false, CsvLineEnd::crlf}},
    {"minimal", {',', false, CsvLineEnd::lf, CsvQuoting::minimal}},
    {"guard", {',', false, CsvLineEnd::lf, CsvQuoting::all, true}},
    {"everything", {';', true, CsvLineEnd::crlf, CsvQuoting::minimal, true}},
};

void registerCsv(const std::string& suffix, const CsvDialect& dialect) {
    benchmark::RegisterBenchmark(("csvWriter" + suffix).c_str(), csvWriter, dialect)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("csvWriterStreamed" + suffix).c_str(), csvWriterStreamed, dialect)
        ->Unit(benchmark::kMillisecond);
}

const bool csvRegistered = [] {
    registerCsv("", CsvDialect{});
    for (const NamedDialect& d : otherDialects) registerCsv(std::string("/") + d.name, d.dialect);
    return true;
}();
BENCHMARK(jsonWriter)->Unit(benchmark::kMillisecond);
BENCHMARK(jsonWriterStreamed)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace gridmint::bench
