// A page read as a browser does, for the window: its tables, and its text decoded in the
// encoding the browser settled on, which the source view shows in place of the bytes.
#pragma once

#include <string_view>

#include "BrowserReading.h"
#include "Text.h"

namespace gridmint {

struct BrowserPage {
    browser::BrowserResult reading;
    Text text;  // empty for a page that came as text
};

// Reads a file's or a response's bytes; `responseCharset` is the charset the response named.
BrowserPage readBytesAsBrowserPage(std::string_view bytes, std::string_view responseCharset,
                                   const browser::BrowserOptions& options);

}  // namespace gridmint
