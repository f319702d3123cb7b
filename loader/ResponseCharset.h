// The encoding in which a fetched page is read first, chosen from the response itself: the
// charset that the Content-Type names, else a byte-order mark, else UTF-8. A charset that the
// page declares in its head still overrides this choice later.
#pragma once

#include <optional>
#include <string_view>

#include "Text.h"

namespace gridmint {

// The value of the "charset" parameter of a Content-Type, unquoted; nothing when absent.
std::optional<std::string_view> charsetParameter(std::string_view contentType);

// Our encoding number for a charset name (any case), 0 for a name we do not map.
TextEncoding encodingForResponseCharset(std::string_view charset);

// 4 for a UTF-8 byte-order mark, 10 for a UTF-16 one (either byte order), else 0.
TextEncoding encodingFromByteOrderMark(std::string_view body);

// The response's charset, else the byte-order mark, else UTF-8 (never 0).
TextEncoding detectResponseEncoding(const std::optional<std::string>& contentType,
                                    std::string_view body);

}  // namespace gridmint
