// Pages are built from sections (a heading, paragraphs, maybe a table, a script or a comment)
// appended while they fit; the rest up to the requested size is one plain paragraph, so every
// page has exactly the size asked for and no element is cut in half. All randomness comes
// from one splitmix64 stream with our own range reduction, because the standard library's
// distributions may differ between implementations.
#include "PageGenerator.h"

#include <array>
#include <string>

namespace gridmint::bench {

std::optional<PageKind> pageKindFromName(std::string_view name) {
    if (name == "table") return PageKind::table;
    if (name == "text") return PageKind::text;
    return std::nullopt;
}

namespace {

class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number in [0, n); n > 0. The modulo bias is far below anything a page shows.
    size_t below(size_t n) { return static_cast<size_t>(next() % n); }
    size_t between(size_t low, size_t high) { return low + below(high - low + 1); }
    bool percent(unsigned chance) { return below(100) < chance; }
    template <typename T, size_t N>
    const T& pick(const std::array<T, N>& items) {
        return items[below(N)];
    }

  private:
    uint64_t state_;
};

using Words = std::string_view;

constexpr std::array<Words, 64> commonWords = {
    "the",       "of",        "and",      "population", "census",   "district", "river",   "north",
    "station",   "municipal", "estimate", "annual",     "report",   "total",    "growth",  "area",
    "density",   "region",    "capital",  "founded",    "century",  "old",      "town",    "bridge",
    "market",    "railway",   "harbour",  "council",    "election", "results",  "season",  "league",
    "points",    "goals",     "player",   "club",       "record",   "first",    "second",  "final",
    "average",   "median",    "income",   "export",     "import",   "trade",    "partner", "share",
    "index",     "value",     "change",   "since",      "between",  "during",   "after",   "before",
    "according", "source",    "official", "survey",     "data",     "updated",  "revised", "note"};

// Words outside ASCII, in several scripts, so cell text exercises multi-byte UTF-8.
constexpr std::array<Words, 32> foreignWords = {
    "Zürich",  "São Paulo", "Kraków",   "Malmö",    "Århus",   "Reykjavík", "Łódź",   "İzmir",
    "Москва",  "Αθήνα",     "東京",     "서울",     "القاهرة", "मुंबई",       "México", "Besançon",
    "Curaçao", "Ålesund",   "Göteborg", "Škoda",    "naïve",   "café",      "façade", "déjà vu",
    "Straße",  "Ærø",       "Čeština",  "Việt Nam", "Ελλάδα",  "Україна",   "北京",   "Tromsø"};

// Text written with character references, named and numeric.
constexpr std::array<Words, 20> referenceWords = {"AT&amp;T",
                                                  "Barnes &amp; Noble",
                                                  "&quot;provisional&quot;",
                                                  "caf&eacute;",
                                                  "&copy; 2021",
                                                  "&mdash;",
                                                  "&#8211;",
                                                  "&#x2014;",
                                                  "&lt;none&gt;",
                                                  "a&nbsp;b",
                                                  "&euro;5",
                                                  "&pound;12",
                                                  "more&hellip;",
                                                  "Brand&trade;",
                                                  "don&#39;t",
                                                  "r&eacute;sum&eacute;",
                                                  "&frac12;",
                                                  "&deg;C",
                                                  "&plusmn;3",
                                                  "&sect;4"};

constexpr std::array<Words, 16> people = {
    "Łukasz Nowak",  "Zoë Ødegaard",   "Björn Fjällström", "Nguyễn Văn An",
    "Ana Conceição", "Jürgen Weiß",    "María José Peña",  "Søren Holm",
    "Anaïs Durand",  "Dmitri Ivanov",  "Chloé Lefèvre",    "Ömer Yılmaz",
    "Grace O'Neill", "Kenji Watanabe", "Aoife Ní Bhriain", "Paul Smith"};

constexpr std::array<Words, 12> countryCodes = {"de", "es", "at", "cz", "gr", "jp",
                                                "kr", "tr", "br", "mx", "is", "pl"};
constexpr std::array<Words, 12> countries = {"Deutschland", "España", "Österreich", "Česko",
                                             "Ελλάδα",      "日本",   "대한민국",   "Türkiye",
                                             "Brasil",      "México", "Ísland",     "Polska"};

constexpr std::array<Words, 12> months = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};

// What one column of a table holds; each kind writes its cells in its own way.
enum class ColumnKind { name, country, integer, decimal, percent, money, date, text, notes, code };

constexpr std::array<ColumnKind, 10> columnKinds = {
    ColumnKind::name,    ColumnKind::country, ColumnKind::integer, ColumnKind::decimal,
    ColumnKind::percent, ColumnKind::money,   ColumnKind::date,    ColumnKind::text,
    ColumnKind::notes,   ColumnKind::code};

// Scripts as pages carry them: comparisons, markup in strings, JSON. None holds a script end
// tag or a comment opener, so each ends where its end tag stands.
constexpr std::array<Words, 4> scripts = {
    "<script>\nwindow.dataLayer = window.dataLayer || [];\n"
    "function track(e) { if (e.rows > 0 && e.rows < 500) dataLayer.push(e); }\n</script>\n",
    "<script type=\"text/javascript\">\nvar rows = document.querySelectorAll('table.data tr');\n"
    "for (var i = 0; i < rows.length; i++) { rows[i].className += (i % 2) ? ' odd' : ''; }\n"
    "</script>\n",
    "<script type=\"application/ld+json\">\n{\"@type\": \"Dataset\", \"name\": \"Annual "
    "figures\", \"license\": \"CC-BY\", \"rows\": [1, 2, 3]}\n</script>\n",
    "<script async src=\"/static/widgets.js\"></script>\n"};

class PageWriter {
  public:
    explicit PageWriter(uint64_t seed) : random_(seed) {}

    std::string prologue();
    static std::string_view epilogue();
    // A section of a page of the given kind, counted in `stats`.
    std::string section(PageKind kind, size_t number, PageStats& stats);
    // A paragraph of exactly `size` bytes of ASCII text (blank lines when there is no room).
    static std::string filler(size_t size);
    std::string cellContent(ColumnKind kind);

  private:
    void word(std::string& out);
    void sentence(std::string& out);
    void paragraph(std::string& out, size_t approximateSize);
    void number(std::string& out, size_t digits);
    void heading(std::string& out, size_t number);
    void comment(std::string& out, PageStats& stats);
    void table(std::string& out, size_t number, size_t rows, size_t columns, PageStats& stats);
    void tableStartTag(std::string& out, size_t number);
    void headerCell(std::string& out, ColumnKind kind);
    void bodyCell(std::string& out, ColumnKind kind);

    Random random_;
};

std::string PageWriter::prologue() {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Figures and tables, edition ";
    number(out, 4);
    out +=
        "</title>\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<link rel=\"stylesheet\" href=\"/static/site.css\">\n<style>\n"
        "table.data > tbody > tr:nth-child(odd) { background: #f4f4f4; }\n"
        "td.num, th.num { text-align: right; }\n</style>\n";
    out += scripts[0];
    out +=
        "</head>\n<body class=\"page\">\n<header><nav><a href=\"/\">Home</a> | "
        "<a href=\"/about\">About</a></nav></header>\n<main>\n";
    return out;
}

std::string_view PageWriter::epilogue() {
    return "</main>\n<footer><p>&copy; 2024 Example Publishing</p></footer>\n</body>\n</html>\n";
}

std::string PageWriter::filler(size_t size) {
    constexpr std::string_view open = "<p>", close = "</p>\n";
    if (size < open.size() + close.size() + 1) return std::string(size, '\n');
    std::string out(open);
    const size_t textEnd = size - close.size();
    for (size_t i = 0; out.size() < textEnd; ++i) {
        const Words w = commonWords[i % commonWords.size()];
        if (out.size() + w.size() + 1 > textEnd) break;
        out += w;
        out += ' ';
    }
    out.append(textEnd - out.size(), ' ');
    out += close;
    return out;
}

void PageWriter::word(std::string& out) {
    const size_t roll = random_.below(100);
    if (roll < 80) {
        out += random_.pick(commonWords);
    } else if (roll < 93) {
        out += random_.pick(foreignWords);
    } else {
        out += random_.pick(referenceWords);
    }
}

void PageWriter::sentence(std::string& out) {
    const size_t words = random_.between(5, 18);
    for (size_t i = 0; i < words; ++i) {
        if (i > 0) out += ' ';
        const size_t roll = random_.below(100);
        if (roll < 4) {
            out += "<a href=\"/wiki/Topic_";
            number(out, 5);
            out += "\" title=\"Topic\">";
            word(out);
            out += ' ';
            word(out);
            out += "</a>";
        } else if (roll < 6) {
            out += "<em>";
            word(out);
            out += "</em>";
        } else if (roll < 7) {
            out += "<b>";
            word(out);
            out += "</b>";
        } else {
            word(out);
        }
    }
    out += random_.percent(5) ? ".<sup class=\"reference\"><a href=\"#cite_note-3\">[3]</a></sup> "
                              : ". ";
}

void PageWriter::paragraph(std::string& out, size_t approximateSize) {
    const size_t start = out.size();
    out += "<p>";
    while (out.size() - start < approximateSize) sentence(out);
    out += "</p>\n";
}

void PageWriter::number(std::string& out, size_t digits) {
    out += static_cast<char>('1' + random_.below(9));
    for (size_t i = 1; i < digits; ++i) out += static_cast<char>('0' + random_.below(10));
}

void PageWriter::heading(std::string& out, size_t number) {
    out += "<h2><span class=\"mw-headline\" id=\"Section_";
    out += std::to_string(number);
    out += "\">";
    word(out);
    out += ' ';
    word(out);
    out += "</span></h2>\n";
}

void PageWriter::comment(std::string& out, PageStats& stats) {
    if (random_.percent(15)) {
        // Old markup left in a comment: a reader must not count it.
        out += "<!-- previous layout:\n<table class=\"old\"><tr><td>";
        word(out);
        out += "</td><td>";
        number(out, 3);
        out += "</td></tr></table>\n-->\n";
        ++stats.commentedOutTables;
        return;
    }
    out += "<!-- block ";
    number(out, 6);
    out += " generated from the ";
    word(out);
    out += " template -->\n";
}

void PageWriter::tableStartTag(std::string& out, size_t number) {
    switch (random_.below(5)) {
        case 0:
            out += "<table id=\"t";
            out += std::to_string(number);
            out += "\" class=\"wikitable sortable\">";
            break;
        case 1: out += "<table class=\"data\">"; break;
        case 2: out += "<table>"; break;
        case 3: out += "<TABLE BORDER=1 CELLPADDING=2 CELLSPACING=0>"; break;
        case 4:
            out += "<table style=\"width:100%\" data-rows=\"";
            out += std::to_string(number % 97);
            out += "\" id=stats-";
            out += std::to_string(number);
            out += ">";
            break;
    }
    out += '\n';
}

void PageWriter::headerCell(std::string& out, ColumnKind kind) {
    out += kind == ColumnKind::integer || kind == ColumnKind::money ? "<th class=\"num\">"
                                                                    : "<th scope=\"col\">";
    word(out);
    if (random_.percent(30)) {
        out += "<br><small>(";
        word(out);
        out += ")</small>";
    }
    out += "</th>\n";
}

std::string PageWriter::cellContent(ColumnKind kind) {
    std::string out;
    switch (kind) {
        case ColumnKind::name: {
            const Words name =
                random_.percent(50) ? random_.pick(people) : random_.pick(foreignWords);
            out += "<a href=\"/wiki/Entry_";
            number(out, 4);
            out += "\" title=\"";
            out += name;
            out += "\">";
            out += name;
            out += "</a>";
            break;
        }
        case ColumnKind::country: {
            const size_t c = random_.below(countries.size());
            out += "<img src=\"/f/";
            out += countryCodes[c];
            out += ".png\" alt=\"\" width=16> ";
            out += countries[c];
            break;
        }
        case ColumnKind::integer:
            number(out, random_.between(1, 3));
            out += ',';
            number(out, 3);
            break;
        case ColumnKind::decimal:
            if (random_.percent(20)) out += "\xE2\x88\x92";  // U+2212 MINUS SIGN
            number(out, random_.between(1, 2));
            out += '.';
            number(out, 2);
            break;
        case ColumnKind::percent:
            number(out, 2);
            out += random_.percent(50) ? ".5%" : "&nbsp;%";
            break;
        case ColumnKind::money:
            out += random_.percent(50) ? "&euro;" : "$";
            number(out, random_.between(1, 3));
            out += ",000";
            break;
        case ColumnKind::date:
            out += std::to_string(random_.between(1, 28));
            out += "&nbsp;";
            out += random_.pick(months);
            out += ' ';
            out += std::to_string(random_.between(1950, 2024));
            break;
        case ColumnKind::text:
            word(out);
            out += ' ';
            word(out);
            out += ' ';
            out += random_.pick(referenceWords);
            break;
        case ColumnKind::notes:
            word(out);
            out += random_.percent(50) ? "<br>" : "<br/>\n";
            word(out);
            break;
        case ColumnKind::code:
            out += "<code>";
            out += static_cast<char>('A' + random_.below(26));
            number(out, 3);
            out += "</code>";
            break;
    }
    return out;
}

void PageWriter::bodyCell(std::string& out, ColumnKind kind) {
    switch (kind) {
        case ColumnKind::integer:
        case ColumnKind::money:
            out += "<td class=\"num\" data-sort-value=\"";
            number(out, 6);
            out += "\">";
            break;
        case ColumnKind::decimal: out += "<td align=right>"; break;
        case ColumnKind::name:
        case ColumnKind::country:
        case ColumnKind::percent:
        case ColumnKind::date:
        case ColumnKind::text:
        case ColumnKind::notes:
        case ColumnKind::code: out += "<td>"; break;
    }
    if (random_.percent(3)) {
        out += "&nbsp;";  // an empty cell, as tables show missing values
    } else {
        out += cellContent(kind);
    }
    out += "</td>\n";
}

void PageWriter::table(std::string& out, size_t number, size_t rows, size_t columns,
                       PageStats& stats) {
    std::vector<ColumnKind> kinds(columns);
    kinds[0] = ColumnKind::name;
    for (size_t c = 1; c < columns; ++c) kinds[c] = random_.pick(columnKinds);

    tableStartTag(out, number);
    if (random_.percent(30)) {
        out += "<caption>";
        sentence(out);
        out += "</caption>\n";
    }
    const bool headSection = random_.percent(75);
    out += headSection ? "<thead>\n<tr>\n" : "<tr>\n";
    for (const ColumnKind kind : kinds) headerCell(out, kind);
    out += headSection ? "</tr>\n</thead>\n<tbody>\n" : "</tr>\n";
    for (size_t r = 0; r < rows; ++r) {
        out += r % 2 ? "<tr class=\"odd\">\n" : "<tr>\n";
        for (const ColumnKind kind : kinds) bodyCell(out, kind);
        out += "</tr>\n";
    }
    if (headSection) out += "</tbody>\n";
    size_t footRows = 0;
    if (random_.percent(20)) {
        out += "<tfoot><tr><th>Total</th><td colspan=\"";
        out += std::to_string(columns - 1);
        out += "\">";
        this->number(out, 5);
        out += "</td></tr></tfoot>\n";
        footRows = 1;
    }
    out += "</table>\n";

    ++stats.tables;
    stats.rows += 1 + rows + footRows;
    stats.cells += columns * (1 + rows) + 2 * footRows;
    if (headSection) ++stats.headSections;
}

std::string PageWriter::section(PageKind kind, size_t number, PageStats& stats) {
    std::string out = "<div class=\"section\" id=\"s";
    out += std::to_string(number);
    out += "\">\n";
    heading(out, number);
    switch (kind) {
        case PageKind::table:
            paragraph(out, random_.between(60, 300));
            if (random_.percent(30)) comment(out, stats);
            table(out, number, random_.between(8, 120), random_.between(3, 9), stats);
            if (random_.percent(25)) out += random_.pick(scripts);
            break;
        case PageKind::text: {
            const size_t paragraphs = random_.between(2, 8);
            for (size_t p = 0; p < paragraphs; ++p) {
                paragraph(out, random_.between(300, 3000));
                if (random_.percent(5)) comment(out, stats);
            }
            if (random_.percent(15)) {
                out += "<ul>\n";
                for (size_t i = random_.between(3, 8); i > 0; --i) {
                    out += "<li>";
                    sentence(out);
                    out += "</li>\n";
                }
                out += "</ul>\n";
            }
            if (random_.percent(5))
                table(out, number, random_.between(4, 20), random_.between(2, 5), stats);
            if (random_.percent(8)) out += random_.pick(scripts);
            break;
        }
    }
    out += "</div>\n";
    return out;
}

void addStats(PageStats& into, const PageStats& from) {
    into.tables += from.tables;
    into.rows += from.rows;
    into.cells += from.cells;
    into.headSections += from.headSections;
    into.commentedOutTables += from.commentedOutTables;
}

}  // namespace

Page generatePage(PageKind kind, size_t size, uint64_t seed) {
    PageWriter writer(seed);
    Page page;
    page.html = writer.prologue();
    const size_t epilogueSize = PageWriter::epilogue().size();
    page.html.reserve(size + 64);
    for (size_t number = 1;; ++number) {
        PageStats sectionStats;
        const std::string block = writer.section(kind, number, sectionStats);
        if (page.html.size() + block.size() + epilogueSize > size) break;
        page.html += block;
        addStats(page.stats, sectionStats);
    }
    if (page.html.size() + epilogueSize < size) {
        page.html += PageWriter::filler(size - page.html.size() - epilogueSize);
    }
    page.html += PageWriter::epilogue();
    return page;
}

std::vector<std::string> sampleCellBytes(size_t count, uint64_t seed) {
    PageWriter writer(seed);
    Random random(seed ^ 0x5EED);
    std::vector<std::string> cells;
    cells.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const std::string markup = writer.cellContent(random.pick(columnKinds));
        // The space of the previous end tag's ">", the line break, the space of "<td>".
        std::string bytes = " \n ";
        bool inTag = false;
        for (const char c : markup) {
            if (c == '<') {
                inTag = true;
            } else if (c == '>') {
                inTag = false;
                bytes += ' ';
            } else if (!inTag) {
                bytes += c;
            }
        }
        cells.push_back(std::move(bytes));
    }
    return cells;
}

}  // namespace gridmint::bench
