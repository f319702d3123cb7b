// The small state machines that the scan pass runs side by side over the bytes. Each one
// watches for one piece of markup and says, byte by byte, whether it has just completed.
//
// Common rules: a byte that does not fit the current state sends the recogniser back to idle
// and is not looked at again (a mismatching "<" does not start a new match). Letters match
// without regard to case: a byte matches a lower-case letter when the byte with bit 0x20 set
// equals it. Every other byte ("<", "/", "=", quotes) must match exactly.
//
// The names they match are template arguments, so each recogniser compiles to a few compares
// on one state byte. An idle tag or script recogniser leaves idle only on "<": the scan pass
// relies on that to skip runs of other bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gridmint {

// Tab, line feed, carriage return and space: the white space allowed between tag bytes.
constexpr bool isTagWhiteSpace(unsigned char b) {
    return b == 0x20 || b == 0x09 || b == 0x0A || b == 0x0D;
}

// The single bytes in the white space and newline set. A byte of 0x80 or more would be a
// negative character, never white space.
constexpr bool isWhiteSpaceByte(unsigned char b) {
    return b == 0x20 || (b >= 0x09 && b <= 0x0D);
}

// The bytes that end a tag name: tab, line feed, form feed, carriage return, space, "/", ">".
constexpr bool endsTagName(unsigned char b) {
    return b == 0x20 || b == 0x09 || b == 0x0A || b == 0x0C || b == 0x0D || b == '/' || b == '>';
}

constexpr bool matchesLetter(unsigned char b, char letter) {
    return (b | 0x20) == static_cast<unsigned char>(letter);
}

// A lower-case name given as a template argument: Name<"able">.
template <size_t N>
struct Name {
    constexpr Name(const char (&text)[N]) {  // NOLINT: implicit by design
        for (size_t i = 0; i < N; ++i) letters[i] = text[i];
    }
    static constexpr size_t length = N - 1;
    char letters[N]{};
};

enum class TagKind : std::uint8_t { opener, closer };

// Start and end tags of tables, rows and cells.
//
//   state          byte                         next
//   idle           "<"                          afterOpen
//   afterOpen      tag white space              afterOpen
//   afterOpen      "/"        (closers only)    afterSlash
//   afterOpen      "t"        (openers only)    letter 0
//   afterSlash     tag white space              afterSlash
//   afterSlash     "t"                          letter 0
//   letter k       letter k of the name         letter k+1
//   last letter    the name's last letter       idle; completion if the name ends after it
//   any            anything else                idle
//
// The letters after "t": "able" (table), "r" (row), "d" (cell opener), "d" or "h" (cell
// closer, the `finalAlternative`). A tag is known by its whole name: the last letter
// completes only when the byte after it ends a tag name (see endsTagName) or the page ends
// there, so "<tablex", "</thead" and "<tr-group" are not table, cell or row tags. The caller
// says which with `nameEndsAfter`; the completion still happens on the last letter itself.
template <TagKind kind, Name name, char finalAlternative = 0>
class TagRecogniser {
  public:
    constexpr bool idle() const { return state_ == idleState; }

    // `nameEndsAfter`: the byte after b ends a tag name, or there is no byte after b.
    constexpr bool feed(unsigned char b, bool nameEndsAfter) {
        switch (state_) {
            case idleState:
                if (b == '<') state_ = afterOpen;
                return false;
            case afterOpen:
                if (isTagWhiteSpace(b)) return false;
                if constexpr (kind == TagKind::closer) {
                    state_ = b == '/' ? afterSlash : idleState;
                } else {
                    state_ = matchesLetter(b, 't') ? firstLetter : idleState;
                }
                return false;
            case afterSlash:
                if (isTagWhiteSpace(b)) return false;
                state_ = matchesLetter(b, 't') ? firstLetter : idleState;
                return false;
            default: return feedLetter(b, nameEndsAfter);
        }
    }

  private:
    static constexpr std::uint8_t idleState = 0;
    static constexpr std::uint8_t afterOpen = 1;
    static constexpr std::uint8_t afterSlash = 2;
    static constexpr std::uint8_t firstLetter = 3;  // letter k is state firstLetter + k

    constexpr bool feedLetter(unsigned char b, bool nameEndsAfter) {
        const size_t k = state_ - firstLetter;
        const bool last = k + 1 == name.length;
        const bool fits = matchesLetter(b, name.letters[k]) ||
                          (finalAlternative != 0 && last && matchesLetter(b, finalAlternative));
        if (!fits || last) {
            state_ = idleState;
            return fits && nameEndsAfter;
        }
        ++state_;
        return false;
    }

    std::uint8_t state_ = idleState;
};

// "<script" (opener) and "</script" with tag white space allowed only between "<" and "/"
// (closer): "< /script" closes a script, "</ script" does not.
//
//   state          byte                         next
//   idle           "<"                          afterOpen
//   afterOpen      tag white space (closer)     afterOpen
//   afterOpen      "/" (closer)                 afterSlash
//   afterOpen      "s" (opener)                 letter 1
//   afterSlash     "s"                          letter 1
//   letter k       letter k of "script"         letter k+1, or completion on "t"
//   any            anything else                idle
template <TagKind kind>
class ScriptRecogniser {
  public:
    constexpr bool idle() const { return state_ == idleState; }
    constexpr std::uint8_t state() const { return state_; }
    constexpr void reset() { state_ = idleState; }

    constexpr bool feed(unsigned char b) {
        constexpr const char* word = "script";
        switch (state_) {
            case idleState:
                if (b == '<') state_ = afterOpen;
                return false;
            case afterOpen:
                if constexpr (kind == TagKind::closer) {
                    if (isTagWhiteSpace(b)) return false;
                    state_ = b == '/' ? afterSlash : idleState;
                } else {
                    state_ = matchesLetter(b, 's') ? secondLetter : idleState;
                }
                return false;
            case afterSlash:
                state_ = matchesLetter(b, 's') ? secondLetter : idleState;
                return false;
            default: {
                const size_t k = state_ - secondLetter + 1;
                if (!matchesLetter(b, word[k])) {
                    state_ = idleState;
                    return false;
                }
                if (k == 5) {
                    state_ = idleState;
                    return true;
                }
                ++state_;
                return false;
            }
        }
    }

  private:
    static constexpr std::uint8_t idleState = 0;
    static constexpr std::uint8_t afterOpen = 1;
    static constexpr std::uint8_t afterSlash = 2;
    static constexpr std::uint8_t secondLetter = 3;  // "s" matched, expecting "c"

    std::uint8_t state_ = idleState;
};

// The start of an `id` or `class` value inside a table start tag.
//
//   state          byte                                   next, effect
//   idle           tag white space                        afterSpace
//   afterSpace     tag white space                        afterSpace
//   afterSpace     first letter of the name               letter 1 (afterName for a 1-letter name)
//   letter k       letter k of the name                   letter k+1, or afterName on the last
//   afterName      "="                                    afterEquals
//   afterName      white space (0x09-0x0D, 0x20)          afterName
//   afterEquals    tag white space or backslash           afterEquals
//   afterEquals    double quote or apostrophe             idle; a value quoted by that byte
//   afterEquals    any other byte                         idle; an unquoted value from this byte
//   any            anything else                          idle
enum class AttributeEvent : std::uint8_t { none, quotedValue, unquotedValue };

template <Name name>
class AttributeRecogniser {
  public:
    constexpr AttributeEvent feed(unsigned char b) {
        switch (state_) {
            case idleState:
                if (isTagWhiteSpace(b)) state_ = afterSpace;
                return AttributeEvent::none;
            case afterSpace:
                if (isTagWhiteSpace(b)) return AttributeEvent::none;
                state_ = matchesLetter(b, name.letters[0]) ? letterState(1) : idleState;
                return AttributeEvent::none;
            case afterName:
                if (b == '=') {
                    state_ = afterEquals;
                } else if (!isWhiteSpaceByte(b)) {
                    state_ = idleState;
                }
                return AttributeEvent::none;
            case afterEquals:
                if (isTagWhiteSpace(b) || b == '\\') return AttributeEvent::none;
                state_ = idleState;
                return (b == '"' || b == '\'') ? AttributeEvent::quotedValue
                                               : AttributeEvent::unquotedValue;
            default: {
                const size_t k = state_ - firstLetter;
                state_ = matchesLetter(b, name.letters[k]) ? letterState(k + 1) : idleState;
                return AttributeEvent::none;
            }
        }
    }

  private:
    static constexpr std::uint8_t idleState = 0;
    static constexpr std::uint8_t afterSpace = 1;
    static constexpr std::uint8_t afterName = 2;
    static constexpr std::uint8_t afterEquals = 3;
    static constexpr std::uint8_t firstLetter = 4;  // expecting letter k: state firstLetter + k

    // The state after `matched` letters of the name.
    static constexpr std::uint8_t letterState(size_t matched) {
        return matched == name.length ? afterName
                                      : static_cast<std::uint8_t>(firstLetter + matched);
    }

    std::uint8_t state_ = idleState;
};

}  // namespace gridmint
