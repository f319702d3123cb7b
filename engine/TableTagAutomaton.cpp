#include "TableTagAutomaton.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "Recognisers.h"

namespace gridmint {

namespace {

// The six recognisers whose combined states the automaton enumerates.
struct Recognisers {
    TagRecogniser<TagKind::closer, "able"> tableCloser;
    TagRecogniser<TagKind::opener, "able"> tableOpener;
    TagRecogniser<TagKind::closer, "r"> rowCloser;
    TagRecogniser<TagKind::opener, "r"> rowOpener;
    TagRecogniser<TagKind::closer, "d", 'h'> cellCloser;
    TagRecogniser<TagKind::opener, "d"> cellOpener;

    std::uint8_t feed(unsigned char b, bool nameEndsAfter) {
        std::uint8_t done = 0;
        if (tableCloser.feed(b, nameEndsAfter)) done |= TableTagAutomaton::tableEnd;
        if (tableOpener.feed(b, nameEndsAfter)) done |= TableTagAutomaton::tableStart;
        if (rowCloser.feed(b, nameEndsAfter)) done |= TableTagAutomaton::rowEnd;
        if (rowOpener.feed(b, nameEndsAfter)) done |= TableTagAutomaton::rowStart;
        if (cellCloser.feed(b, nameEndsAfter)) done |= TableTagAutomaton::cellEnd;
        if (cellOpener.feed(b, nameEndsAfter)) done |= TableTagAutomaton::cellStart;
        return done;
    }

    bool operator==(const Recognisers& other) const {
        return std::memcmp(this, &other, sizeof *this) == 0;
    }
};
static_assert(std::is_trivially_copyable_v<Recognisers>);

struct Built {
    TableTagAutomaton::Table table{};
    int states = 0;
};

// Breadth-first over the combinations reachable from all-idle (state 0).
Built build() {
    Built built;
    std::vector<Recognisers> states{Recognisers{}};
    for (size_t i = 0; i < states.size(); ++i) {
        for (int symbol = 0; symbol < TableTagAutomaton::symbolCount; ++symbol) {
            Recognisers next = states[i];
            const std::uint8_t done =
                next.feed(static_cast<unsigned char>(symbol & 0xFF), symbol >= 256);
            size_t id = 0;
            while (id < states.size() && !(states[id] == next)) ++id;
            if (id == states.size()) states.push_back(next);
            if (states.size() > TableTagAutomaton::maxStates) std::abort();  // cannot happen
            built.table[i][symbol] = {static_cast<std::uint8_t>(id), done};
        }
    }
    built.states = static_cast<int>(states.size());
    return built;
}

const Built& built() {
    static const Built instance = build();
    return instance;
}

}  // namespace

const TableTagAutomaton::Table& TableTagAutomaton::table() {
    static const Table& instance = built().table;
    return instance;
}

int TableTagAutomaton::stateCount() {
    return built().states;
}

}  // namespace gridmint
