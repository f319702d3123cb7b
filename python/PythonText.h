// How the engine's values cross into Python: UTF-16 text straight into str and back, and a
// page's tables into Table objects. Every function here needs the interpreter's lock.
#pragma once

#include <pybind11/pybind11.h>

#include <string_view>

#include "ResultDictionary.h"
#include "Text.h"

namespace gridmint::python {

namespace py = pybind11;

// One table of a page, as the module's Table type holds it.
struct PyTable {
    Text name;
    Table table;
};

// The text as a str; a lone surrogate, which HTML may hold through a numeric reference, is
// kept as it is.
py::str toPython(std::u16string_view text);

// A str as UTF-16 code units, lone surrogates included, without going through UTF-8.
Text textFromPython(const py::handle& string);

py::list rowToPython(const Row& row);
py::list rowsToPython(const Table& table);

// The tables of `result` as a list of Table, in its order. Their cells are moved out, so
// `result` is left without them.
py::list tablesToPython(ResultDictionary& result);

}  // namespace gridmint::python
