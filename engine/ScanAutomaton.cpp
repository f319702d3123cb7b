#include "ScanAutomaton.h"

#include <cstdlib>

namespace gridmint {

namespace {

bool operator==(ScanAutomaton::Transition a, ScanAutomaton::Transition b) {
    return a.next == b.next && a.actions == b.actions;
}

}  // namespace

const ScanAutomaton& ScanAutomaton::instance() {
    static const ScanAutomaton automaton;
    return automaton;
}

ScanAutomaton::ScanAutomaton() {
    addStates();
    findRuns();
}

std::optional<ScanAutomaton::State> ScanAutomaton::find(const ScanCore& core) const {
    const auto found = stateOfKey_.find(core.key());
    if (found == stateOfKey_.end()) return std::nullopt;
    return found->second;
}

// The state of `core`, added when new.
ScanAutomaton::State ScanAutomaton::stateOf(const ScanCore& core) {
    const std::uint32_t key = core.key();
    if (const auto found = stateOfKey_.find(key); found != stateOfKey_.end()) return found->second;
    if (cores_.size() > 0xFFFF) std::abort();  // the core has far fewer states
    const auto state = static_cast<State>(cores_.size());
    stateOfKey_.emplace(key, state);
    cores_.push_back(core);
    return state;
}

// Breadth-first over the cores reachable from the all-idle one, one byte of each column.
void ScanAutomaton::addStates() {
    stateOfKey_.reserve(4096);
    stateOf(ScanCore{});  // the initial state
    for (size_t i = 0; i < cores_.size(); ++i) {
        for (std::uint8_t column = 0; column < scanColumns.count; ++column) {
            ScanCore next = cores_[i];
            const bool opensComment = column == scanColumns.commentOpener;
            const std::uint8_t actions =
                stepScanCore(next, scanColumns.representative[column], opensComment);
            transitions_.push_back({stateOf(next), actions});
        }
    }
}

void ScanAutomaton::findRuns() {
    runs_.resize(cores_.size());
    for (State state = 0; state < cores_.size(); ++state) {
        if (auto run = runWithStops(state, false)) {
            runs_[state] = *run;
        } else if (auto dashRun = runWithStops(state, true)) {
            runs_[state] = *dashRun;
        }
    }
}

// A run exists when every non-stop byte takes `state` to one target with one set of actions
// (collecting text at most), and the target keeps itself on every non-stop byte with the
// same actions. Bytes of one column behave alike, so one byte of each column will do.
std::optional<ScanAutomaton::Run> ScanAutomaton::runWithStops(State state, bool stopsAtDash) const {
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
    for (std::uint8_t column = 0; column < scanColumns.count; ++column) {
        if (!isStop(column) && !(step(first->next, column) == *first)) return std::nullopt;
    }
    return Run{true, stopsAtDash, first->actions, first->next};
}

}  // namespace gridmint
