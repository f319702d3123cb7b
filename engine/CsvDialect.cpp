// Reading the CSV form from the settings. Each key is read as text and matched against its
// known spellings; anything else keeps that option's default and says so in the log, since
// a settings file edited by hand must never stop an export.
#include "CsvDialect.h"

#include <string>

#include "Log.h"

namespace gridmint {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::optional<bool> boolFromText(std::string_view text) {
    for (std::string_view yes : {"true", "yes", "on", "1"}) {
        if (equalsIgnoringCase(text, yes)) return true;
    }
    for (std::string_view no : {"false", "no", "off", "0"}) {
        if (equalsIgnoringCase(text, no)) return false;
    }
    return std::nullopt;
}

std::optional<CsvLineEnd> lineEndFromText(std::string_view text) {
    if (text == "\n" || text == "\\n" || equalsIgnoringCase(text, "lf")) return CsvLineEnd::lf;
    if (text == "\r\n" || text == "\\r\\n" || equalsIgnoringCase(text, "crlf")) {
        return CsvLineEnd::crlf;
    }
    return std::nullopt;
}

// The stored value of `key` parsed by `parse`, or `fallback` when the key is absent or its
// value is not understood (logged when verbosity is above 0).
template <class Value, class Parse>
Value readOption(const Defaults& defaults, std::string_view key, Value fallback, Parse parse,
                 std::string_view fallbackName) {
    const std::optional<std::string> stored = defaults.stringForKey(key);
    if (!stored) return fallback;
    if (const std::optional<Value> value = parse(std::string_view(*stored))) return *value;
    if (defaults.integerForKey(defaultsKey::verbosity) > 0) {
        logLine(std::string(key) + ": unknown value '" + *stored + "', using " +
                std::string(fallbackName));
    }
    return fallback;
}

}  // namespace

std::optional<char> csvSeparatorFromText(std::string_view text) {
    if (text.size() == 1 && csvSeparators.find(text[0]) != std::string_view::npos) return text[0];
    if (text == "\\t" || equalsIgnoringCase(text, "tab")) return '\t';
    if (equalsIgnoringCase(text, "comma")) return ',';
    if (equalsIgnoringCase(text, "semicolon")) return ';';
    if (equalsIgnoringCase(text, "pipe")) return '|';
    return std::nullopt;
}

std::optional<CsvQuoting> csvQuotingFromText(std::string_view text) {
    if (equalsIgnoringCase(text, "all")) return CsvQuoting::all;
    if (equalsIgnoringCase(text, "minimal")) return CsvQuoting::minimal;
    return std::nullopt;
}

CsvDialect csvDialectFromDefaults(const Defaults& defaults) {
    CsvDialect dialect;
    dialect.separator = readOption(defaults, defaultsKey::csvSeparator, dialect.separator,
                                   csvSeparatorFromText, "','");
    dialect.byteOrderMark = readOption(defaults, defaultsKey::csvByteOrderMark,
                                       dialect.byteOrderMark, boolFromText, "false");
    dialect.lineEnd =
        readOption(defaults, defaultsKey::csvLineEnds, dialect.lineEnd, lineEndFromText, "\\n");
    dialect.quoting =
        readOption(defaults, defaultsKey::csvQuoting, dialect.quoting, csvQuotingFromText, "all");
    dialect.guardFormulas = readOption(defaults, defaultsKey::csvGuardFormulas,
                                       dialect.guardFormulas, boolFromText, "false");
    return dialect;
}

std::vector<std::pair<std::string_view, std::string_view>> csvDialectAsSettings(
    const CsvDialect& dialect) {
    const auto separatorName = [](char separator) -> std::string_view {
        switch (separator) {
            case ';': return "semicolon";
            case '\t': return "tab";
            case '|': return "pipe";
            default: return "comma";
        }
    };
    const auto yesNo = [](bool on) -> std::string_view { return on ? "true" : "false"; };
    return {
        {defaultsKey::csvSeparator, separatorName(dialect.separator)},
        {defaultsKey::csvByteOrderMark, yesNo(dialect.byteOrderMark)},
        {defaultsKey::csvLineEnds, dialect.lineEnd == CsvLineEnd::crlf ? "crlf" : "lf"},
        {defaultsKey::csvQuoting, dialect.quoting == CsvQuoting::minimal ? "minimal" : "all"},
        {defaultsKey::csvGuardFormulas, yesNo(dialect.guardFormulas)},
    };
}

}  // namespace gridmint
