// How the engine's values cross into Python: UTF-16 text straight into str and back, and a
// page's tables into Table objects. Every function here needs the interpreter's lock.
#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <string_view>
#include <vector>

#include "CellLinks.h"
#include "ResultDictionary.h"
#include "SpanLayout.h"
#include "Table.h"
#include "Text.h"

namespace gridmint::python {

namespace py = pybind11;

// One table of a page, as the module's Table type holds it.
struct PyTable {
    Text name;
    Table table;
    std::optional<TableLinks> links;                 // when links were asked for
    std::optional<browser::TableSections> sections;  // from the browser reading
};

// The text as a str; a lone surrogate, which HTML may hold through a numeric reference, is
// kept as it is.
py::str toPython(std::u16string_view text);

// A str as UTF-16 code units, lone surrogates included, without going through UTF-8.
Text textFromPython(const py::handle& string);

py::list rowToPython(TableRow row);
py::list rowsToPython(const Table& table);

// Per row of `table`, per cell, the address of its link or None.
py::list linksToPython(const Table& table, const TableLinks& links);

// The tables of `result` as a list of Table, in its order. Their cells are moved out, so
// `result` is left without them. With `links` (one entry per table) and `sections`, each
// table keeps its own.
py::list tablesToPython(ResultDictionary& result, std::vector<TableLinks>* links = nullptr,
                        const std::vector<browser::TableSections>* sections = nullptr);

}  // namespace gridmint::python
