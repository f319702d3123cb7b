// The browser reading of a page as the tool's JSON shows it, so expectations read as output.
#pragma once

#include <string>
#include <string_view>

#include "BrowserReading.h"
#include "JsonWriter.h"

namespace gridmint::browser::test {

inline std::string readAsJson(std::string_view page, BrowserOptions options = {}) {
    const BrowserResult result = readTablesAsBrowser(page, options);
    if (result.outputTooLarge) return "too large";
    return jsonFromResult(result.tables);
}

struct PageCase {
    const char* name;
    const char* page;
    const char* json;
};

}  // namespace gridmint::browser::test
