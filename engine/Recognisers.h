// The small state machines that the scan pass runs side by side over the bytes. Each one
// watches for one piece of markup and says, byte by byte, whether it has just completed.
//
// Common rules: a byte that does not fit the current state sends the recogniser back to idle
// and is not looked at again (a mismatching "<" does not start a new match). Letters match
// without regard to case: a byte matches a lower-case letter when the byte with bit 0x20 set
// equals it. Every other byte ("<", "/", "=", quotes) must match exactly.
#pragma once

#include <cstdint>
#include <string_view>

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

constexpr bool matchesLetter(unsigned char b, char letter) {
    return (b | 0x20) == static_cast<unsigned char>(letter);
}

// Start and end tags of tables, rows and cells.
//
//   state          byte                         next
//   idle           "<"                          afterOpen
//   afterOpen      tag white space              afterOpen
//   afterOpen      "/"        (closers only)    afterSlash
//   afterOpen      "t"        (openers only)    name, 0 letters matched
//   afterSlash     tag white space              afterSlash
//   afterSlash     "t"                          name, 0 letters matched
//   name k         letter k of the name         name k+1, or completion on the last letter
//   any            anything else                idle
//
// The letters after "t": "able" (table), "r" (row), "d" (cell opener), "d" or "h" (cell
// closer). Matching is by prefix, so "<tablex" opens a table and "</thead" ends a cell.
class TagRecogniser {
  public:
    enum class Kind : std::uint8_t { opener, closer };

    // `finalAlternative`, when not 0, is a second letter accepted in the last position.
    constexpr TagRecogniser(Kind kind, std::string_view lettersAfterT, char finalAlternative = 0)
        : kind_(kind), letters_(lettersAfterT), finalAlternative_(finalAlternative) {}

    constexpr bool feed(unsigned char b) {
        switch (state_) {
            case State::idle:
                if (b == '<') state_ = State::afterOpen;
                return false;
            case State::afterOpen:
                if (isTagWhiteSpace(b)) return false;
                if (kind_ == Kind::closer && b == '/') {
                    state_ = State::afterSlash;
                } else if (kind_ == Kind::opener && matchesLetter(b, 't')) {
                    enterName();
                } else {
                    state_ = State::idle;
                }
                return false;
            case State::afterSlash:
                if (isTagWhiteSpace(b)) return false;
                if (matchesLetter(b, 't')) {
                    enterName();
                } else {
                    state_ = State::idle;
                }
                return false;
            case State::name: return feedName(b);
        }
        return false;
    }

  private:
    enum class State : std::uint8_t { idle, afterOpen, afterSlash, name };

    constexpr void enterName() {
        state_ = State::name;
        matched_ = 0;
    }

    constexpr bool feedName(unsigned char b) {
        const bool last = size_t{matched_} + 1 == letters_.size();
        const bool fits = matchesLetter(b, letters_[matched_]) ||
                          (last && finalAlternative_ != 0 && matchesLetter(b, finalAlternative_));
        if (!fits) {
            state_ = State::idle;
            return false;
        }
        if (last) {
            state_ = State::idle;
            return true;
        }
        ++matched_;
        return false;
    }

    Kind kind_;
    std::string_view letters_;
    char finalAlternative_;
    State state_ = State::idle;
    std::uint8_t matched_ = 0;
};

// "<script" (opener) and "</script" with tag white space allowed only between "<" and "/"
// (closer): "< /script" closes a script, "</ script" does not.
//
//   state          byte                         next
//   idle           "<"                          afterOpen
//   afterOpen      tag white space (closer)     afterOpen
//   afterOpen      "/" (closer)                 afterSlash
//   afterOpen      "s" (opener)                 name, 1 letter matched
//   afterSlash     "s"                          name, 1 letter matched
//   name k         letter k of "script"         name k+1, or completion on "t"
//   any            anything else                idle
class ScriptRecogniser {
  public:
    enum class Kind : std::uint8_t { opener, closer };

    explicit constexpr ScriptRecogniser(Kind kind) : kind_(kind) {}

    constexpr void reset() { state_ = State::idle; }

    constexpr bool feed(unsigned char b) {
        constexpr std::string_view word = "script";
        switch (state_) {
            case State::idle:
                if (b == '<') state_ = State::afterOpen;
                return false;
            case State::afterOpen:
                if (kind_ == Kind::closer && isTagWhiteSpace(b)) return false;
                if (kind_ == Kind::closer && b == '/') {
                    state_ = State::afterSlash;
                } else if (kind_ == Kind::opener && matchesLetter(b, 's')) {
                    enterName();
                } else {
                    state_ = State::idle;
                }
                return false;
            case State::afterSlash:
                if (matchesLetter(b, 's')) {
                    enterName();
                } else {
                    state_ = State::idle;
                }
                return false;
            case State::name:
                if (!matchesLetter(b, word[matched_])) {
                    state_ = State::idle;
                    return false;
                }
                if (++matched_ == static_cast<std::uint8_t>(word.size())) {
                    state_ = State::idle;
                    return true;
                }
                return false;
        }
        return false;
    }

  private:
    enum class State : std::uint8_t { idle, afterOpen, afterSlash, name };

    constexpr void enterName() {
        state_ = State::name;
        matched_ = 1;
    }

    Kind kind_;
    State state_ = State::idle;
    std::uint8_t matched_ = 0;
};

// The start of an `id` or `class` value inside a table start tag.
//
//   state          byte                                   next, effect
//   idle           tag white space                        afterSpace
//   afterSpace     tag white space                        afterSpace
//   afterSpace     first letter of the name               name, 1 letter matched
//   name k         letter k of the name                   name k+1, or afterName on the last
//   afterName      "="                                    afterEquals
//   afterName      white space (0x09-0x0D, 0x20)          afterName
//   afterEquals    tag white space or backslash           afterEquals
//   afterEquals    double quote or apostrophe             idle; a value quoted by that byte
//   afterEquals    any other byte                         idle; an unquoted value from this byte
//   any            anything else                          idle
class AttributeRecogniser {
  public:
    enum class Event : std::uint8_t { none, quotedValue, unquotedValue };

    explicit constexpr AttributeRecogniser(std::string_view name) : name_(name) {}

    constexpr Event feed(unsigned char b) {
        switch (state_) {
            case State::idle:
                if (isTagWhiteSpace(b)) state_ = State::afterSpace;
                return Event::none;
            case State::afterSpace:
                if (isTagWhiteSpace(b)) return Event::none;
                if (matchesLetter(b, name_[0])) {
                    state_ = State::name;
                    matched_ = 1;
                    if (size_t{matched_} == name_.size()) state_ = State::afterName;
                } else {
                    state_ = State::idle;
                }
                return Event::none;
            case State::name:
                if (!matchesLetter(b, name_[matched_])) {
                    state_ = State::idle;
                } else if (size_t{++matched_} == name_.size()) {
                    state_ = State::afterName;
                }
                return Event::none;
            case State::afterName:
                if (b == '=') {
                    state_ = State::afterEquals;
                } else if (!isWhiteSpaceByte(b)) {
                    state_ = State::idle;
                }
                return Event::none;
            case State::afterEquals:
                if (isTagWhiteSpace(b) || b == '\\') return Event::none;
                state_ = State::idle;
                return (b == '"' || b == '\'') ? Event::quotedValue : Event::unquotedValue;
        }
        return Event::none;
    }

  private:
    enum class State : std::uint8_t { idle, afterSpace, name, afterName, afterEquals };

    std::string_view name_;
    State state_ = State::idle;
    std::uint8_t matched_ = 0;
};

}  // namespace gridmint
