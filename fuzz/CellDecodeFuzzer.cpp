// Decoding a cell's bytes in every encoding of the table. The text must come back trimmed
// and without line breaks; a decoder that has just decoded other bytes must give what a
// fresh one gives (converters that keep state between calls would not); the same bytes with
// a readable block after them, as the scan hands cells over, must decode the same; and plain
// ASCII without "&" in an encoding that keeps ASCII as it is must come back unchanged.
//
// Input: one byte picks the encoding, one byte the settings (bit 0: line breaks are
// separators, bit 1: verbose), one byte where to cut the rest into the two runs decoded
// one after the other by the same decoder.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "CellTextDecoder.h"
#include "FuzzChecks.h"
#include "FuzzInput.h"
#include "Log.h"
#include "PaddedBytes.h"

namespace gridmint::fuzz {
namespace {

// Encodings in which every printable ASCII byte stands for itself.
bool keepsAscii(TextEncoding encoding) {
    constexpr TextEncoding asciiKeeping[] = {encoding::none,      encoding::ascii,
                                             encoding::utf8,      encoding::isoLatin1,
                                             encoding::isoLatin2, encoding::windows1252};
    return std::find(std::begin(asciiKeeping), std::end(asciiKeeping), encoding) !=
           std::end(asciiKeeping);
}

bool isPlainAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return c > 0x20 && c < 0x7F && c != '&'; });
}

void requireDecoded(std::string_view bytes, const Text& text, TextEncoding encoding) {
    requireCellText(text);
    if (keepsAscii(encoding) && isPlainAscii(bytes)) {
        require(text == Text(bytes.begin(), bytes.end()),
                "plain ASCII did not come back as it was");
    }
}

}  // namespace
}  // namespace gridmint::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace gridmint;
    using namespace gridmint::fuzz;

    FuzzInput input(data, size);
    const TextEncoding encoding = input.takeEncoding();
    const std::uint8_t settings = input.takeByte();
    const std::uint8_t cut = input.takeByte();
    const bool separators = (settings & 1) != 0;
    const std::string_view bytes = input.rest();
    const std::string_view first = bytes.substr(0, bytes.size() * cut / 256);
    const std::string_view second = bytes.substr(first.size());

    InMemoryDefaults defaults;
    defaults.set(defaultsKey::verbosity, static_cast<long>((settings >> 1) & 1));
    LogSink previous = setLogSink([](std::string_view) {});

    CellTextDecoder decoder(encoding, defaults);
    const Text firstText = decoder.decode(first.data(), first.size(), separators);
    const Text secondText = decoder.decode(second.data(), second.size(), separators);
    requireDecoded(first, firstText, encoding);
    requireDecoded(second, secondText, encoding);

    CellTextDecoder fresh(encoding, defaults);
    require(fresh.decode(second.data(), second.size(), separators) == secondText,
            "a used decoder and a fresh one differ");

    // The scan hands cells over with a readable block after them, which the decoder may read
    // 16 bytes at a time; the result must not change. The copy is exactly that long, so the
    // sanitizer sees any read past it, and the block holds the input's own bytes again, so a
    // read that strays into it meets stop bytes and text alike.
    std::vector<char> padded(first.size() + PaddedBytes::readablePastEnd);
    for (size_t i = 0; i < first.size(); ++i) padded[i] = first[i];
    for (size_t i = first.size(); i < padded.size() && !bytes.empty(); ++i) {
        padded[i] = bytes[i % bytes.size()];
    }
    require(fresh.decode(PaddedBytes::withReadableTail(padded.data(), first.size()), separators) ==
                firstText,
            "the cell with a readable tail decodes differently");
    require(decoder.decode(first.data(), first.size(), separators) == firstText,
            "the same bytes decoded twice differ");

    // Trimming and flattening on its own, on any text including lone surrogates.
    const Text anyText = textFromBytes(bytes, true);
    requireCellText(trimAndFlatten(anyText, separators));

    setLogSink(std::move(previous));
    return 0;
}
