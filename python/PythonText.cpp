#include "PythonText.h"

#include <bit>
#include <cstring>
#include <utility>

namespace gridmint::python {

namespace {

constexpr bool littleEndian = std::endian::native == std::endian::little;

}  // namespace

py::str toPython(std::u16string_view text) {
    int order = littleEndian ? -1 : 1;
    PyObject* string =
        PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                              static_cast<Py_ssize_t>(text.size() * 2), "surrogatepass", &order);
    if (!string) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(string);
}

Text textFromPython(const py::handle& string) {
    PyObject* units = PyUnicode_AsEncodedString(
        string.ptr(), littleEndian ? "utf-16-le" : "utf-16-be", "surrogatepass");
    if (!units) throw py::error_already_set();
    const auto encoded = py::reinterpret_steal<py::bytes>(units);
    const std::string_view bytes = encoded;
    Text text(bytes.size() / 2, u'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    return text;
}

py::list rowToPython(TableRow row) {
    py::list cells(row.size());
    for (size_t c = 0; c < row.size(); ++c) cells[c] = toPython(row[c]);
    return cells;
}

py::list rowsToPython(const Table& table) {
    py::list rows(table.size());
    for (size_t r = 0; r < table.size(); ++r) rows[r] = rowToPython(table[r]);
    return rows;
}

py::list linksToPython(const Table& table, const TableLinks& links) {
    py::list rows(table.size());
    auto link = links.begin();
    for (size_t r = 0; r < table.size(); ++r) {
        py::list cells(table[r].size());
        for (size_t c = 0; c < table[r].size(); ++c) {
            // Links come by row and then by column, at most one per cell.
            while (link != links.end() && (link->row < r || (link->row == r && link->column < c)))
                ++link;
            const bool here = link != links.end() && link->row == r && link->column == c;
            cells[c] = here ? py::object(toPython(link->address)) : py::object(py::none());
        }
        rows[r] = std::move(cells);
    }
    return rows;
}

py::list tablesToPython(ResultDictionary& result, std::vector<TableLinks>* links,
                        const std::vector<browser::TableSections>* sections) {
    py::list tables;
    for (size_t i = 0; i < result.size(); ++i) {
        // The caller hands the dictionary over, so its tables are moved out rather than
        // copied cell by cell; its index of names is not read again.
        auto& entry = const_cast<ResultDictionary::Entry&>(result.at(i));
        PyTable table{std::move(entry.first), std::move(entry.second), std::nullopt, std::nullopt};
        if (links) table.links = i < links->size() ? std::move((*links)[i]) : TableLinks();
        if (sections && i < sections->size()) table.sections = (*sections)[i];
        tables.append(py::cast(std::move(table)));
    }
    return tables;
}

}  // namespace gridmint::python
