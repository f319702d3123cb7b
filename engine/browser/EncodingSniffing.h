// Settling the encoding of a page's bytes as a browser does, for the browser reading: a
// byte-order mark; else the charset the transport sent; else a <meta> declaration in the
// first 1,024 bytes; else the first <meta> declaration the tokenizer meets later; else UTF-8
// when the bytes are valid UTF-8; else the charset detector's guess when it is sure enough;
// else windows-1252. Encodings are named by their canonical names ("UTF-8", "windows-1252",
// "Shift_JIS", "GBK", ...), and every label a page may use resolves to one of them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace gridmint::browser {

// The canonical encoding name for a label ("latin1" -> "windows-1252", "x-sjis" ->
// "Shift_JIS"), white space around it and letter case ignored; nothing for an unknown label.
std::optional<std::string> encodingForLabel(std::string_view label);

// The encoding named by "charset=..." in a meta element's content attribute value.
std::optional<std::string> charsetFromMetaContent(std::string_view content);

// The encoding a <meta> start tag declares, from its attributes (absent ones as nothing):
// its charset, else its content when http-equiv is "Content-Type". UTF-16 declarations mean
// UTF-8 and x-user-defined means windows-1252, as for any declaration inside the page.
std::optional<std::string> charsetFromMetaAttributes(std::optional<std::string_view> charset,
                                                     std::optional<std::string_view> httpEquiv,
                                                     std::optional<std::string_view> content);

// The encoding a <meta> declares within the first 1,024 bytes, read without tokenizing:
// comments and other tags are skipped, a tag cut off by the limit declares nothing.
std::optional<std::string> prescanMetaCharset(std::string_view bytes);

// The byte-order mark at the start of the bytes: UTF-8, UTF-16LE or UTF-16BE.
struct ByteOrderMark {
    std::string encoding;
    std::size_t length = 0;
};
std::optional<ByteOrderMark> sniffByteOrderMark(std::string_view bytes);

struct SettledEncoding {
    std::string encoding;
    std::size_t byteOrderMarkLength = 0;  // bytes to skip before decoding
    // No mark, transport charset or early <meta> decided: a <meta> declaration that the
    // tokenizer meets later overrides this encoding (settle again with it and read again).
    bool laterMetaDecides = false;
};

// The encoding to read the page in. `transportCharset` is the label the response named
// (empty when there was none); `laterMetaCharset` the encoding of the first declaration the
// tokenizer met (from charsetFromMetaAttributes), when a first reading found one.
SettledEncoding settleEncoding(std::string_view bytes, std::string_view transportCharset = {},
                               const std::optional<std::string>& laterMetaCharset = {});

}  // namespace gridmint::browser
