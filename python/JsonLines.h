// The JSON lines gridmint-extract --jsonl prints for one SOURCE, or for the records of a web
// archive that start in a range of its bytes: what the module's Dask bag is made of.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

#include "PageReading.h"

namespace gridmint::python {

namespace py = pybind11;

// (lines as UTF-8 bytes, list of warnings as str); the lines are those of the tool for
// `source` with the same reading. For an archive only the records whose offset is at
// least `begin` and below `end` are read.
py::tuple jsonLinesOf(const py::object& source, uint64_t begin, uint64_t end,
                      const ReadOptions& options);

}  // namespace gridmint::python
