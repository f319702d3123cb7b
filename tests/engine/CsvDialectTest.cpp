#include "CsvDialect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Log.h"

namespace gridmint {
namespace {

// One stored setting and the dialect it gives; `logged` when the value is not understood and
// the default is kept with a log line.
struct SettingCase {
    std::string_view key;
    std::string stored;
    CsvDialect expected;
    bool logged;
};

CsvDialect with(void (*change)(CsvDialect&)) {
    CsvDialect dialect;
    change(dialect);
    return dialect;
}

TEST(CsvDialect, readFromSettings) {
    const CsvDialect defaults;
    const CsvDialect semicolon = with([](CsvDialect& d) { d.separator = ';'; });
    const CsvDialect tab = with([](CsvDialect& d) { d.separator = '\t'; });
    const CsvDialect pipe = with([](CsvDialect& d) { d.separator = '|'; });
    const CsvDialect bom = with([](CsvDialect& d) { d.byteOrderMark = true; });
    const CsvDialect crlf = with([](CsvDialect& d) { d.lineEnd = CsvLineEnd::crlf; });
    const CsvDialect minimal = with([](CsvDialect& d) { d.quoting = CsvQuoting::minimal; });
    const CsvDialect guard = with([](CsvDialect& d) { d.guardFormulas = true; });
    using namespace defaultsKey;
    const std::vector<SettingCase> cases = {
        {csvSeparator, ",", defaults, false},
        {csvSeparator, ";", semicolon, false},
        {csvSeparator, "Semicolon", semicolon, false},
        {csvSeparator, "\t", tab, false},
        {csvSeparator, "\\t", tab, false},
        {csvSeparator, "TAB", tab, false},
        {csvSeparator, "|", pipe, false},
        {csvSeparator, "pipe", pipe, false},
        {csvSeparator, "", defaults, true},
        {csvSeparator, ";;", defaults, true},
        {csvSeparator, "\"", defaults, true},
        {csvByteOrderMark, "true", bom, false},
        {csvByteOrderMark, "YES", bom, false},
        {csvByteOrderMark, "1", bom, false},
        {csvByteOrderMark, "off", defaults, false},
        {csvByteOrderMark, "perhaps", defaults, true},
        {csvLineEnds, "\r\n", crlf, false},
        {csvLineEnds, "\\r\\n", crlf, false},
        {csvLineEnds, "CRLF", crlf, false},
        {csvLineEnds, "\n", defaults, false},
        {csvLineEnds, "lf", defaults, false},
        {csvLineEnds, "\r", defaults, true},
        {csvQuoting, "minimal", minimal, false},
        {csvQuoting, "All", defaults, false},
        {csvQuoting, "none", defaults, true},
        {csvGuardFormulas, "true", guard, false},
        {csvGuardFormulas, "false", defaults, false},
        {csvGuardFormulas, "2", defaults, true},
    };
    std::vector<std::string> lines;
    const LogSink previous =
        setLogSink([&lines](std::string_view line) { lines.emplace_back(line); });
    for (const SettingCase& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.stored);
        for (const long verbosity : {0L, 1L}) {
            lines.clear();
            InMemoryDefaults settings;
            settings.set(defaultsKey::verbosity, verbosity);
            settings.set(c.key, c.stored);
            EXPECT_EQ(csvDialectFromDefaults(settings), c.expected);
            // The log line names the key and the value, and only verbose runs write it.
            EXPECT_EQ(lines.size(), c.logged && verbosity > 0 ? 1u : 0u);
            if (!lines.empty()) {
                EXPECT_NE(lines[0].find(std::string(c.key)), std::string::npos);
            }
        }
    }
    setLogSink(previous);
}

TEST(CsvDialect, everyKeyTogetherAndNoneAtAll) {
    EXPECT_EQ(csvDialectFromDefaults(InMemoryDefaults()), CsvDialect());
    InMemoryDefaults settings;
    settings.set(defaultsKey::csvSeparator, std::string("tab"))
        .set(defaultsKey::csvByteOrderMark, true)
        .set(defaultsKey::csvLineEnds, std::string("\r\n"))
        .set(defaultsKey::csvQuoting, std::string("minimal"))
        .set(defaultsKey::csvGuardFormulas, true);
    const CsvDialect all{'\t', true, CsvLineEnd::crlf, CsvQuoting::minimal, true};
    EXPECT_EQ(csvDialectFromDefaults(settings), all);
}

// What the application stores for a dialect reads back as that dialect, for every one.
TEST(CsvDialect, storedSettingsReadBackAsTheSameDialect) {
    for (const char separator : csvSeparators) {
        for (int options = 0; options < 16; ++options) {
            const CsvDialect dialect{
                separator, (options & 1) != 0, (options & 2) ? CsvLineEnd::crlf : CsvLineEnd::lf,
                (options & 4) ? CsvQuoting::minimal : CsvQuoting::all, (options & 8) != 0};
            InMemoryDefaults settings;
            for (const auto& [key, value] : csvDialectAsSettings(dialect)) {
                settings.set(key, std::string(value));
            }
            EXPECT_EQ(csvDialectFromDefaults(settings), dialect) << int(separator) << options;
        }
    }
}

}  // namespace
}  // namespace gridmint
