#include "SkippedTypes.h"

#include <array>

namespace gridmint {

namespace {

constexpr std::array<std::string_view, 8> skippedExtensions{"DOC", "MOV", "WAV", "MP3",
                                                            "ZIP", "MPG", "MP4", "PDF"};

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view upper) {
    if (a.size() != upper.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

}  // namespace

std::string_view pathExtension(std::string_view address) {
    // "…/report.pdf/" still names report.pdf, as a path's last component does.
    while (address.size() > 1 && address.back() == '/') address.remove_suffix(1);
    const size_t slash = address.rfind('/');
    const std::string_view component =
        slash == std::string_view::npos ? address : address.substr(slash + 1);
    const size_t dot = component.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : component.substr(dot + 1);
}

bool isSkippedType(std::string_view address) {
    const std::string_view extension = pathExtension(address);
    for (std::string_view skipped : skippedExtensions) {
        if (equalsIgnoringAsciiCase(extension, skipped)) return true;
    }
    return false;
}

}  // namespace gridmint
