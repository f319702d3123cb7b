// Turns the bytes collected for one cell (or one id or class value) into its final text:
// decoded in the document's encoding or the fallback list, references resolved, trimmed,
// line breaks flattened.
#pragma once

#include <cstddef>
#include <string_view>

#include "Defaults.h"
#include "PaddedBytes.h"
#include "Text.h"
#include "TextCodec.h"

namespace gridmint {

class CellTextDecoder {
  public:
    // `defaults` must outlive every call of decode.
    CellTextDecoder(TextEncoding useEncoding, const Defaults& defaults);

    Text decode(const char* buffer, size_t length, bool returnsAreSeparators);
    // The same text, read in 16-byte blocks where the bytes' readable tail allows it.
    Text decode(PaddedBytes bytes, bool returnsAreSeparators);

    // Gives back the working buffers, which grow to the largest cell decoded.
    void releaseBuffers();

  private:
    static constexpr size_t hugeCell = size_t{1} << 20;  // code units
    // The first `size` units of the working buffer as the cell's text.
    Text result(size_t size) {
        return size < hugeCell ? Text(written_.data(), size) : takeWritten(size);
    }
    Text takeWritten(size_t size);
    Text decodeOnGeneralRoad(std::string_view bytes, bool returnsAreSeparators);
    void decodeBytes(std::string_view bytes, Text& out);

    TextEncoding useEncoding_;
    const Defaults& defaults_;
    TextDecoder documentDecoder_;
    // Working buffers reused from cell to cell, so a cell costs at most one allocation, of
    // exactly its text's length: the decoded text (general road only), and the text written.
    Text decoded_;
    Text written_;
};

// Removes White_Space from both ends, then turns CR and LF into spaces and halves every run
// of spaces (rounding up); without separators CR and LF are removed and spaces kept.
Text trimAndFlatten(std::u16string_view text, bool returnsAreSeparators);

}  // namespace gridmint
