// The text that the source view shows for a page's bytes: how an opened file is decoded, and
// how a fetched page is shown in the encoding its parser used.
#pragma once

#include <string_view>

#include "HTMLTableParser.h"
#include "Text.h"

namespace gridmint {

struct DecodedSource {
    Text text;
    TextEncoding encoding = encoding::none;
};

// Decodes the bytes of an HTML file: by its byte-order mark; else in the charset its head
// declares, when that decodes them; else as UTF-8 when they are valid UTF-8; else as
// ISO-8859-1, which accepts every byte.
DecodedSource decodeHtmlFile(std::string_view bytes);

// The page's text in the encoding its parser decoded the cells in, falling back as cell
// decoding does (UTF-8, then ISO-8859-1), so a page that is not UTF-8 is shown, not emptied.
Text pageText(const HTMLTableParser& parser);

}  // namespace gridmint
