// The six table, row and cell recognisers run together as one automaton: its states are the
// reachable combinations of their states, so one table look-up per byte advances all six.
// The table is built once, at start-up, by running the recognisers themselves over every byte
// (followed by a name end or not) from every reachable combination, so it behaves exactly as
// they do side by side.
#pragma once

#include <cstdint>

namespace gridmint {

class TableTagAutomaton {
  public:
    // What completed on a byte, as bits, in the order the scan acts on them.
    enum Completion : std::uint8_t {
        tableEnd = 1 << 0,
        tableStart = 1 << 1,
        rowEnd = 1 << 2,
        rowStart = 1 << 3,
        cellEnd = 1 << 4,
        cellStart = 1 << 5,
    };

    TableTagAutomaton() : table_(&table()) {}

    // Feeds one byte; returns the completions it caused (0 for none). `nameEndsAfter` says
    // whether the byte after b ends a tag name (or there is none): only then does a name's
    // last letter complete it.
    std::uint8_t feed(unsigned char b, bool nameEndsAfter) {
        const Transition t = (*table_)[state_][symbolOf(b, nameEndsAfter)];
        state_ = t.next;
        return t.completions;
    }

    // Every recogniser is idle: only "<" can move the automaton.
    bool idle() const { return state_ == 0; }
    std::uint8_t state() const { return state_; }

    struct Transition {
        std::uint8_t next;
        std::uint8_t completions;
    };
    static constexpr int maxStates = 64;
    // A byte together with what follows it: b, or b + 256 when a tag name ends after it.
    static constexpr int symbolCount = 512;
    static constexpr int symbolOf(unsigned char b, bool nameEndsAfter) {
        return b + (nameEndsAfter ? 256 : 0);
    }
    using Table = Transition[maxStates][symbolCount];

    // The number of reachable states (for tests).
    static int stateCount();

  private:
    static const Table& table();

    const Table* table_;
    std::uint8_t state_ = 0;
};

}  // namespace gridmint
