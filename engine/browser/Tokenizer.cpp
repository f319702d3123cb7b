#include "Tokenizer.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "ByteBlock.h"
#include "CharacterReference.h"

namespace gridmint::browser {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// What each byte means inside a tag, looked up once per byte.
namespace byteClass {
constexpr std::uint8_t space = 1 << 0;         // HTML white space
constexpr std::uint8_t endsName = 1 << 1;      // ends a tag or attribute name: space, "/", ">"
constexpr std::uint8_t equals = 1 << 2;        // "=", which also ends an attribute name
constexpr std::uint8_t endsUnquoted = 1 << 3;  // ends an unquoted value: space, ">"
constexpr std::uint8_t rewritten = 1 << 4;     // changed in a name: upper case, NUL
constexpr std::uint8_t inValue = 1 << 5;       // needs care in a kept value: "&", NUL, CR
}  // namespace byteClass

constexpr auto byteClasses = [] {
    using namespace byteClass;
    std::array<std::uint8_t, 256> classes{};
    for (const unsigned char c : {' ', '\t', '\n', '\f', '\r'})
        classes[c] |= space | endsName | endsUnquoted;
    classes['/'] |= endsName;
    classes['>'] |= endsName | endsUnquoted;
    classes['='] |= equals;
    for (unsigned c = 'A'; c <= 'Z'; ++c) classes[c] |= rewritten;
    classes[0] |= rewritten | inValue;
    classes['&'] |= inValue;
    classes['\r'] |= inValue;
    return classes;
}();

std::uint8_t classOf(char c) {
    return byteClasses[static_cast<unsigned char>(c)];
}
bool isHtmlSpace(char c) {
    return classOf(c) & byteClass::space;
}
bool isAsciiAlpha(char c) {
    return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}
char lowered(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
}
bool endsTagName(char c) {
    return classOf(c) & byteClass::endsName;
}

// The first of `bytes` from `p` on, or `end`.
template <typename... Bytes>
const char* findAny(const char* p, const char* end, Bytes... bytes) {
#if defined(__SSE2__)
    using namespace byteblock;
    while (end - p >= 16) {
        const unsigned hits = equalToAny(load(reinterpret_cast<const unsigned char*>(p)), bytes...);
        if (hits) return p + __builtin_ctz(hits);
        p += 16;
    }
#endif
    while (p < end && ((*p != bytes) && ...)) ++p;
    return p;
}

const char* findByte(const char* p, const char* end, char byte) {
    const void* found = std::memchr(p, byte, static_cast<size_t>(end - p));
    return found ? static_cast<const char*>(found) : end;
}

Attribute attributeNamed(std::string_view name) {
    switch (name.size()) {
        case 2:
            if (name == "id") return Attribute::id;
            break;
        case 4:
            if (name == "type") return Attribute::type;
            if (name == "face") return Attribute::face;
            if (name == "size") return Attribute::size;
            if (name == "href") return Attribute::href;
            break;
        case 5:
            if (name == "class") return Attribute::class_;
            if (name == "style") return Attribute::style;
            if (name == "color") return Attribute::color;
            break;
        case 6:
            if (name == "hidden") return Attribute::hidden;
            break;
        case 7:
            if (name == "colspan") return Attribute::colspan;
            if (name == "rowspan") return Attribute::rowspan;
            if (name == "charset") return Attribute::charset;
            if (name == "content") return Attribute::content;
            break;
        case 8:
            if (name == "encoding") return Attribute::encoding;
            break;
        case 10:
            if (name == "http-equiv") return Attribute::httpEquiv;
            break;
        default: break;
    }
    return Attribute::count;
}

// The name as written, lower-cased, when it holds any upper-case letter or NUL (given by
// `seen`, the classes of its bytes together); an attribute's name is only ever compared, so
// one with NUL, which no attribute the rules read has, is read as none of them.
Attribute attributeNamed(const char* from, const char* to, std::uint8_t seen) {
    constexpr std::size_t longest = 10;  // "http-equiv"
    const auto size = static_cast<std::size_t>(to - from);
    if (size > longest) return Attribute::count;
    if (!(seen & byteClass::rewritten)) return attributeNamed(std::string_view(from, size));
    char lower[longest];
    for (std::size_t i = 0; i < size; ++i) {
        if (from[i] == '\0') return Attribute::count;
        lower[i] = lowered(from[i]);
    }
    return attributeNamed(std::string_view(lower, size));
}

// Eight bytes at a time: only equal attribute texts need equal hashes.
std::uint64_t hashBytes(const char* from, const char* to) {
    std::uint64_t hash = 0xCBF29CE484222325ull ^ static_cast<std::uint64_t>(to - from);
    auto mix = [&hash](std::uint64_t word) {
        hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
        hash ^= hash >> 29;
    };
    for (; to - from >= 8; from += 8) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        mix(word);
    }
    std::uint64_t word = 0;
    std::memcpy(&word, from, static_cast<std::size_t>(to - from));
    mix(word);
    return hash;
}

}  // namespace

void Tokenizer::run() {
    while (p_ < end_) {
        switch (contentState_) {
            case ContentState::data: data(); break;
            case ContentState::rcdata: rcdataOrRawtext(true); break;
            case ContentState::rawtext: rcdataOrRawtext(false); break;
            case ContentState::scriptData: scriptData(); break;
            case ContentState::plaintext: plaintext(); break;
        }
    }
    sink_.endOfFile();
}

void Tokenizer::emitText(const char* from, const char* to) {
    if (from < to) sink_.characters(std::string_view(from, static_cast<size_t>(to - from)));
}

void Tokenizer::emitTextReplacingNul(const char* from, const char* to) {
    while (from < to) {
        const char* nul = findByte(from, to, '\0');
        emitText(from, nul);
        if (nul == to) return;
        sink_.characters(replacementCharacter);
        from = nul + 1;
    }
}

void Tokenizer::data() {
    while (p_ < end_) {
        const char* stop = findAny(p_, end_, '<', '&', '\0');
        // Text that shows nowhere is read on to the next tag without resolving its references.
        if (stop < end_ && *stop == '&' && sink_.dropsText()) {
            do {
                stop = findAny(stop + 1, end_, '<', '&', '\0');
            } while (stop < end_ && *stop == '&');
        }
        emitText(p_, stop);
        p_ = stop;
        if (p_ == end_) return;
        if (*p_ == '\0') {
            ++p_;
        } else if (*p_ == '&') {
            characterReference(false, nullptr);
        } else {
            tagOpen();
            if (contentState_ != ContentState::data) return;
        }
    }
}

void Tokenizer::characterReference(bool inAttribute, std::string* into) {
    const ResolvedCharacters resolved = resolveCharacterReference(p_, end_, inAttribute);
    std::string& out = into ? *into : scratch_;
    if (!into) scratch_.clear();
    if (resolved.length == 0) {
        out += '&';
        ++p_;
    } else {
        for (int i = 0; i < resolved.count; ++i) appendUtf8(out, resolved.codePoints[i]);
        p_ += resolved.length;
    }
    if (!into) sink_.characters(scratch_);
}

void Tokenizer::tagOpen() {
    const char* next = p_ + 1;
    if (next == end_) {
        emitText(p_, next);
        p_ = next;
    } else if (*next == '!') {
        p_ = next + 1;
        markupDeclaration();
    } else if (*next == '/') {
        p_ = next + 1;
        endTagOpen();
    } else if (isAsciiAlpha(*next)) {
        tag(false, next);
    } else if (*next == '?') {
        p_ = next;
        bogusComment();
    } else {
        emitText(p_, next);
        p_ = next;
    }
}

void Tokenizer::endTagOpen() {
    if (p_ == end_) {
        sink_.characters("</");
    } else if (isAsciiAlpha(*p_)) {
        tag(true, p_);
    } else if (*p_ == '>') {
        ++p_;
    } else {
        bogusComment();
    }
}

// Reads a tag from its name on: attributes with quoted, unquoted and missing values, "/"
// before ">", and a tag cut off by the end of the page, which is dropped. A name already in
// lower case is read where it stands; only one with upper case or NUL is copied.
void Tokenizer::tag(bool isEnd, const char* nameStart) {
    const char* p = nameStart;
    std::uint8_t seen = 0;
    while (p < end_ && !endsTagName(*p)) seen |= classOf(*p++);
    std::string_view name(nameStart, static_cast<size_t>(p - nameStart));
    if (seen & byteClass::rewritten) {
        name_.clear();
        for (const char c : name) {
            if (c == '\0') {
                name_ += replacementCharacter;
            } else {
                name_ += lowered(c);
            }
        }
        name = name_;
    }
    const Tag known = knownTag(name);
    StartTag& t = startTag_;
    t.tag = known;
    t.selfClosing = false;
    t.present = 0;
    const bool hashed = !isEnd && isIn(known, tagGroup::formatting);
    const char* attributesStart = p;
    enum class State { beforeName, afterName, selfClosing } state = State::beforeName;
    Attribute kind = Attribute::count;
    bool recording = false;  // the attribute is one the rules read, and the first of its name
    for (;;) {
        if (p == end_) {
            p_ = end_;  // a tag cut off by the end of the page is no tag
            return;
        }
        const char c = *p;
        if (state == State::selfClosing) {
            if (c == '>') {
                t.selfClosing = true;
                ++p;
                break;
            }
            state = State::beforeName;
            continue;
        }
        if (isHtmlSpace(c)) {
            ++p;
            continue;
        }
        if (c == '/') {
            state = State::selfClosing;
            ++p;
            continue;
        }
        if (c == '>') {
            ++p;
            break;
        }
        if (state == State::afterName && c == '=') {
            ++p;
            while (p < end_ && isHtmlSpace(*p)) ++p;
            if (p == end_) continue;
            if (*p == '>') {
                state = State::beforeName;
                continue;
            }
            const auto k = static_cast<size_t>(kind);
            skipAttributeValue(p, recording ? &t.values[k] : nullptr, &t.rewritten[k]);
            state = State::beforeName;
            continue;
        }
        // A new attribute: its name runs to white space, "/", ">" or "=" (an "=" first is
        // part of the name).
        const char* attributeStart = p;
        std::uint8_t attributeSeen = classOf(*p++);
        while (p < end_ && !(classOf(*p) & (byteClass::endsName | byteClass::equals)))
            attributeSeen |= classOf(*p++);
        kind = isEnd ? Attribute::count : attributeNamed(attributeStart, p, attributeSeen);
        recording = kind != Attribute::count && !t.has(kind);
        if (recording) {
            t.values[static_cast<size_t>(kind)] = {};
            t.present |= 1u << static_cast<unsigned>(kind);
        }
        state = State::afterName;
    }
    p_ = p;
    if (isEnd) {
        sink_.endTag(known, name);
        return;
    }
    t.name = name;
    t.attributesHash = hashed ? hashBytes(attributesStart, p) : 0;
    sink_.startTag(t);
    // Only text read in another state than data ends at "</" and this tag's name.
    if (contentState_ != ContentState::data) lastStartTag_ = name;
}

// Reads a value from its first byte (a quote or not) to its end, into `value` when given:
// references resolved, NUL as U+FFFD, CR and CR LF as LF. A value that needs none of that
// is viewed where it stands; any other is rewritten into `rewritten`. `p` is left after the
// value, or at the end of the page.
void Tokenizer::skipAttributeValue(const char*& p, std::string_view* value,
                                   std::string* rewritten) {
    const char quote = (*p == '"' || *p == '\'') ? *p : '\0';
    if (quote) ++p;
    auto endsValue = [quote](char c) {
        return quote ? c == quote : (classOf(c) & byteClass::endsUnquoted) != 0;
    };
    if (!value) {
        if (quote) {
            p = findAny(p, end_, quote);
            if (p < end_) ++p;
        } else {
            while (p < end_ && !endsValue(*p)) ++p;
        }
        return;
    }
    const char* start = p;
    if (quote) {
        p = findAny(p, end_, quote, '&', '\0', '\r');
    } else {
        while (p < end_ && !endsValue(*p) && !(classOf(*p) & byteClass::inValue)) ++p;
    }
    if (p == end_ || endsValue(*p)) {
        *value = std::string_view(start, static_cast<size_t>(p - start));
        if (quote && p < end_) ++p;
        return;
    }
    rewritten->assign(start, p);
    for (;;) {
        const char* run = p;
        while (p < end_ && !endsValue(*p) && !(classOf(*p) & byteClass::inValue)) ++p;
        rewritten->append(run, p);
        if (p == end_ || endsValue(*p)) break;
        const char c = *p;
        if (c == '&') {
            p_ = p;
            characterReference(true, rewritten);
            p = p_;
            continue;
        }
        if (c == '\0') {
            *rewritten += replacementCharacter;
        } else {  // CR, or CR LF
            *rewritten += '\n';
            if (p + 1 < end_ && p[1] == '\n') ++p;
        }
        ++p;
    }
    *value = *rewritten;
    if (quote && p < end_) ++p;
}

void Tokenizer::markupDeclaration() {
    const size_t left = static_cast<size_t>(end_ - p_);
    if (left >= 2 && p_[0] == '-' && p_[1] == '-') {
        p_ += 2;
        comment();
        return;
    }
    if (left >= 7) {
        static constexpr char doctypeWord[] = "doctype";
        bool isDoctype = true;
        for (size_t i = 0; i < 7 && isDoctype; ++i) isDoctype = lowered(p_[i]) == doctypeWord[i];
        if (isDoctype) {
            p_ += 7;
            doctype();
            return;
        }
        if (std::memcmp(p_, "[CDATA[", 7) == 0 && sink_.inForeignContent()) {
            p_ += 7;
            cdata();
            return;
        }
    }
    bogusComment();
}

// After "<!--": ends at "-->", "--!>", or at once for "<!-->" and "<!--->".
void Tokenizer::comment() {
    const char* p = p_;
    enum class State { text, endDash, end, endBang } state = State::text;
    if (p < end_ && *p == '>') {
        p_ = p + 1;
        return;
    }
    if (p < end_ && *p == '-') {
        if (p + 1 < end_ && p[1] == '>') {
            p_ = p + 2;
            return;
        }
        if (p + 1 < end_ && p[1] == '-') {
            p += 2;
            state = State::end;
        } else {
            ++p;
        }
    }
    while (p < end_) {
        switch (state) {
            case State::text:
                p = findByte(p, end_, '-');
                if (p == end_) break;
                ++p;
                state = State::endDash;
                break;
            case State::endDash:
                if (*p == '-') {
                    ++p;
                    state = State::end;
                } else {
                    state = State::text;
                }
                break;
            case State::end:
                if (*p == '>') {
                    p_ = p + 1;
                    return;
                }
                if (*p == '!') {
                    ++p;
                    state = State::endBang;
                } else if (*p == '-') {
                    ++p;
                } else {
                    state = State::text;
                }
                break;
            case State::endBang:
                if (*p == '>') {
                    p_ = p + 1;
                    return;
                }
                if (*p == '-') {
                    ++p;
                    state = State::endDash;
                } else {
                    state = State::text;
                }
                break;
        }
    }
    p_ = end_;
}

void Tokenizer::bogusComment() {
    const char* close = findByte(p_, end_, '>');
    p_ = close == end_ ? end_ : close + 1;
}

// The doctype ends at the first ">" even inside a quoted identifier. Only its name matters
// here: anything but "html", or a doctype cut off by the end, means quirks mode.
void Tokenizer::doctype() {
    const char* close = findByte(p_, end_, '>');
    const char* p = p_;
    while (p < close && isHtmlSpace(*p)) ++p;
    std::string name;
    while (p < close && !isHtmlSpace(*p)) name += lowered(*p++);
    sink_.doctype(close == end_ || name != "html");
    p_ = close == end_ ? end_ : close + 1;
}

void Tokenizer::cdata() {
    const char* p = p_;
    for (;;) {
        p = findByte(p, end_, ']');
        if (p == end_ || (end_ - p >= 3 && p[1] == ']' && p[2] == '>')) break;
        ++p;
    }
    emitTextReplacingNul(p_, p);
    p_ = p == end_ ? end_ : p + 3;
}

bool Tokenizer::appropriateEndTagAt(const char* p) const {
    const size_t n = lastStartTag_.size();
    if (static_cast<size_t>(end_ - p) < n + 3 || p[1] != '/') return false;
    for (size_t i = 0; i < n; ++i) {
        if (lowered(p[2 + i]) != lastStartTag_[i]) return false;
    }
    return endsTagName(p[2 + n]);
}

void Tokenizer::rcdataOrRawtext(bool references) {
    const char* runStart = p_;
    const char* p = p_;
    for (;;) {
        p = references ? findAny(p, end_, '<', '&', '<') : findByte(p, end_, '<');
        if (p == end_) break;
        if (*p == '&') {
            emitTextReplacingNul(runStart, p);
            p_ = p;
            characterReference(false, nullptr);
            p = runStart = p_;
            continue;
        }
        if (appropriateEndTagAt(p)) {
            emitTextReplacingNul(runStart, p);
            contentState_ = ContentState::data;
            tag(true, p + 2);
            return;
        }
        ++p;
    }
    emitTextReplacingNul(runStart, end_);
    p_ = end_;
}

void Tokenizer::plaintext() {
    emitTextReplacingNul(p_, end_);
    p_ = end_;
}

// Script content ends only at an end tag "</script" outside the double-escaped part that
// "<!--<script>" opens; the states are HTML's script data states.
void Tokenizer::scriptData() {
    enum class State {
        data,
        escaped,
        escapedDash,
        escapedDashDash,
        doubleEscaped,
        doubleEscapedDash,
        doubleEscapedDashDash
    } state = State::data;
    const char* p = p_;
    // After "<" + letters in the escaped or double-escaped states: whether the letters spell
    // "script" followed by a delimiter, and where reading goes on.
    auto spellsScript = [this](const char*& q) {
        const char* start = q;
        while (q < end_ && isAsciiAlpha(*q)) ++q;
        const bool script = q - start == 6 && q < end_ && endsTagName(*q) &&
                            lowered(start[0]) == 's' && lowered(start[1]) == 'c' &&
                            lowered(start[2]) == 'r' && lowered(start[3]) == 'i' &&
                            lowered(start[4]) == 'p' && lowered(start[5]) == 't';
        if (q < end_ && endsTagName(*q)) ++q;  // the delimiter is taken
        return script;
    };
    while (p < end_) {
        const char c = *p;
        switch (state) {
            case State::data:
                p = findByte(p, end_, '<');
                if (p == end_) break;
                if (appropriateEndTagAt(p)) {
                    emitTextReplacingNul(p_, p);
                    contentState_ = ContentState::data;
                    tag(true, p + 2);
                    return;
                }
                if (end_ - p >= 4 && p[1] == '!' && p[2] == '-' && p[3] == '-') {
                    p += 4;
                    state = State::escapedDashDash;
                } else {
                    ++p;
                }
                break;
            case State::escaped:
            case State::escapedDash:
            case State::escapedDashDash:
                if (c == '-') {
                    state = state == State::escaped ? State::escapedDash : State::escapedDashDash;
                    ++p;
                } else if (c == '<') {
                    if (appropriateEndTagAt(p)) {
                        emitTextReplacingNul(p_, p);
                        contentState_ = ContentState::data;
                        tag(true, p + 2);
                        return;
                    }
                    ++p;
                    state = State::escaped;
                    if (p < end_ && *p == '/') {
                        ++p;
                    } else if (p < end_ && isAsciiAlpha(*p)) {
                        if (spellsScript(p)) state = State::doubleEscaped;
                    }
                } else if (c == '>' && state == State::escapedDashDash) {
                    state = State::data;
                    ++p;
                } else {
                    state = State::escaped;
                    ++p;
                }
                break;
            case State::doubleEscaped:
            case State::doubleEscapedDash:
            case State::doubleEscapedDashDash:
                if (c == '-') {
                    state = state == State::doubleEscaped ? State::doubleEscapedDash
                                                          : State::doubleEscapedDashDash;
                    ++p;
                } else if (c == '<') {
                    ++p;
                    state = State::doubleEscaped;
                    if (p < end_ && *p == '/') {
                        ++p;
                        if (spellsScript(p)) state = State::escaped;
                    }
                } else if (c == '>' && state == State::doubleEscapedDashDash) {
                    state = State::data;
                    ++p;
                } else {
                    state = State::doubleEscaped;
                    ++p;
                }
                break;
        }
    }
    emitTextReplacingNul(p_, end_);
    p_ = end_;
}

}  // namespace gridmint::browser
