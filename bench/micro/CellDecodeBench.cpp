// Decoding the collected bytes of typical cells into their final text: UTF-8 pages (also with
// the readable tail that the scan gives them), the cells among them that hold a reference, a
// long run of page text as one piece, and windows-1252 pages, which go through a converter
// instead of the UTF-8 path.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchPages.h"
#include "CellTextDecoder.h"
#include "Utf.h"

namespace gridmint::bench {
namespace {

constexpr size_t sampleCount = 10'000;

// The windows-1252 byte of a code unit; text outside that encoding becomes "?", as a page
// saved in it would have lost it.
char windows1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    switch (c) {
        case u'\u20AC': return '\x80';
        case u'\u2013': return '\x96';
        case u'\u2014': return '\x97';
        case u'\u2018': return '\x91';
        case u'\u2019': return '\x92';
        case u'\u2122': return '\x99';
        case u'\u2212': return '-';
        default: return '?';
    }
}

std::vector<std::string> windows1252Samples() {
    std::vector<std::string> cells;
    for (const std::string& utf8 : sampleCellBytes(sampleCount, 2)) {
        std::string bytes;
        for (const char16_t c : fromUtf8(utf8)) bytes += windows1252Byte(c);
        cells.push_back(std::move(bytes));
    }
    return cells;
}

void decodeCells(benchmark::State& state, const std::vector<std::string>& cells,
                 TextEncoding encoding) {
    silenceLog();
    CellTextDecoder decoder(encoding, benchDefaults());
    size_t bytes = 0;
    for (const std::string& cell : cells) bytes += cell.size();
    for (auto _ : state) {
        for (const std::string& cell : cells) {
            Text text = decoder.decode(cell.data(), cell.size(), true);
            benchmark::DoNotOptimize(text.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * cells.size()));
}

void decodeUtf8Cells(benchmark::State& state) {
    static const auto cells = sampleCellBytes(sampleCount, 2);
    decodeCells(state, cells, encoding::utf8);
}

// The same cells as the scan hands them over: with a readable block after their bytes, which
// lets the decoder read them 16 bytes at a time.
void decodeUtf8CellsWithReadableTail(benchmark::State& state) {
    static const auto cells = sampleCellBytes(sampleCount, 2);
    static const auto padded = [] {
        std::vector<std::string> withTail;
        for (const std::string& cell : cells) {
            withTail.push_back(cell + std::string(PaddedBytes::readablePastEnd, '\0'));
        }
        return withTail;
    }();
    silenceLog();
    CellTextDecoder decoder(encoding::utf8, benchDefaults());
    size_t bytes = 0;
    for (const std::string& cell : cells) bytes += cell.size();
    for (auto _ : state) {
        for (size_t i = 0; i < cells.size(); ++i) {
            const PaddedBytes cell =
                PaddedBytes::withReadableTail(padded[i].data(), cells[i].size());
            Text text = decoder.decode(cell, true);
            benchmark::DoNotOptimize(text.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * cells.size()));
}

void decodeUtf8CellsWithReferences(benchmark::State& state) {
    static const auto cells = [] {
        std::vector<std::string> withReference;
        for (std::string& cell : sampleCellBytes(4 * sampleCount, 2)) {
            if (cell.find('&') != std::string::npos) withReference.push_back(std::move(cell));
        }
        return withReference;
    }();
    decodeCells(state, cells, encoding::utf8);
}

// Long runs of ASCII between the tags and references of a text page, cut at a space so that
// no character is cut in two.
void decodeUtf8LongText(benchmark::State& state) {
    static const std::vector<std::string> cells = [] {
        const std::string& page = pageOf(PageKind::text);
        return std::vector<std::string>{page.substr(0, page.rfind(' ', 64 * 1024))};
    }();
    decodeCells(state, cells, encoding::utf8);
}

void decodeWindows1252Cells(benchmark::State& state) {
    static const auto cells = windows1252Samples();
    decodeCells(state, cells, encoding::windows1252);
}

BENCHMARK(decodeUtf8Cells);
BENCHMARK(decodeUtf8CellsWithReadableTail);
BENCHMARK(decodeUtf8CellsWithReferences);
BENCHMARK(decodeUtf8LongText);
BENCHMARK(decodeWindows1252Cells);

}  // namespace
}  // namespace gridmint::bench
