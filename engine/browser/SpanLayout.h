// Laying out a row group's cells on the slot grid: each cell takes the first free slot of its
// row, covers `colspan` columns and `rowspan` rows (0 reaching the end of the group, and no
// span reaching past it), and its text fills the slots as the span mode asks. The whole
// page's output is bounded by a budget of slots and text, so a hostile page ends in a clear
// failure instead of exhausting memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Text.h"

namespace gridmint::browser {

enum class SpanMode {
    repeat,  // a spanning cell's text in every slot it covers
    empty,   // its text in its first slot, the others empty
    none,    // one cell per element, as written
};

struct PendingCell {
    Text text;
    std::uint32_t colspan = 1;
    std::uint32_t rowspan = 1;        // 0: to the end of the group
    std::optional<std::string> link;  // the href of the cell's first link, as written
    bool header = false;              // a <th>
};

using PendingRow = std::vector<PendingCell>;

// A link in an output row: it goes with its cell's text, so it fills the slots the text fills.
struct SlotLink {
    std::uint32_t column = 0;
    std::string href;
    bool inHeaderCell = false;
};

using RowLinks = std::vector<SlotLink>;

// Where a table's rows came from, counted from its ends (the reading puts the <thead> rows
// first and the <tfoot> rows last): what tells a table's header rows from its data.
struct TableSections {
    std::size_t headRows = 0;        // rows of <thead> groups, at the top
    std::size_t headerCellRows = 0;  // the body rows after them, up to the first that holds a
                                     // cell other than <th> (a row without cells ends the run)
    std::size_t footRows = 0;        // rows of <tfoot> groups, at the bottom
};

class OutputBudget {
  public:
    static constexpr std::uint64_t maxSlots = std::uint64_t{64} << 20;
    static constexpr std::uint64_t maxUnits = std::uint64_t{1} << 30;  // code units of text

    // False, and from then on exceeded(), when `count` more slots do not fit.
    bool takeSlots(std::uint64_t count) {
        if (exceeded_ || count > slotsLeft_) return !(exceeded_ = true);
        slotsLeft_ -= count;
        return true;
    }
    bool takeUnits(std::uint64_t units) {
        if (exceeded_ || units > unitsLeft_) return !(exceeded_ = true);
        unitsLeft_ -= units;
        return true;
    }
    bool exceeded() const { return exceeded_; }

  private:
    std::uint64_t slotsLeft_ = maxSlots;
    std::uint64_t unitsLeft_ = maxUnits;
    bool exceeded_ = false;
};

// The group's rows as output rows, appended to `out`, and with `links` given, each row's
// links appended to it (one entry per row); false when the budget runs out.
bool layOutRowGroup(std::vector<PendingRow>& rows, SpanMode mode, OutputBudget& budget,
                    std::vector<Row>& out, std::vector<RowLinks>* links = nullptr);

// colspan and rowspan as HTML reads them: leading white space, then digits; anything else 1.
std::uint32_t parseColspan(std::string_view value);
std::uint32_t parseRowspan(std::string_view value);

}  // namespace gridmint::browser
