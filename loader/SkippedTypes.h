// Addresses that name files which are never pages (documents, sound, video, archives) are
// not fetched at all.
#pragma once

#include <string_view>

namespace gridmint {

// The text after the last "." of the address's last path component (trailing "/" ignored),
// empty when that component has no ".".
std::string_view pathExtension(std::string_view address);

// True when the extension is DOC, MOV, WAV, MP3, ZIP, MPG, MP4 or PDF, in any case.
bool isSkippedType(std::string_view address);

}  // namespace gridmint
