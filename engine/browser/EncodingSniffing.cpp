// The steps that settle a page's encoding, and the <meta> pre-scan they start with.
//
// The pre-scan reads bytes, not tokens: it skips comments ("<!--" to the next "-->", whose
// dashes may be those that opened it), "<!", "</" and "<?" constructs to the next ">", and
// the attributes of other tags, so a ">" or "<meta" inside a quoted attribute value does not
// mislead it. A <meta> tag's attributes are gathered (a repeated name is ignored) and decide
// only when the tag ends: a charset attribute wins; a content attribute's "charset=" counts
// only together with http-equiv="Content-Type". A tag that runs past the 1,024 bytes
// declares nothing.
#include "EncodingSniffing.h"

#include <set>

#include "BrowserCodec.h"
#include "Utf.h"

namespace gridmint::browser {

namespace {

constexpr std::size_t prescanLimit = 1024;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view lower) {
    if (text.size() - at < lower.size()) return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        if (asciiLower(text[at + i]) != lower[i]) return false;
    }
    return true;
}

// Declarations inside a page never switch it to UTF-16 (its markup was readable as ASCII),
// and x-user-defined is read as windows-1252.
std::optional<std::string> asPageDeclaration(std::optional<std::string> encoding) {
    if (encoding == "UTF-16LE" || encoding == "UTF-16BE") return "UTF-8";
    if (encoding == "x-user-defined") return "windows-1252";
    return encoding;
}

struct Attribute {
    std::string name;
    std::string value;
};

// Reads one attribute of a tag from `at`; nothing when the tag ends (at ">", with `at` left
// there) or the bytes end first (with `at` at the end).
class AttributeReader {
  public:
    AttributeReader(std::string_view bytes, std::size_t& at) : bytes_(bytes), at_(at) {}

    std::optional<Attribute> next() {
        while (more() && (isSpace(peek()) || peek() == '/')) ++at_;
        if (!more() || peek() == '>') return std::nullopt;
        Attribute attribute;
        for (;;) {
            if (!more()) return std::nullopt;
            const char c = peek();
            if (c == '=' && !attribute.name.empty()) break;
            if (isSpace(c)) {
                while (more() && isSpace(peek())) ++at_;
                if (!more()) return std::nullopt;
                if (peek() != '=') return attribute;
                break;
            }
            if (c == '/' || c == '>') return attribute;
            attribute.name += asciiLower(c);
            ++at_;
        }
        ++at_;  // the "="
        while (more() && isSpace(peek())) ++at_;
        if (!more()) return std::nullopt;
        const char quote = peek();
        if (quote == '"' || quote == '\'') {
            for (++at_; more() && peek() != quote; ++at_) attribute.value += asciiLower(peek());
            if (!more()) return std::nullopt;
            ++at_;
            return attribute;
        }
        if (quote == '>') return attribute;
        for (; more() && !isSpace(peek()) && peek() != '>'; ++at_) {
            attribute.value += asciiLower(peek());
        }
        if (!more()) return std::nullopt;
        return attribute;
    }

  private:
    bool more() const { return at_ < bytes_.size(); }
    char peek() const { return bytes_[at_]; }

    std::string_view bytes_;
    std::size_t& at_;
};

// The declaration of a <meta> tag whose attributes start at `at`; `at` ends at the tag's ">"
// or at the end of the bytes.
std::optional<std::string> metaTagCharset(std::string_view bytes, std::size_t& at) {
    enum class Pragma { unneeded, needed, undecided };
    AttributeReader reader(bytes, at);
    std::set<std::string> seen;
    bool gotPragma = false;
    Pragma needPragma = Pragma::undecided;
    std::optional<std::string> charset;
    bool charsetFailed = false;
    while (auto attribute = reader.next()) {
        if (!seen.insert(attribute->name).second) continue;
        if (attribute->name == "http-equiv") {
            if (attribute->value == "content-type") gotPragma = true;
        } else if (attribute->name == "content") {
            auto found = charsetFromMetaContent(attribute->value);
            if (found && !charset && !charsetFailed) {
                charset = std::move(found);
                needPragma = Pragma::needed;
            }
        } else if (attribute->name == "charset") {
            charset = encodingForLabel(attribute->value);
            charsetFailed = !charset;
            needPragma = Pragma::unneeded;
        }
    }
    if (at >= bytes.size()) return std::nullopt;
    if (needPragma == Pragma::undecided || (needPragma == Pragma::needed && !gotPragma)) {
        return std::nullopt;
    }
    return asPageDeclaration(std::move(charset));
}

// Moves `at` to the ">" that ends a construct starting there; false when none follows.
bool skipTo(std::string_view bytes, std::size_t& at, std::string_view end, std::size_t from) {
    const std::size_t found = bytes.find(end, from);
    if (found == std::string_view::npos) return false;
    at = found + end.size() - 1;
    return true;
}

}  // namespace

std::optional<std::string> charsetFromMetaContent(std::string_view content) {
    std::size_t at = 0;
    for (;;) {
        while (at < content.size() && !startsWithIgnoringCase(content, at, "charset")) ++at;
        if (at >= content.size()) return std::nullopt;
        at += 7;
        while (at < content.size() && isSpace(content[at])) ++at;
        if (at < content.size() && content[at] == '=') break;
    }
    ++at;
    while (at < content.size() && isSpace(content[at])) ++at;
    if (at >= content.size()) return std::nullopt;
    const char quote = content[at];
    if (quote == '"' || quote == '\'') {
        const std::size_t end = content.find(quote, at + 1);
        if (end == std::string_view::npos) return std::nullopt;
        return encodingForLabel(content.substr(at + 1, end - at - 1));
    }
    std::size_t end = at;
    while (end < content.size() && !isSpace(content[end]) && content[end] != ';') ++end;
    return encodingForLabel(content.substr(at, end - at));
}

std::optional<std::string> charsetFromMetaAttributes(std::optional<std::string_view> charset,
                                                     std::optional<std::string_view> httpEquiv,
                                                     std::optional<std::string_view> content) {
    std::optional<std::string> found;
    if (charset) found = encodingForLabel(*charset);
    if (!found && httpEquiv && content) {
        std::string pragma(*httpEquiv);
        for (char& c : pragma) c = asciiLower(c);
        if (pragma == "content-type") found = charsetFromMetaContent(*content);
    }
    return asPageDeclaration(std::move(found));
}

std::optional<std::string> prescanMetaCharset(std::string_view bytes) {
    bytes = bytes.substr(0, prescanLimit);
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (bytes[at] != '<') continue;
        if (bytes.compare(at, 4, "<!--") == 0) {
            if (!skipTo(bytes, at, "-->", at + 2)) return std::nullopt;
        } else if (startsWithIgnoringCase(bytes, at, "<meta") && at + 5 < bytes.size() &&
                   (isSpace(bytes[at + 5]) || bytes[at + 5] == '/')) {
            at += 6;
            if (auto charset = metaTagCharset(bytes, at)) return charset;
            if (at >= bytes.size()) return std::nullopt;
        } else if (at + 1 < bytes.size() && (isAsciiLetter(bytes[at + 1]) ||
                                             (bytes[at + 1] == '/' && at + 2 < bytes.size() &&
                                              isAsciiLetter(bytes[at + 2])))) {
            at += 2;
            while (at < bytes.size() && !isSpace(bytes[at]) && bytes[at] != '>') ++at;
            AttributeReader reader(bytes, at);
            while (reader.next()) {
            }
            if (at >= bytes.size()) return std::nullopt;
        } else if (bytes.compare(at, 2, "<!") == 0 || bytes.compare(at, 2, "</") == 0 ||
                   bytes.compare(at, 2, "<?") == 0) {
            if (!skipTo(bytes, at, ">", at + 2)) return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<ByteOrderMark> sniffByteOrderMark(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return ByteOrderMark{"UTF-8", 3};
    if (bytes.substr(0, 2) == "\xFE\xFF") return ByteOrderMark{"UTF-16BE", 2};
    if (bytes.substr(0, 2) == "\xFF\xFE") return ByteOrderMark{"UTF-16LE", 2};
    return std::nullopt;
}

SettledEncoding settleEncoding(std::string_view bytes, std::string_view transportCharset,
                               const std::optional<std::string>& laterMetaCharset) {
    if (auto mark = sniffByteOrderMark(bytes)) return {mark->encoding, mark->length, false};
    if (!transportCharset.empty()) {
        if (auto sent = encodingForLabel(transportCharset)) return {*sent, 0, false};
    }
    if (auto declared = prescanMetaCharset(bytes)) return {*declared, 0, false};
    if (laterMetaCharset) return {*laterMetaCharset, 0, false};
    if (isValidUtf8(bytes)) return {"UTF-8", 0, true};
    if (auto guessed = detectCharset(bytes)) return {*guessed, 0, true};
    return {"windows-1252", 0, true};
}

}  // namespace gridmint::browser
