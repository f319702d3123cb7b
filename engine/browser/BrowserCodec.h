// Decoding a page's bytes for the browser reading, and guessing the encoding of bytes that
// declare none. Undecodable bytes become U+FFFD, as in a browser; nothing here fails. The
// browser reading's only file that talks to ICU is BrowserCodec.cpp.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "EncodingSniffing.h"

namespace gridmint::browser {

// The page as UTF-8 text, always valid (every decoder writes U+FFFD for what it cannot
// decode). Bytes that are already valid UTF-8 are not copied: the text then
// views the bytes given to decodeForBrowser, which must outlive it.
class DecodedPage {
  public:
    explicit DecodedPage(std::string_view view) : view_(view) {}
    explicit DecodedPage(std::string text) : owned_(std::move(text)), owns_(true) {}

    std::string_view text() const { return owns_ ? std::string_view(owned_) : view_; }

  private:
    std::string owned_;
    std::string_view view_;
    bool owns_ = false;
};

// The bytes after the byte-order mark, decoded in the settled encoding.
DecodedPage decodeForBrowser(std::string_view bytes, const SettledEncoding& settled);
// The same for an encoding by its canonical name (no mark to skip); an unknown name is read
// as windows-1252.
DecodedPage decodeForBrowser(std::string_view bytes, std::string_view encoding);

// The charset detector's best match for the first 64 KiB, when its confidence is at least
// 50 and it names an encoding a page may be read in (never UTF-16 or UTF-32).
std::optional<std::string> detectCharset(std::string_view bytes);

}  // namespace gridmint::browser
