// The run-skipping scan must give exactly what the byte-at-a-time reference gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "ScanAutomaton.h"
#include "TableTagAutomaton.h"
#include "TestSupport.h"

namespace gridmint {
namespace {

using test::describe;
using test::LogCapture;

struct Outcome {
    std::string tables;
    std::vector<std::string> log;
};

Outcome scan(std::string_view page, ScanMode mode, bool consolidate, TextEncoding encoding) {
    InMemoryDefaults defaults;
    defaults.set(defaultsKey::consolidateWhitespace, consolidate);
    LogCapture log;
    auto parser = HTMLTableParser::initWithData(ByteBuffer::copyOf(page), encoding, defaults, mode);
    return {parser ? describe(parser->getResultDictionary()) : "<none>", log.lines};
}

void expectSameInBothModes(std::string_view page, TextEncoding encoding = encoding::utf8) {
    for (bool consolidate : {false, true}) {
        const Outcome reference = scan(page, ScanMode::byteAtATime, consolidate, encoding);
        const Outcome fast = scan(page, ScanMode::skipRuns, consolidate, encoding);
        ASSERT_EQ(fast.tables, reference.tables) << "consolidate " << consolidate;
        ASSERT_EQ(fast.log, reference.log) << "consolidate " << consolidate;
    }
}

// Pages built from the pieces of markup that move the recognisers, in random order: tags in
// any case with white space, attributes, comments and their near misses, scripts, entities,
// stray brackets and dashes, white space and non-ASCII bytes.
std::string randomPage(std::mt19937& random, size_t pieces) {
    static const char* const parts[] = {
        "<table>",
        "</table>",
        "<TABLE id=a>",
        "<table class='k'>",
        "<table id=\"x y\" class=z>",
        "<tr>",
        "</tr>",
        "< TR >",
        "</ tr>",
        "<td>",
        "</td>",
        "< td >",
        "< / TD >",
        "<th>",
        "</th>",
        "<thead>",
        "</thead>",
        "<tbody>",
        "<!--",
        "-->",
        "--",
        "-",
        "<!-->",
        "-- >",
        "<script>",
        "</script>",
        "< /script>",
        "</ script>",
        "<script/>",
        "<",
        ">",
        "<<",
        ">>",
        "&amp;",
        "&#13;",
        "&#x41;",
        "&nbsp;",
        "&bogus;",
        "&",
        ";",
        " ",
        "  ",
        "\t",
        "\n",
        "\r\n",
        "\v",
        "text",
        "a",
        "-x-",
        "\xC3\xA9",
        "\xE9",
        "\x80",
        "id=",
        " id=q ",
        " class=",
        "'",
        "\"",
        "\\",
        "<tablex>",
        "</track>",
        "<b>",
        "</b>",
        "<br>",
        "=",
        "t",
        "able",
    };
    std::uniform_int_distribution<size_t> pick(0, std::size(parts) - 1);
    std::string page;
    for (size_t i = 0; i < pieces; ++i) page += parts[pick(random)];
    return page;
}

TEST(ScanMode, randomPagesGiveSameResult) {
    std::mt19937 random(20261206);
    for (int i = 0; i < 3000; ++i) {
        const std::string page = randomPage(random, 1 + i % 120);
        SCOPED_TRACE(page);
        expectSameInBothModes(page);
    }
}

// A thread starts with an automaton that knows only the all-idle state and its neighbours and
// adds the others as its scans reach them, in whatever order the pages happen to give.
TEST(ScanMode, aFreshThreadsAutomatonGivesSameResult) {
    for (const unsigned seed : {1u, 2u, 3u}) {
        std::thread([seed] {
            std::mt19937 random(seed);
            for (int i = 0; i < 200; ++i) {
                const std::string page = randomPage(random, 1 + i % 60);
                SCOPED_TRACE(page);
                expectSameInBothModes(page);
            }
        }).join();
    }
}

TEST(ScanMode, randomBytesGiveSameResult) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 500; ++i) {
        std::string page(static_cast<size_t>(i * 3), '\0');
        for (char& c : page) c = static_cast<char>(byte(random));
        expectSameInBothModes(page, i % 2 ? encoding::utf8 : encoding::windows1252);
    }
}

TEST(ScanMode, corpusPagesGiveSameResult) {
    const std::filesystem::path corpus = GRIDMINT_CORPUS_DIR;
    if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    int pages = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        SCOPED_TRACE(entry.path().string());
        expectSameInBothModes(bytes.str());
        ++pages;
    }
    EXPECT_GT(pages, 10);
}

TEST(TableTagAutomaton, staysSmall) {
    // Every reachable combination of the six recognisers fits in the automaton.
    EXPECT_GT(TableTagAutomaton::stateCount(), 6);
    EXPECT_LE(TableTagAutomaton::stateCount(), TableTagAutomaton::maxStates);
}

// The compiled automaton must step exactly as the core does on every byte from every state
// (which also proves that bytes sharing a column behave alike), and a run must leave the state
// where stepping its bytes one by one would.
TEST(ScanAutomaton, agreesWithTheCoreStepEverywhere) {
    ScanAutomaton& automaton = ScanAutomaton::forThisThread();
    automaton.completeAll();
    for (ScanAutomaton::State state = 0; state < automaton.stateCount(); ++state) {
        // Every byte, followed by a name's end or not, and a "<" that opens a comment.
        for (int symbol = 0; symbol <= 512; ++symbol) {
            const bool opensComment = symbol == 512;
            const bool nameEndsAfter = symbol >= 256 && !opensComment;
            const auto b = static_cast<unsigned char>(opensComment ? '<' : symbol & 0xFF);
            ScanCore core = automaton.core(state);
            const std::uint8_t actions = stepScanCore(core, b, opensComment, nameEndsAfter);
            const auto transition =
                automaton.step(state, opensComment ? automaton.commentOpenerColumn()
                                                   : automaton.columnOf(b, nameEndsAfter));
            ASSERT_EQ(automaton.core(transition.next).key(), core.key()) << state << " " << symbol;
            ASSERT_EQ(transition.actions, actions) << state << " " << symbol;
        }
        // The scan's rows say the same, with the run flags of the state each entry leads to.
        const ScanAutomaton::Entry* row = automaton.rows() + ScanAutomaton::rowOf(state);
        for (std::uint8_t column = 0; column < automaton.columnCount(); ++column) {
            const ScanAutomaton::Entry entry = row[column + 1];
            const auto transition = automaton.step(state, column);
            ASSERT_EQ(entry.next, ScanAutomaton::rowOf(transition.next)) << state;
            ASSERT_EQ(entry.actions, transition.actions) << state;
            ASSERT_EQ(entry.runFlags, automaton.runFlagsOf(transition.next)) << state;
        }
        ASSERT_EQ(row[0].runFlags, automaton.runFlagsOf(state)) << state;
        const ScanAutomaton::Run& run = automaton.run(state);
        if (!run.skippable) continue;
        ASSERT_EQ(row[0].next, ScanAutomaton::rowOf(run.target)) << state;
        ScanCore core = automaton.core(state);
        for (const unsigned char b : {'a', 'T', 'e', 'D', ' ', '\n', '/', '!', '\xC3', '\0'}) {
            for (const bool nameEndsAfter : {false, true}) {
                ASSERT_EQ(stepScanCore(core, b, false, nameEndsAfter), run.actions) << state;
                ASSERT_EQ(core.key(), automaton.core(run.target).key()) << state;
            }
        }
    }
}

}  // namespace
}  // namespace gridmint
