#include "Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gridmint::cli {
namespace {

struct ValidCase {
    const char* name;
    std::vector<std::string> arguments;
    Options expected;
};

Options with(void (*change)(Options&)) {
    Options options;
    change(options);
    return options;
}

TEST(Options, acceptedCommandLines) {
    const std::vector<ValidCase> cases = {
        {"nothingReadsStandardInput", {}, Options{}},
        {"dashIsASource", {"-"}, with([](Options& o) { o.sources = {"-"}; })},
        {"fileSource", {"page.html"}, with([](Options& o) { o.sources = {"page.html"}; })},
        {"tableNameStartingWithDash", {"--table", "-x", "p.html"}, with([](Options& o) {
             o.selection = Selection::table;
             o.tableName = "-x";
             o.sources = {"p.html"};
         })},
        {"tableNameLookingLikeAnOption", {"--table", "--json"}, with([](Options& o) {
             o.selection = Selection::table;
             o.tableName = "--json";
         })},
        {"emptyTableName", {"--table", ""}, with([](Options& o) {
             o.selection = Selection::table;
         })},
        {"inlineValue", {"--table=a=b"}, with([](Options& o) {
             o.selection = Selection::table;
             o.tableName = "a=b";
         })},
        {"index", {"--index", "12"}, with([](Options& o) {
             o.selection = Selection::index;
             o.tableIndex = 12;
         })},
        {"allWithOptions",
         {"-v", "--all", "out", "--consolidate-whitespace", "p.html"},
         with([](Options& o) {
             o.selection = Selection::all;
             o.allDirectory = "out";
             o.verbose = true;
             o.consolidateWhitespace = true;
             o.sources = {"p.html"};
         })},
        {"jsonToFile", {"--json", "-o", "r.json"}, with([](Options& o) {
             o.selection = Selection::json;
             o.outputPath = "r.json";
         })},
        {"decimalEncoding", {"--encoding", "5"}, with([](Options& o) { o.encoding = 5; })},
        {"hexEncoding", {"--encoding=0x80000421"}, with([](Options& o) {
             o.encoding = 0x80000421u;
         })},
        {"doubleDashEndsOptions", {"--list", "--", "--json"}, with([](Options& o) {
             o.selection = Selection::list;
             o.sources = {"--json"};
         })},
        {"severalSourcesInOrder", {"b.html", "--jsonl", "a.warc.gz", "-"}, with([](Options& o) {
             o.selection = Selection::jsonl;
             o.sources = {"b.html", "a.warc.gz", "-"};
         })},
        {"jobsAndSourceList", {"-j", "8", "--sources-from=-", "--list"}, with([](Options& o) {
             o.selection = Selection::list;
             o.jobs = 8;
             o.sourcesFrom = "-";
         })},
        {"helpWinsOverLaterErrors", {"-h", "--bogus"}, with([](Options& o) { o.help = true; })},
        {"version", {"--version"}, with([](Options& o) { o.version = true; })},
        {"separatorSemicolon", {"--separator", ";"}, with([](Options& o) {
             o.csvSeparator = ';';
         })},
        {"separatorTabEscaped", {"--separator=\\t"}, with([](Options& o) {
             o.csvSeparator = '\t';
         })},
        {"separatorTabWord", {"--separator", "tab"}, with([](Options& o) {
             o.csvSeparator = '\t';
         })},
        {"tsv", {"--tsv"}, with([](Options& o) { o.csvSeparator = '\t'; })},
        {"everyCsvOption",
         {"--separator", "|", "--bom", "--crlf", "--quote", "minimal", "--guard-formulas", "--all",
          "d"},
         with([](Options& o) {
             o.csvSeparator = '|';
             o.csvByteOrderMark = true;
             o.csvCrlf = true;
             o.csvQuoting = CsvQuoting::minimal;
             o.csvGuardFormulas = true;
             o.selection = Selection::all;
             o.allDirectory = "d";
         })},
        {"quoteAll", {"--quote=all"}, with([](Options& o) { o.csvQuoting = CsvQuoting::all; })},
    };
    for (const ValidCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedOptions parsed = parseOptions(c.arguments);
        ASSERT_EQ(parsed.error, "");
        const Options& o = parsed.options;
        EXPECT_EQ(o.help, c.expected.help);
        EXPECT_EQ(o.version, c.expected.version);
        EXPECT_EQ(o.selection, c.expected.selection);
        EXPECT_EQ(o.tableName, c.expected.tableName);
        EXPECT_EQ(o.tableIndex, c.expected.tableIndex);
        EXPECT_EQ(o.allDirectory, c.expected.allDirectory);
        EXPECT_EQ(o.outputPath, c.expected.outputPath);
        EXPECT_EQ(o.encoding, c.expected.encoding);
        EXPECT_EQ(o.consolidateWhitespace, c.expected.consolidateWhitespace);
        EXPECT_EQ(o.verbose, c.expected.verbose);
        EXPECT_EQ(o.sources, c.expected.sources);
        EXPECT_EQ(o.sourcesFrom, c.expected.sourcesFrom);
        EXPECT_EQ(o.jobs, c.expected.jobs);
        EXPECT_EQ(o.csvSeparator, c.expected.csvSeparator);
        EXPECT_EQ(o.csvByteOrderMark, c.expected.csvByteOrderMark);
        EXPECT_EQ(o.csvCrlf, c.expected.csvCrlf);
        EXPECT_EQ(o.csvQuoting, c.expected.csvQuoting);
        EXPECT_EQ(o.csvGuardFormulas, c.expected.csvGuardFormulas);
    }
}

TEST(Options, refusedCommandLines) {
    struct RefusedCase {
        const char* name;
        std::vector<std::string> arguments;
        const char* errorPart;
    };
    const std::vector<RefusedCase> cases = {
        {"unknownOption", {"--tables", "x"}, "unknown option '--tables'"},
        {"missingValue", {"p.html", "--table"}, "'--table' needs a value"},
        {"indexZero", {"--index", "0"}, "--index"},
        {"indexNotANumber", {"--index", "two"}, "'two'"},
        {"indexNegative", {"--index", "-1"}, "'-1'"},
        {"indexHex", {"--index", "0x2"}, "'0x2'"},
        {"encodingNotANumber", {"--encoding", "utf-8"}, "'utf-8'"},
        {"encodingTooLarge", {"--encoding", "18446744073709551616"}, "--encoding"},
        {"flagWithValue", {"--json=yes"}, "'--json' takes no value"},
        {"twoSelections", {"--json", "--list"}, "cannot be combined"},
        {"sameSelectionTwice", {"--table", "a", "--table", "b"}, "cannot be combined"},
        {"outputWithList", {"--list", "-o", "x"}, "'--output'"},
        {"outputWithAll", {"-o", "x", "--all", "d"}, "'--output'"},
        {"emptyOutput", {"-o", ""}, "needs a file name"},
        {"emptyAllDirectory", {"--all", ""}, "needs a directory"},
        {"jobsZero", {"-j", "0"}, "'0' for -j"},
        {"jobsNotANumber", {"--jobs", "many"}, "'many' for --jobs"},
        {"jsonlWithList", {"--jsonl", "--list"}, "cannot be combined"},
        {"standardInputTwice", {"--sources-from", "-", "-"}, "standard input cannot be both"},
        {"separatorUnknown", {"--separator", ":"}, "invalid value ':' for --separator"},
        {"separatorTwoCharacters", {"--separator", ",,"}, "--separator"},
        {"separatorEmpty", {"--separator", ""}, "--separator"},
        {"separatorQuote", {"--separator", "\""}, "--separator"},
        {"tsvAndSeparator", {"--tsv", "--separator", ","}, "cannot be combined"},
        {"separatorTwice", {"--separator", ",", "--separator", ";"}, "given twice"},
        {"quoteUnknown", {"--quote", "none"}, "invalid value 'none' for --quote"},
        {"quoteMissingValue", {"--quote"}, "'--quote' needs a value"},
        {"bomTakesNoValue", {"--bom=1"}, "'--bom' takes no value"},
        {"csvOptionWithJson", {"--json", "--bom"}, "cannot be combined with '--json'"},
        {"csvOptionWithList", {"--guard-formulas", "--list"}, "cannot be combined with '--list'"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedOptions parsed = parseOptions(c.arguments);
        EXPECT_NE(parsed.error.find(c.errorPart), std::string::npos) << parsed.error;
    }
}

}  // namespace
}  // namespace gridmint::cli
