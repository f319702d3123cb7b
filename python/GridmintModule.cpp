// The Python module's native half, gridmint._core: parse and read pages into Table objects,
// and write a table as CSV in any of the tool's forms. Cell text goes from the engine's
// UTF-16 straight into Python strings; every scan, fetch and file write runs with the
// interpreter's lock released, so threads parse pages in parallel. The user's settings are
// read once per call, under the lock, into a private copy that the scan reads.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

#include "CellLinks.h"
#include "CsvDialect.h"
#include "CsvWriter.h"
#include "JsonLines.h"
#include "OutputFile.h"
#include "PageReading.h"
#include "PythonText.h"

namespace py = pybind11;

namespace gridmint::python {

namespace {

// The CSV form the keyword options of to_csv() name, with the tool's words for each.
CsvDialect csvDialectFrom(const std::string& separator, bool byteOrderMark,
                          const std::string& lineEnds, const std::string& quoting,
                          bool guardFormulas) {
    CsvDialect dialect;
    const auto separatorChar = csvSeparatorFromText(separator);
    if (!separatorChar) {
        throw py::value_error("separator='" + separator +
                              "': expected ',', ';', '|' or a tab ('\\t' or 'tab')");
    }
    dialect.separator = *separatorChar;
    dialect.byteOrderMark = byteOrderMark;
    if (lineEnds == "lf" || lineEnds == "\n") {
        dialect.lineEnd = CsvLineEnd::lf;
    } else if (lineEnds == "crlf" || lineEnds == "\r\n") {
        dialect.lineEnd = CsvLineEnd::crlf;
    } else {
        throw py::value_error("line_ends='" + lineEnds + "': expected 'lf' or 'crlf'");
    }
    const auto quotingChoice = csvQuotingFromText(quoting);
    if (!quotingChoice)
        throw py::value_error("quoting='" + quoting + "': expected 'all' or 'minimal'");
    dialect.quoting = *quotingChoice;
    dialect.guardFormulas = guardFormulas;
    return dialect;
}

// The table as text alone: with links kept, each linked column followed by its link column,
// as the tool's CSV has them.
Table textOnly(const PyTable& table) {
    return table.links ? withLinkColumns(table.table, *table.links) : table.table;
}

py::object toCsv(const PyTable& pyTable, const py::object& path, const std::string& separator,
                 bool byteOrderMark, const std::string& lineEnds, const std::string& quoting,
                 bool guardFormulas) {
    const CsvDialect dialect =
        csvDialectFrom(separator, byteOrderMark, lineEnds, quoting, guardFormulas);
    const Table table = textOnly(pyTable);
    if (path.is_none()) return toPython(csvFromArrays(table, dialect));
    const std::string file = py::module_::import("os").attr("fsdecode")(path).cast<std::string>();
    std::string error;
    bool written = false;
    {
        py::gil_scoped_release unlocked;
        written = cli::writeFileAtomically(
            file,
            [&table, &dialect](const OutputSink& sink) {
                return writeCsvUtf8FromArrays(table, sink, dialect);
            },
            error);
    }
    if (!written) {
        PyErr_SetString(PyExc_OSError, error.c_str());
        throw py::error_already_set();
    }
    return py::none();
}

template <class Function>
auto withReadOptions(Function function) {
    return [function](const py::object& input, bool browser, const py::object& encoding,
                      bool consolidateWhitespace, const std::string& spans, bool keepLineBreaks,
                      bool links) {
        return function(
            input, ReadOptions{
                       browser, encoding, consolidateWhitespace, spans, keepLineBreaks, links, {}});
    };
}

py::list parseWithAddress(const py::object& data, bool browser, const py::object& encoding,
                          bool consolidateWhitespace, const std::string& spans, bool keepLineBreaks,
                          bool links, const py::object& pageAddress) {
    std::string address;
    if (!pageAddress.is_none()) {
        if (!py::isinstance<py::str>(pageAddress))
            throw py::type_error("page_address must be a str");
        address = pageAddress.cast<std::string>();
    }
    return parseData(data, ReadOptions{browser, encoding, consolidateWhitespace, spans,
                                       keepLineBreaks, links, address});
}

py::object sectionsOf(const PyTable& t) {
    if (!t.sections) return py::none();
    return py::make_tuple(t.sections->headRows, t.sections->headerCellRows, t.sections->footRows);
}

void defineTable(py::module_& module) {
    py::class_<PyTable>(module, "Table", "One table of a page: its name and its rows of cells.")
        .def_property_readonly("name", [](const PyTable& t) { return toPython(t.name); })
        .def_property_readonly(
            "rows", [](const PyTable& t) { return rowsToPython(t.table); },
            "The rows, each a list of cell strings (rows may differ in length).")
        .def("__len__", [](const PyTable& t) { return t.table.size(); })
        .def("__getitem__",
             [](const PyTable& t, long index) {
                 const long size = static_cast<long>(t.table.size());
                 if (index < 0) index += size;
                 if (index < 0 || index >= size) throw py::index_error("row index out of range");
                 return rowToPython(t.table[static_cast<size_t>(index)]);
             })
        .def("__iter__", [](const PyTable& t) { return py::iter(rowsToPython(t.table)); })
        .def_property_readonly(
            "links",
            [](const PyTable& t) -> py::object {
                if (!t.links) return py::none();
                return linksToPython(t.table, *t.links);
            },
            "With links=True, per row and per cell the address of the cell's first link, or "
            "None; None when links were not asked for.")
        .def_property_readonly(
            "_text_rows", [](const PyTable& t) { return rowsToPython(textOnly(t)); },
            "The rows as to_csv() writes them: with links kept, each linked column followed "
            "by its link column.")
        .def_property_readonly(
            "_sections", &sectionsOf,
            "From the browser reading, (thead rows at the top, rows of <th> cells only after "
            "them, tfoot rows at the bottom); None from the default reading.")
        .def("__repr__",
             [](const PyTable& t) {
                 return "<gridmint.Table " + std::string(py::repr(toPython(t.name))) + ": " +
                        std::to_string(t.table.size()) + " rows>";
             })
        .def("to_csv", &toCsv, py::arg("path") = py::none(), py::kw_only(),
             py::arg("separator") = ",", py::arg("bom").noconvert() = false,
             py::arg("line_ends") = "lf", py::arg("quoting") = "all",
             py::arg("guard_formulas").noconvert() = false,
             "The table as CSV, returned as str, or written (atomically, as UTF-8) to `path` "
             "when one is given; with links kept, each column that has links is followed by a "
             "column of them, as gridmint-extract --links writes it. The form is "
             "gridmint-extract's: `separator` ',', ';', '|' or "
             "'\\t' (also 'comma', 'semicolon', 'pipe', 'tab'); `bom` starts with a byte-order "
             "mark; `line_ends` 'lf' or 'crlf'; `quoting` 'all' (every field) or 'minimal' "
             "(only fields that need it); `guard_formulas` puts ' before a cell starting with "
             "=, +, -, @, tab or CR so a spreadsheet shows it as text.");
}

}  // namespace

}  // namespace gridmint::python

PYBIND11_MODULE(_core, module) {
    using namespace gridmint::python;
    module.doc() = "Gridmint's engine: the tables of HTML pages as lists of rows of strings.";
    py::register_exception<FetchFailure>(module, "FetchError", PyExc_OSError);
    defineTable(module);

    const char* readingHelp =
        " browser=True reads the tables and cell text as a browser shows them; `spans` "
        "('repeat', 'empty' or 'none') and `keep_line_breaks` shape its cells, and "
        "links=True keeps each cell's first link (Table.links, and link columns in to_csv() "
        "and to_pandas()).";
    module.def("parse", &parseWithAddress, py::arg("data"), py::kw_only(),
               py::arg("browser") = false, py::arg("encoding") = py::none(),
               py::arg("consolidate_whitespace") = false, py::arg("spans") = "repeat",
               py::arg("keep_line_breaks") = false, py::arg("links") = false,
               py::arg("page_address") = py::none(),
               (std::string("The tables of a page given as bytes (its declared charset read as "
                            "the tool reads it; `encoding` is where decoding starts, or with "
                            "browser=True the charset to read it in) or as str.") +
                readingHelp +
                " With links=True links are made absolute against the page's <base href>, "
                "else against `page_address`, the address the page came from, when given.")
                   .c_str());
    module.def("read", withReadOptions(readSource), py::arg("source"), py::kw_only(),
               py::arg("browser") = false, py::arg("encoding") = py::none(),
               py::arg("consolidate_whitespace") = false, py::arg("spans") = "repeat",
               py::arg("keep_line_breaks") = false, py::arg("links") = false,
               (std::string("The tables of a file (a path or a binary file object) or of an "
                            "http(s):// address, fetched as gridmint-extract fetches it.") +
                readingHelp +
                " With links=True links are made absolute against the page's <base href>, "
                "else against the address it was fetched from (after redirects).")
                   .c_str());
    module.def(
        "json_lines",
        [](const py::object& source, uint64_t begin, uint64_t end, bool browser,
           const py::object& encoding, bool consolidateWhitespace, const std::string& spans,
           bool keepLineBreaks) {
            return jsonLinesOf(
                source, begin, end,
                ReadOptions{
                    browser, encoding, consolidateWhitespace, spans, keepLineBreaks, false, {}});
        },
        py::arg("source"), py::arg("begin") = 0, py::arg("end") = UINT64_MAX, py::kw_only(),
        py::arg("browser") = false, py::arg("encoding") = py::none(),
        py::arg("consolidate_whitespace") = false, py::arg("spans") = "repeat",
        py::arg("keep_line_breaks") = false,
        "(lines, warnings): the JSON lines gridmint-extract --jsonl prints for the file "
        "`source` (UTF-8 bytes) and the warnings it would print. For a web archive only the "
        "records whose offset lies in [begin, end) are read, so ranges of one archive read "
        "apart give each record once.");
}
