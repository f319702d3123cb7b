// The scan core compiled into one automaton: each state is a reachable ScanCore, and one
// table look-up per byte gives the next state and the byte's ScanActions. The core tells bytes
// apart only by the few bytes and letters its recognisers look for, so bytes share columns:
// one per such byte (a letter in either case), one for tag white space, one for everything
// else, and one for a "<" that opens a comment.
//
// For each state the automaton also knows its runs: when every byte except "<", ">" (and,
// inside a comment, "-") takes the state to the same state with the same actions, and that
// state keeps itself on those bytes, the scan can jump over such a run at once.
//
// Everything is computed once, at first use, by stepping ScanCore itself from the all-idle
// core over every byte, so the automaton behaves exactly as stepScanCore does.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ScanCore.h"

namespace gridmint {

// The columns of the automaton's table, by byte.
struct ScanColumns {
    std::uint8_t ofByte[256] = {};
    std::uint8_t commentOpener = 0;
    std::uint8_t count = 0;
    unsigned char representative[32] = {};  // a byte of each column
};

// Column 0 holds every byte the core does not look for.
constexpr ScanColumns makeScanColumns() {
    ScanColumns result;
    result.count = 1;
    const auto addColumn = [&result](unsigned char representative) {
        result.representative[result.count] = representative;
        return result.count++;
    };
    for (const unsigned char b : {'<', '>', '-', '/'}) result.ofByte[b] = addColumn(b);
    const std::uint8_t space = addColumn(' ');
    for (const unsigned char b : {'\t', '\n', '\r', ' '}) result.ofByte[b] = space;
    for (const char letter : {'a', 'b', 'c', 'd', 'e', 'h', 'i', 'l', 'p', 'r', 's', 't'}) {
        const auto lower = static_cast<unsigned char>(letter);
        const std::uint8_t column = addColumn(lower);
        result.ofByte[lower] = column;
        result.ofByte[lower - 0x20] = column;  // the upper-case letter
    }
    result.commentOpener = addColumn('<');
    return result;
}

inline constexpr ScanColumns scanColumns = makeScanColumns();

class ScanAutomaton {
  public:
    using State = std::uint16_t;

    struct Transition {
        State next;
        std::uint8_t actions;  // ScanAction bits
    };

    // What a run of non-stop bytes does from a state.
    struct Run {
        bool skippable = false;
        bool stopsAtDash = false;  // "-" is a stop byte too (inside a comment)
        std::uint8_t actions = 0;  // the actions of every byte of the run
        State target = 0;          // the state after a run of one byte or more
    };

    static const ScanAutomaton& instance();

    static constexpr State initial = 0;  // the all-idle core

    // The column of byte b; a "<" that opens a comment has a column of its own.
    static std::uint8_t columnOf(unsigned char b) { return scanColumns.ofByte[b]; }
    static constexpr std::uint8_t commentOpenerColumn() { return scanColumns.commentOpener; }
    static constexpr size_t columnCount() { return scanColumns.count; }

    Transition step(State state, std::uint8_t column) const {
        return transitions_[static_cast<size_t>(state) * columnCount() + column];
    }
    const Run& run(State state) const { return runs_[state]; }
    // The same, as arrays for the scan's inner loop: state * columnCount() + column, and state.
    const Transition* transitionTable() const { return transitions_.data(); }
    const Run* runTable() const { return runs_.data(); }

    const ScanCore& core(State state) const { return cores_[state]; }
    std::optional<State> find(const ScanCore& core) const;

    size_t stateCount() const { return cores_.size(); }

  private:
    ScanAutomaton();
    void addStates();
    State stateOf(const ScanCore& core);
    void findRuns();
    std::optional<Run> runWithStops(State state, bool stopsAtDash) const;

    std::vector<ScanCore> cores_;
    std::unordered_map<std::uint32_t, State> stateOfKey_;
    std::vector<Transition> transitions_;  // state * columnCount() + column
    std::vector<Run> runs_;
};

}  // namespace gridmint
