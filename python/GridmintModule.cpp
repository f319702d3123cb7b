// The Python module's native half, gridmint._core: parse and read pages into Table objects.
// Cell text goes from the engine's UTF-16 straight into Python strings; every scan and fetch
// runs with the interpreter's lock released, so threads parse pages in parallel. The user's
// settings are read once per call, under the lock, into a private copy that the scan reads.
// pybind11's keep-alive bookkeeping, inlined here, trips g++ 12's -Wnull-dereference.
#pragma GCC diagnostic ignored "-Wnull-dereference"
#include <pybind11/pybind11.h>

#include <bit>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "ByteBuffer.h"
#include "CsvWriter.h"
#include "CurlFetcher.h"
#include "FetchSettings.h"
#include "HTMLTableParser.h"
#include "OutputFile.h"
#include "QSettingsDefaults.h"
#include "ResponseCharset.h"
#include "UrlRoute.h"
#include "Utf.h"

namespace py = pybind11;

namespace gridmint::python {

namespace {

// A failed fetch, with the tool's one-line reason.
struct FetchFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct PyTable {
    Text name;
    Table table;
};

py::str toPython(std::u16string_view text) {
    int order = std::endian::native == std::endian::little ? -1 : 1;
    // A lone surrogate, which HTML may hold through a numeric reference, is kept as it is.
    PyObject* string =
        PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                              static_cast<Py_ssize_t>(text.size() * 2), "surrogatepass", &order);
    if (!string) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(string);
}

template <class RowView>
py::list rowToPython(const RowView& row) {
    py::list cells(row.size());
    for (size_t c = 0; c < row.size(); ++c) cells[c] = toPython(row[c]);
    return cells;
}

py::list rowsToPython(const Table& table) {
    py::list rows(table.size());
    for (size_t r = 0; r < table.size(); ++r) rows[r] = rowToPython(table[r]);
    return rows;
}

// The keyword options shared by parse and read.
struct ReadOptions {
    bool browser = false;
    py::object encoding = py::none();
    bool consolidateWhitespace = false;
    std::string spans = "repeat";
    bool keepLineBreaks = false;
    bool links = false;
};

void refuseBrowserOnlyOptions(const ReadOptions& options) {
    if (options.browser)
        throw py::value_error(
            "browser=True: the browser reading is not part of this build of gridmint; use "
            "browser=False");
    if (options.spans != "repeat")
        throw py::value_error("spans='" + options.spans +
                              "': only 'repeat' is available without the browser reading");
    if (options.keepLineBreaks)
        throw py::value_error("keep_line_breaks=True needs the browser reading");
    if (options.links) throw py::value_error("links=True needs the browser reading");
}

// The encoding number the bytes start from: the tool's default (UTF-8), a number, or a
// charset name as a Content-Type would give it.
TextEncoding encodingFrom(const py::object& encoding) {
    if (encoding.is_none()) return encoding::utf8;
    if (py::isinstance<py::bool_>(encoding))
        throw py::type_error("encoding must be a charset name or an encoding number");
    if (py::isinstance<py::int_>(encoding)) {
        const auto number = encoding.cast<long long>();
        if (number <= 0) throw py::value_error("encoding number must be positive");
        return static_cast<TextEncoding>(number);
    }
    if (py::isinstance<py::str>(encoding)) {
        const std::string name = encoding.cast<std::string>();
        const TextEncoding number = encodingForResponseCharset(name);
        if (number == encoding::none) throw py::value_error("unknown encoding '" + name + "'");
        return number;
    }
    throw py::type_error("encoding must be a charset name or an encoding number");
}

// The user's settings as they are now, with the call's options over them.
InMemoryDefaults settingsFor(const ReadOptions& options) {
    static const QSettingsDefaults stored;
    InMemoryDefaults settings;
    settings.set(defaultsKey::verbosity, stored.integerForKey(defaultsKey::verbosity));
    settings.set(
        defaultsKey::consolidateWhitespace,
        options.consolidateWhitespace || stored.boolForKey(defaultsKey::consolidateWhitespace));
    if (auto agent = stored.stringForKey(defaultsKey::userAgent))
        settings.set(defaultsKey::userAgent, *agent);
    for (const std::string_view key :
         {defaultsKey::fetchTimeoutSeconds, defaultsKey::fetchMaxBodyBytes}) {
        if (const long value = stored.integerForKey(key); value > 0) settings.set(key, value);
    }
    return settings;
}

py::list tablesOf(std::unique_ptr<HTMLTableParser> parser) {
    py::list tables;
    if (!parser) return tables;
    ResultDictionary result = parser->takeResultDictionary();
    for (size_t i = 0; i < result.size(); ++i) {
        // The dictionary is ours and dropped right after, so its tables are moved out rather
        // than copied cell by cell.
        auto& entry = const_cast<ResultDictionary::Entry&>(result.at(i));
        tables.append(py::cast(PyTable{std::move(entry.first), std::move(entry.second)}));
    }
    return tables;
}

py::list parseBytes(std::string bytes, TextEncoding encoding, const Defaults& settings) {
    std::unique_ptr<HTMLTableParser> parser;
    {
        py::gil_scoped_release unlocked;
        if (!bytes.empty())
            parser =
                HTMLTableParser::initWithData(ByteBuffer(std::move(bytes)), encoding, settings);
    }
    return tablesOf(std::move(parser));
}

py::list parseData(const py::object& data, const ReadOptions& options) {
    refuseBrowserOnlyOptions(options);
    const TextEncoding encoding = encodingFrom(options.encoding);
    const InMemoryDefaults settings = settingsFor(options);
    if (py::isinstance<py::bytes>(data) || py::isinstance<py::bytearray>(data) ||
        py::isinstance<py::memoryview>(data)) {
        const py::bytes asBytes =
            py::isinstance<py::bytes>(data)
                ? py::reinterpret_borrow<py::bytes>(data)
                : py::bytes(py::module_::import("builtins").attr("bytes")(data));
        return parseBytes(std::string(asBytes), encoding, settings);
    }
    if (py::isinstance<py::str>(data)) {
        // The text route: the text's own characters, whatever charset it declares.
        const Text text = fromUtf8(data.cast<std::string>());
        std::unique_ptr<HTMLTableParser> parser;
        {
            py::gil_scoped_release unlocked;
            if (!text.empty()) parser = HTMLTableParser::initWithHTMLString(text, settings);
        }
        return tablesOf(std::move(parser));
    }
    throw py::type_error("parse() takes bytes or str, not " +
                         std::string(py::str(data.get_type().attr("__name__"))));
}

bool isWebAddress(const std::string& text) {
    return text.starts_with("http://") || text.starts_with("https://");
}

py::list readAddress(const std::string& address, const Defaults& settings) {
    std::unique_ptr<HTMLTableParser> parser;
    UrlLoadReport report;
    {
        py::gil_scoped_release unlocked;
        CurlFetcher fetcher;
        parser = initWithUrl(fromUtf8(address), settings, fetcher,
                             fetchOptionsFromSettings(settings), &report);
    }
    if (!parser) throw FetchFailure("cannot load '" + address + "': " + describeFailure(report));
    return tablesOf(std::move(parser));
}

py::list readFile(const std::string& path, TextEncoding encoding, const Defaults& settings) {
    std::unique_ptr<HTMLTableParser> parser;
    int errorNumber = 0;
    bool mapped = false;
    {
        py::gil_scoped_release unlocked;
        ByteBuffer bytes;
        mapped = ByteBuffer::mapFile(path, bytes, errorNumber);
        if (mapped && !bytes.empty())
            parser = HTMLTableParser::initWithData(std::move(bytes), encoding, settings);
    }
    if (!mapped) {
        errno = errorNumber;
        PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
        throw py::error_already_set();
    }
    return tablesOf(std::move(parser));
}

py::list readSource(const py::object& source, const ReadOptions& options) {
    refuseBrowserOnlyOptions(options);
    const TextEncoding encoding = encodingFrom(options.encoding);
    const InMemoryDefaults settings = settingsFor(options);
    const py::module_ os = py::module_::import("os");
    if (py::isinstance<py::str>(source) || py::isinstance(source, os.attr("PathLike")) ||
        py::isinstance<py::bytes>(source)) {
        const py::object path = os.attr("fsdecode")(source);
        const std::string text = path.cast<std::string>();
        if (isWebAddress(text)) return readAddress(text, settings);
        return readFile(text, encoding, settings);
    }
    if (py::hasattr(source, "read")) {
        const py::object bytes = source.attr("read")();
        if (!py::isinstance<py::bytes>(bytes))
            throw py::type_error("read() needs a file opened in binary mode ('rb')");
        return parseBytes(bytes.cast<std::string>(), encoding, settings);
    }
    throw py::type_error(
        "read() takes a path, an http(s):// address or a binary file object, not " +
        std::string(py::str(source.get_type().attr("__name__"))));
}

py::object toCsv(const PyTable& table, const py::object& path, const py::kwargs& dialect) {
    if (!dialect.empty()) {
        throw py::type_error("to_csv(): unexpected option '" +
                             std::string(py::str(dialect.begin()->first)) +
                             "' (this build writes one CSV dialect)");
    }
    if (path.is_none()) return toPython(csvFromArrays(table.table));
    const std::string file = py::module_::import("os").attr("fsdecode")(path).cast<std::string>();
    std::string error;
    bool written = false;
    {
        py::gil_scoped_release unlocked;
        written = cli::writeFileAtomically(
            file,
            [&table](const OutputSink& sink) { return writeCsvUtf8FromArrays(table.table, sink); },
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
        return function(input, ReadOptions{browser, encoding, consolidateWhitespace, spans,
                                           keepLineBreaks, links});
    };
}

}  // namespace

}  // namespace gridmint::python

PYBIND11_MODULE(_core, module) {
    using namespace gridmint::python;
    module.doc() = "Gridmint's engine: the tables of HTML pages as lists of rows of strings.";
    py::register_exception<FetchFailure>(module, "FetchError", PyExc_OSError);

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
        .def("__repr__",
             [](const PyTable& t) {
                 return "<gridmint.Table " + std::string(py::repr(toPython(t.name))) + ": " +
                        std::to_string(t.table.size()) + " rows>";
             })
        .def("to_csv", &toCsv, py::arg("path") = py::none(),
             "The table as CSV: every field quoted, returned as str, or written (atomically) "
             "to `path` as UTF-8 when one is given.");

    module.def("parse", withReadOptions(parseData), py::arg("data"), py::kw_only(),
               py::arg("browser") = false, py::arg("encoding") = py::none(),
               py::arg("consolidate_whitespace") = false, py::arg("spans") = "repeat",
               py::arg("keep_line_breaks") = false, py::arg("links") = false,
               "The tables of a page given as bytes (its declared charset read as the tool "
               "reads it; `encoding` is where decoding starts) or as str.");
    module.def("read", withReadOptions(readSource), py::arg("source"), py::kw_only(),
               py::arg("browser") = false, py::arg("encoding") = py::none(),
               py::arg("consolidate_whitespace") = false, py::arg("spans") = "repeat",
               py::arg("keep_line_breaks") = false, py::arg("links") = false,
               "The tables of a file (a path or a binary file object) or of an http(s):// "
               "address, fetched as gridmint-extract fetches it.");
}
