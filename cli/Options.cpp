// Hand-rolled parsing, so that the rules stay exact and visible: a value option takes the
// next argument verbatim even when it begins with "-" (a table may be named "-x"), long
// options also accept "--name=value", and "--" ends the options.
#include "Options.h"
#include "Version.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace gridmint::cli {

namespace {

constexpr std::string_view programName = "gridmint-extract";
constexpr unsigned long long maxJobs = 1024;

// A whole number in decimal digits, or with `hexAllowed` also "0x" and hexadecimal digits.
std::optional<unsigned long long> parseUnsigned(std::string_view text, bool hexAllowed) {
    int base = 10;
    if (hexAllowed && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long long value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

class Parser {
  public:
    explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    ParsedOptions run() {
        while (position_ < arguments_.size() && result_.error.empty()) {
            const std::string& argument = arguments_[position_++];
            if (onlySourcesFollow_ || argument == "-" || argument.empty() || argument[0] != '-') {
                takeSource(argument);
            } else if (argument == "--") {
                onlySourcesFollow_ = true;
            } else {
                takeOption(argument);
                if (options().help || options().version) return result_;
            }
        }
        if (result_.error.empty()) checkCombinations();
        return result_;
    }

  private:
    Options& options() { return result_.options; }

    void fail(std::string message) {
        if (result_.error.empty()) result_.error = std::move(message);
    }

    void takeSource(const std::string& argument) { options().sources.push_back(argument); }

    // Splits "--name=value"; a short option or a long one without "=" has no inline value.
    void takeOption(const std::string& argument) {
        std::string name = argument;
        std::optional<std::string> inlineValue;
        if (argument.rfind("--", 0) == 0) {
            if (const size_t equals = argument.find('='); equals != std::string::npos) {
                name = argument.substr(0, equals);
                inlineValue = argument.substr(equals + 1);
            }
        }
        if (takeFlag(name)) {
            if (inlineValue) fail("option '" + name + "' takes no value");
            return;
        }
        if (!isValueOption(name)) return fail("unknown option '" + argument + "'");
        if (!inlineValue) {
            if (position_ == arguments_.size()) return fail("option '" + name + "' needs a value");
            inlineValue = arguments_[position_++];
        }
        takeValue(name, *inlineValue);
    }

    bool takeFlag(const std::string& name) {
        if (name == "-h" || name == "--help") {
            options().help = true;
        } else if (name == "--version") {
            options().version = true;
        } else if (name == "--json") {
            select(Selection::json, name);
        } else if (name == "--list") {
            select(Selection::list, name);
        } else if (name == "--jsonl") {
            select(Selection::jsonl, name);
        } else if (name == "--consolidate-whitespace") {
            options().consolidateWhitespace = true;
        } else if (name == "--browser") {
            options().browser = true;
        } else if (name == "--keep-line-breaks") {
            options().keepLineBreaks = true;
        } else if (name == "--links") {
            options().links = true;
        } else if (name == "-v" || name == "--verbose") {
            options().verbose = true;
        } else if (name == "--tsv") {
            setSeparator('\t', name);
        } else if (name == "--bom") {
            options().csvByteOrderMark = true;
            noteCsvOption(name);
        } else if (name == "--crlf") {
            options().csvCrlf = true;
            noteCsvOption(name);
        } else if (name == "--guard-formulas") {
            options().csvGuardFormulas = true;
            noteCsvOption(name);
        } else {
            return false;
        }
        return true;
    }

    static bool isValueOption(const std::string& name) {
        return name == "--table" || name == "--index" || name == "--all" || name == "-o" ||
               name == "--output" || name == "--encoding" || name == "--user-agent" ||
               name == "-j" || name == "--jobs" || name == "--sources-from" ||
               name == "--separator" || name == "--quote" || name == "--spans";
    }

    void takeValue(const std::string& name, const std::string& value) {
        if (name == "--table") {
            select(Selection::table, name);
            options().tableName = value;
        } else if (name == "--index") {
            select(Selection::index, name);
            const auto index = parseUnsigned(value, false);
            if (!index || *index == 0) {
                return fail("invalid value '" + value + "' for --index: expected a number from 1");
            }
            options().tableIndex = static_cast<size_t>(*index);
        } else if (name == "--all") {
            select(Selection::all, name);
            if (value.empty()) return fail("option '--all' needs a directory");
            options().allDirectory = value;
        } else if (name == "-o" || name == "--output") {
            if (value.empty()) return fail("option '" + name + "' needs a file name");
            if (options().outputPath) return fail("option '" + name + "' given twice");
            options().outputPath = value;
        } else if (name == "--user-agent") {
            options().userAgent = value;
        } else if (name == "-j" || name == "--jobs") {
            const auto jobs = parseUnsigned(value, false);
            if (!jobs || *jobs == 0 || *jobs > maxJobs) {
                return fail("invalid value '" + value + "' for " + name +
                            ": expected a number of threads from 1 to " + std::to_string(maxJobs));
            }
            options().jobs = static_cast<size_t>(*jobs);
        } else if (name == "--sources-from") {
            if (value.empty()) return fail("option '--sources-from' needs a file name");
            options().sourcesFrom = value;
        } else if (name == "--separator") {
            const auto separator = csvSeparatorFromText(value);
            if (!separator) {
                return fail("invalid value '" + value +
                            "' for --separator: expected ',', ';', '|' or tab (written '\\t' or "
                            "'tab')");
            }
            setSeparator(*separator, name);
        } else if (name == "--quote") {
            const auto quoting = csvQuotingFromText(value);
            if (!quoting) {
                return fail("invalid value '" + value +
                            "' for --quote: expected 'all' or 'minimal'");
            }
            options().csvQuoting = *quoting;
            noteCsvOption(name);
        } else if (name == "--spans") {
            if (value != "repeat" && value != "empty" && value != "none") {
                return fail("invalid value '" + value +
                            "' for --spans: expected repeat, empty or none");
            }
            options().spans = value;
        } else {
            const auto number = parseUnsigned(value, true);
            if (!number) {
                return fail("invalid value '" + value +
                            "' for --encoding: expected an encoding number such as 4 or "
                            "0x80000421");
            }
            options().encoding = *number;
        }
    }

    void select(Selection selection, const std::string& name) {
        if (selectionName_.empty()) {
            options().selection = selection;
            selectionName_ = name;
        } else {
            fail("options '" + selectionName_ + "' and '" + name + "' cannot be combined");
        }
    }

    // --tsv and --separator name the same option, so only one of them may be given, once.
    void setSeparator(char separator, const std::string& name) {
        if (options().csvSeparator) {
            return fail(separatorName_ == name ? "option '" + name + "' given twice"
                                               : "options '" + separatorName_ + "' and '" + name +
                                                     "' cannot be combined");
        }
        options().csvSeparator = separator;
        separatorName_ = name;
        noteCsvOption(name);
    }

    void noteCsvOption(const std::string& name) {
        if (csvOptionName_.empty()) csvOptionName_ = name;
    }

    void checkCombinations() {
        const Selection selection = options().selection;
        if (!csvOptionName_.empty() &&
            (selection == Selection::json || selection == Selection::jsonl ||
             selection == Selection::list)) {
            fail("option '" + csvOptionName_ + "' sets the CSV form and cannot be combined with '" +
                 selectionName_ + "'");
        }
        if (options().outputPath && (selection == Selection::list || selection == Selection::all)) {
            fail("option '--output' cannot be combined with '" + selectionName_ + "'");
        }
        const auto& sources = options().sources;
        if (options().sourcesFrom == "-" &&
            std::find(sources.begin(), sources.end(), "-") != sources.end()) {
            fail("standard input cannot be both a SOURCE and the list of SOURCEs");
        }
    }

    const std::vector<std::string>& arguments_;
    size_t position_ = 0;
    bool onlySourcesFollow_ = false;
    std::string selectionName_;
    std::string separatorName_;
    std::string csvOptionName_;  // the first option given that sets the CSV form
    ParsedOptions result_;
};

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
    return Parser(arguments).run();
}

std::string usageText() {
    return R"(Usage: gridmint-extract [OPTIONS] [SOURCE...]
Finds the tables in HTML pages and prints them as CSV or JSON.

  SOURCE may be a file, or "-" or nothing for standard input. Any other SOURCE is an
  address (https://example.com/page, example.com/page, file:///...), fetched and read
  only when it is HTML. A file named *.warc or *.warc.gz is a web archive: each of its
  HTML responses is a page.

  --json                 the whole result as one JSON object: table names in page
                         order, each an array of rows of cell strings
  --list                 one line per table: name TAB rows TAB columns
  --table NAME           that table as CSV (NAME is taken verbatim)
  --index N              the N-th table (1-based, page order) as CSV
  --all DIR              every table into DIR/<name>.csv; prints the paths written
  --jsonl                one JSON object per line per table, for any number of pages:
                         {"source":..,"index":n,"name":..,"rows":[[..]]}, with "url"
                         after "source" for a page from a web archive
  -o, --output FILE      write the CSV to FILE (replaced atomically) instead of stdout
  --encoding N           the encoding number the bytes start from (default 4, UTF-8);
                         an address's encoding comes from its response
  --user-agent S         the User-Agent sent for an address, for this run
  --sources-from FILE    read more SOURCEs from FILE, one a line ("-": standard input)
  -j, --jobs N           scan N pages at once (default: one per core); the output keeps
                         the order of the SOURCEs
  --consolidate-whitespace   merge runs of white space in cells, for this run
  --browser              read the tables and cell text as a browser shows them,
                         for this run (tables then come in the order they start)
  --spans MODE           with --browser, a spanning cell's text: repeat (in every
                         slot it covers, the default), empty (in its first slot
                         only) or none (one cell per element, as written)
  --keep-line-breaks     with --browser, join a cell's lines with a line break
                         instead of a space
  --links                with --browser, keep each cell's first link: in JSON a linked
                         cell is {"text":..,"href":..}; in CSV a column with links gains
                         a column right after it, headed '<its header> (link)', holding
                         the addresses, made absolute against <base href> or the page's
                         address
  -v, --verbose          write the engine's diagnostic lines to stderr, for this run

The CSV form, for every CSV written (standard output, --output, --all); each option
given wins over the settings for this run:
  --separator C          ',' (default), ';', '|' or tab (written '\t' or 'tab')
  --tsv                  the same as --separator tab
  --bom                  start with a UTF-8 byte-order mark
  --crlf                 end records with CR LF instead of LF
  --quote all|minimal    quote every field (default), or only those holding the
                         separator, a double quote, CR or LF
  --guard-formulas       put ' before a cell starting with =, +, -, @, tab or CR, so a
                         spreadsheet shows it as text instead of running it

  -h, --help             show this text
  --version              show the version

With no selection option, a page with one table prints it; a page with several lists
them on stderr and exits with 2.
Several pages (several SOURCEs, --sources-from or a web archive) take --jsonl, or
--list, which then starts each line with the page (a file, or an archived page's
address) and a TAB. A page that cannot be read, or a damaged archive record, is named
in a warning on stderr and the run goes on.
Exit status: 0 success, 1 no table, unknown table or unreadable input, 2 bad usage.
)";
}

std::string versionText() {
    return std::string(programName) + " " GRIDMINT_VERSION " (" GRIDMINT_BUILD_NUMBER ")";
}

}  // namespace gridmint::cli
