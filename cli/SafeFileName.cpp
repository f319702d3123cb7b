#include "SafeFileName.h"

#include <string_view>

#include "Utf.h"

namespace gridmint::cli {

namespace {

bool isRefused(unsigned char byte) {
    if (byte < 0x20 || byte == 0x7F) return true;
    return std::string_view("/\\:*?\"<>|").find(static_cast<char>(byte)) != std::string_view::npos;
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
void truncateUtf8(std::string& text, size_t limit) {
    if (text.size() <= limit) return;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::string safeFileStem(const Text& name) {
    std::string stem = toUtf8(name);
    for (char& c : stem) {
        if (isRefused(static_cast<unsigned char>(c))) c = '_';
    }
    // Spaces at the ends are lost or refused on some systems; a leading dot hides the file.
    const size_t first = stem.find_first_not_of(' ');
    stem = first == std::string::npos ? std::string() : stem.substr(first);
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    if (!stem.empty() && stem[0] == '.') stem[0] = '_';
    truncateUtf8(stem, maxStemBytes);
    return stem.empty() ? "table" : stem;
}

std::string UniqueFileStems::next(const Text& name) {
    const std::string stem = safeFileStem(name);
    std::string candidate = stem;
    for (long n = 2; taken_.count(lowerAscii(candidate)) != 0; ++n) {
        candidate = stem + "_" + std::to_string(n);
    }
    taken_.insert(lowerAscii(candidate));
    return candidate;
}

}  // namespace gridmint::cli
