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
// Everything is computed by stepping ScanCore itself over one byte of each column, so the
// automaton behaves exactly as stepScanCore does. A state is worked out the first time a scan
// reaches it: the whole automaton has about 2,000 states, a typical page reaches a few
// hundred, and building all of them would cost more than scanning a small page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ScanCore.h"

namespace gridmint {

// The columns of the automaton's table, by byte. Two kinds of byte depend on what follows
// them, and have a second column for that case: a "<" that opens a comment, and the last
// letter of a table, row or cell name ("e", "r", "d", "h") when a tag name ends after it.
struct ScanColumns {
    std::uint8_t ofByte[256] = {};
    std::uint8_t whenNameEndsAfter[256] = {};  // the second column of a last letter, else 0
    std::uint8_t commentOpener = 0;
    std::uint8_t count = 0;
    unsigned char representative[32] = {};  // a byte of each column
    bool nameEndsAfter[32] = {};            // the column is a last letter before a name's end
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
    for (const char letter : {'d', 'e', 'h', 'r'}) {
        const auto lower = static_cast<unsigned char>(letter);
        const std::uint8_t column = addColumn(lower);
        result.nameEndsAfter[column] = true;
        result.whenNameEndsAfter[lower] = column;
        result.whenNameEndsAfter[lower - 0x20] = column;
    }
    result.commentOpener = addColumn('<');
    return result;
}

inline constexpr ScanColumns scanColumns = makeScanColumns();

// Each byte's column plus one: where its transition sits in a row of the scan's table. The
// bytes whose column depends on the next bytes have `looksAhead` set as well.
inline constexpr std::uint8_t looksAhead = 0x80;
inline constexpr auto entryOfByte = [] {
    std::array<std::uint8_t, 256> entries{};
    for (size_t b = 0; b < 256; ++b) {
        entries[b] = scanColumns.ofByte[b] + 1;
        if (b == '<' || scanColumns.whenNameEndsAfter[b] != 0) entries[b] |= looksAhead;
    }
    return entries;
}();

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

    // The automaton as the scan's inner loop reads it: one row of entries per state, a
    // state's run first, then its transitions by column. The loop names a state by the index
    // of its row's first entry, so finding the next entry takes an addition, no
    // multiplication.
    struct Entry {
        std::uint16_t next;     // the next row: after the byte, or after the run
        std::uint8_t actions;   // ScanAction bits
        std::uint8_t runFlags;  // RunFlag bits of the state reached (the row's own, for its run)
    };
    enum RunFlag : std::uint8_t {
        runSkips = 1,
        runStopsAtDash = 2,
        rowPending = 4,  // the state reached has no row yet: complete() it first
    };
    using Row = std::uint16_t;
    static constexpr size_t rowLength() { return columnCount() + 1; }
    static constexpr Row rowOf(State state) { return static_cast<Row>(state * rowLength()); }
    static constexpr State stateOf(size_t row) { return static_cast<State>(row / rowLength()); }
    // The entry of a byte in column c is row + c + 1; `looksAhead` set means that the
    // entry depends on the next bytes too (see entryAfterLookingAhead).
    static std::uint8_t entryOf(unsigned char b) { return entryOfByte[b]; }
    static constexpr std::uint8_t commentOpenerEntry() { return scanColumns.commentOpener + 1; }
    static std::uint8_t nameEndEntry(unsigned char b) {
        return scanColumns.whenNameEndsAfter[b] + 1;
    }

    // The automaton of the calling thread. States are added the first time a scan reaches
    // them, so a small page pays for the few states it uses, and a thread never sees another
    // thread's automaton change under it.
    static ScanAutomaton& forThisThread();

    static constexpr State initial = 0;  // the all-idle core; always complete

    const Entry* rows() const { return rows_.data(); }
    // Gives `state` its row (transitions and run) if it has none yet, and returns its
    // RunFlag bits. Adding states may move the rows.
    std::uint8_t complete(State state);
    // The completed row of `core`, a state added if new.
    Row rowOfCore(const ScanCore& core);
    // Adds and completes every reachable state (for tests).
    void completeAll();

    // The column of byte b; a "<" that opens a comment, and a name's last letter before the
    // name's end, have columns of their own.
    static std::uint8_t columnOf(unsigned char b) { return scanColumns.ofByte[b]; }
    static std::uint8_t columnOf(unsigned char b, bool nameEndsAfter) {
        const std::uint8_t second = scanColumns.whenNameEndsAfter[b];
        return nameEndsAfter && second != 0 ? second : scanColumns.ofByte[b];
    }
    static constexpr std::uint8_t commentOpenerColumn() { return scanColumns.commentOpener; }
    static constexpr size_t columnCount() { return scanColumns.count; }

    // These three need a completed state.
    Transition step(State state, std::uint8_t column) const {
        return transitions_[static_cast<size_t>(state) * columnCount() + column];
    }
    const Run& run(State state) const { return runs_[state]; }
    std::uint8_t runFlagsOf(State state) const;

    const ScanCore& core(State state) const { return cores_[state]; }
    size_t stateCount() const { return cores_.size(); }

  private:
    // How far a state has been worked out, and the entries that wait for its run flags.
    struct Progress {
        bool hasTransitions = false;
        bool complete = false;
        std::vector<std::uint32_t> waitingEntries;
    };

    ScanAutomaton();
    State addState(const ScanCore& core);
    void addTransitions(State state);
    std::optional<Run> runWithStops(State state, bool stopsAtDash);
    void layOutRow(State state);

    std::vector<ScanCore> cores_;
    std::vector<Progress> progress_;
    std::unordered_map<std::uint32_t, State> stateOfKey_;
    std::vector<Transition> transitions_;  // state * columnCount() + column
    std::vector<Run> runs_;
    std::vector<Entry> rows_;  // rowOf(state) + 0: the run; + column + 1: the transition
};

}  // namespace gridmint
