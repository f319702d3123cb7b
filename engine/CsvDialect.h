// The forms of CSV the writer can produce, held as one value, and how that value is read from
// the settings. The default value is the form scripts expect: every field quoted, "," between
// fields, "\n" between records, no byte-order mark, cells written as they are. The other
// values serve spreadsheets: ";" or tab as the separator, a byte-order mark so that UTF-8 is
// recognised, CRLF line ends, quotes only where a field needs them, and a guard that keeps a
// cell from an untrusted page from being run as a formula.
//
// Settings (every key optional; an absent key gives the default):
//   csvSeparator      text: the character itself (",", ";", "|" or a tab) or its name
//                     ("comma", "semicolon", "pipe", "tab"); QSettings stores "," and ";"
//                     quoted, and a hand-written ";" unquoted would start a comment there,
//                     so the names are the safe way to write them by hand
//   csvByteOrderMark  boolean: true/false (also yes/no, on/off, 1/0)
//   csvLineEnds       text: "\n" or "\r\n" (the characters, as QSettings stores them), or
//                     "lf" / "crlf"
//   csvQuoting        text: "all" or "minimal"
//   csvGuardFormulas  boolean, as csvByteOrderMark
// Words are read without regard to case. A stored value that is none of these gives that
// option's default, with one log line when verbosity is above 0; reading never fails.
#pragma once

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "Defaults.h"

namespace gridmint {

enum class CsvLineEnd { lf, crlf };

// all: every field between double quotes. minimal: only a field that holds the separator, a
// double quote, CR or LF, and the one field of a row whose only cell is empty (unquoted, that
// record would be an empty line, which readers take for a row without cells).
enum class CsvQuoting { all, minimal };

struct CsvDialect {
    char separator = ',';  // one of csvSeparators
    bool byteOrderMark = false;
    CsvLineEnd lineEnd = CsvLineEnd::lf;
    CsvQuoting quoting = CsvQuoting::all;
    // A cell starting with "=", "+", "-", "@", tab or CR gets a leading "'", so a spreadsheet
    // shows it as text instead of evaluating it.
    bool guardFormulas = false;

    friend bool operator==(const CsvDialect&, const CsvDialect&) = default;
};

inline constexpr std::string_view csvSeparators = ",;\t|";

inline std::string_view lineEndText(CsvLineEnd lineEnd) {
    return lineEnd == CsvLineEnd::crlf ? "\r\n" : "\n";
}

// True when a cell starting with `unit` is guarded.
inline constexpr bool startsFormula(char16_t unit) {
    return unit == u'=' || unit == u'+' || unit == u'-' || unit == u'@' || unit == u'\t' ||
           unit == u'\r';
}

// The separator that `text` names: one of csvSeparators itself, its name, or "\t" written as
// backslash and t. Nothing for anything else.
std::optional<char> csvSeparatorFromText(std::string_view text);

// "all" or "minimal", in any case.
std::optional<CsvQuoting> csvQuotingFromText(std::string_view text);

// The dialect the settings describe; see the file comment for the stored forms.
CsvDialect csvDialectFromDefaults(const Defaults& defaults);

// The settings that store `dialect`: each key with its value as text, in the spelling a
// settings file holds without quoting (the separator by name), which csvDialectFromDefaults
// reads back as the same dialect.
std::vector<std::pair<std::string_view, std::string_view>> csvDialectAsSettings(
    const CsvDialect& dialect);

}  // namespace gridmint
