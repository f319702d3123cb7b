// parse() and read(): one page's tables, by either reading, from bytes, text, a file, a file
// object or an address. The scan and the fetch run with the interpreter's lock released.
#pragma once

#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

#include "BrowserReading.h"
#include "Defaults.h"
#include "Text.h"

namespace gridmint::python {

namespace py = pybind11;

// A failed fetch, with the tool's one-line reason.
struct FetchFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The keyword options shared by parse and read.
struct ReadOptions {
    bool browser = false;
    py::object encoding = py::none();
    bool consolidateWhitespace = false;
    std::string spans = "repeat";
    bool keepLineBreaks = false;
    bool links = false;
    std::string pageAddress;  // what links are made absolute against (UTF-8), if known
};

// What one call asks for, checked and settled before any page is read: the reading, where
// the default reading's decoding starts, and the browser reading's options and charset.
struct Reading {
    bool browser = false;
    TextEncoding encoding = encoding::utf8;
    browser::BrowserOptions browserOptions;
    std::string transportCharset;  // the browser reading's charset given by the caller
    InMemoryDefaults settings;     // the user's settings with the call's options over them
};

// Checks the options (raising ValueError or TypeError) and reads the user's settings.
Reading readingFor(const ReadOptions& options);

// `data` is bytes (or a bytearray or memoryview): the bytes route; or str: the text route.
py::list parseData(const py::object& data, const ReadOptions& options);

// `source` is a path (str, bytes or os.PathLike), an http(s):// address or a binary file
// object.
py::list readSource(const py::object& source, const ReadOptions& options);

}  // namespace gridmint::python
