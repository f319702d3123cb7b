#include "ScanAutomaton.h"

#include <cstdlib>

namespace gridmint {

namespace {

bool operator==(ScanAutomaton::Transition a, ScanAutomaton::Transition b) {
    return a.next == b.next && a.actions == b.actions;
}

}  // namespace

ScanAutomaton& ScanAutomaton::forThisThread() {
    static thread_local ScanAutomaton automaton;
    return automaton;
}

ScanAutomaton::ScanAutomaton() {
    complete(addState(ScanCore{}));
}

// The state of `core`, added when new, with a row whose entries are all pending.
ScanAutomaton::State ScanAutomaton::addState(const ScanCore& core) {
    const std::uint32_t key = core.key();
    if (const auto found = stateOfKey_.find(key); found != stateOfKey_.end()) return found->second;
    // Every row must be reachable with a 16-bit index; the core has far fewer states.
    if ((cores_.size() + 1) * rowLength() > 0x10000) std::abort();
    const auto state = static_cast<State>(cores_.size());
    stateOfKey_.emplace(key, state);
    cores_.push_back(core);
    progress_.emplace_back();
    transitions_.resize(transitions_.size() + columnCount());
    runs_.emplace_back();
    rows_.resize(rows_.size() + rowLength(), Entry{0, 0, rowPending});
    return state;
}

// Steps the state's core over one byte of each column; the states reached are added.
void ScanAutomaton::addTransitions(State state) {
    if (progress_[state].hasTransitions) return;
    progress_[state].hasTransitions = true;
    for (std::uint8_t column = 0; column < columnCount(); ++column) {
        ScanCore next = cores_[state];
        const bool opensComment = column == scanColumns.commentOpener;
        const std::uint8_t actions = stepScanCore(next, scanColumns.representative[column],
                                                  opensComment, scanColumns.nameEndsAfter[column]);
        const State target = addState(next);  // may grow transitions_
        transitions_[static_cast<size_t>(state) * columnCount() + column] = {target, actions};
    }
}

std::uint8_t ScanAutomaton::complete(State state) {
    if (progress_[state].complete) return runFlagsOf(state);
    addTransitions(state);
    if (auto run = runWithStops(state, false)) {
        runs_[state] = *run;
    } else if (auto dashRun = runWithStops(state, true)) {
        runs_[state] = *dashRun;
    }
    layOutRow(state);
    // After a run the scan steps on from the run's target at once, so it needs a row too.
    const Run& run = runs_[state];
    if (run.skippable && run.target != state) complete(run.target);
    return runFlagsOf(state);
}

ScanAutomaton::Row ScanAutomaton::rowOfCore(const ScanCore& core) {
    const State state = addState(core);
    complete(state);
    return rowOf(state);
}

void ScanAutomaton::completeAll() {
    for (State state = 0; state < cores_.size(); ++state) complete(state);
}

// A run exists when every non-stop byte takes `state` to one target with one set of actions
// (collecting text at most), and the target keeps itself on every non-stop byte with the
// same actions. Bytes of one column behave alike, so one byte of each column will do.
std::optional<ScanAutomaton::Run> ScanAutomaton::runWithStops(State state, bool stopsAtDash) {
    const auto isStop = [stopsAtDash](std::uint8_t column) {
        return column == scanColumns.commentOpener || column == columnOf('<') ||
               column == columnOf('>') || (stopsAtDash && column == columnOf('-'));
    };
    std::optional<Transition> first;
    for (std::uint8_t column = 0; column < scanColumns.count; ++column) {
        if (isStop(column)) continue;
        const Transition t = step(state, column);
        if (!first) first = t;
        if (!(t == *first)) return std::nullopt;
    }
    if ((first->actions & ~textByte) != 0) return std::nullopt;
    addTransitions(first->next);
    for (std::uint8_t column = 0; column < scanColumns.count; ++column) {
        if (!isStop(column) && !(step(first->next, column) == *first)) return std::nullopt;
    }
    return Run{true, stopsAtDash, first->actions, first->next};
}

std::uint8_t ScanAutomaton::runFlagsOf(State state) const {
    const Run& run = runs_[state];
    return static_cast<std::uint8_t>((run.skippable ? runSkips : 0) |
                                     (run.stopsAtDash ? runStopsAtDash : 0));
}

// Fills the state's row. An entry leading to a state without a row stays pending until that
// state is completed, which then gives it its run flags.
void ScanAutomaton::layOutRow(State state) {
    const size_t row = rowOf(state);
    const Run& run = runs_[state];
    rows_[row] = {rowOf(run.target), run.actions, runFlagsOf(state)};
    for (std::uint8_t column = 0; column < columnCount(); ++column) {
        const Transition t = step(state, column);
        const size_t index = row + column + 1;
        rows_[index] = {rowOf(t.next), t.actions, rowPending};
        if (progress_[t.next].complete) {
            rows_[index].runFlags = runFlagsOf(t.next);
        } else {
            progress_[t.next].waitingEntries.push_back(static_cast<std::uint32_t>(index));
        }
    }
    Progress& progress = progress_[state];
    progress.complete = true;
    for (const std::uint32_t index : progress.waitingEntries) {
        rows_[index].runFlags = runFlagsOf(state);
    }
    std::vector<std::uint32_t>().swap(progress.waitingEntries);
}

}  // namespace gridmint
