// Turns the bytes collected for one cell (or one id or class value) into its final text:
// decoded in the document's encoding or the fallback list, references resolved, trimmed,
// line breaks flattened.
#pragma once

#include <cstddef>
#include <string_view>

#include "Defaults.h"
#include "PaddedBytes.h"
#include "Table.h"
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
    // The same text, written in place as the next cell of `table`.
    void decodeInto(PaddedBytes bytes, bool returnsAreSeparators, Table& table);

    // Gives back the working buffers, which grow to the largest cell decoded.
    void releaseBuffers();

  private:
    static constexpr size_t hugeCell = size_t{1} << 20;  // code units
    // Writes the text of `bytes` where `room(units)` says, which gives room for that many
    // code units; returns how many it wrote.
    template <class Room>
    size_t write(PaddedBytes bytes, bool returnsAreSeparators, Room room);
    template <class Room>
    size_t writeOnGeneralRoad(std::string_view bytes, bool returnsAreSeparators, Room room);
    void decodeBytes(std::string_view bytes, Text& out);

    TextEncoding useEncoding_;
    const Defaults& defaults_;
    TextDecoder documentDecoder_;
    // Working buffers reused from cell to cell: the decoded text (general road only), and the
    // text written when it is not written in place.
    Text decoded_;
    Text written_;
};

// Removes White_Space from both ends, then turns CR and LF into spaces and halves every run
// of spaces (rounding up); without separators CR and LF are removed and spaces kept.
Text trimAndFlatten(std::u16string_view text, bool returnsAreSeparators);

}  // namespace gridmint
