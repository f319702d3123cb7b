#include "TableListing.h"

#include "Utf.h"

namespace gridmint::cli {

std::string tableListing(const ResultDictionary& result) {
    std::string lines;
    for (const auto& [name, table] : result) {
        appendUtf8(lines, name);
        lines += '\t';
        lines += std::to_string(table.size());
        lines += '\t';
        lines += std::to_string(table.empty() ? 0 : table.front().size());
        lines += '\n';
    }
    return lines;
}

}  // namespace gridmint::cli
