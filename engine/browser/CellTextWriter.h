// A cell's text as a browser renders it, written as the text arrives: runs of HTML white
// space (space, TAB, LF, FF, CR) become one space, line breaks (from <br> and the edges of
// blocks) split lines, each line is trimmed, empty lines are dropped and the lines are
// joined with one space, or with "\n" when line breaks are kept. Input is valid UTF-8.
#pragma once

#include <string_view>

#include "Text.h"

namespace gridmint::browser {

class CellTextWriter {
  public:
    explicit CellTextWriter(bool keepLineBreaks) : separator_(keepLineBreaks ? u'\n' : u' ') {}

    void write(std::string_view utf8) {
        const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
        const auto* end = p + utf8.size();
        while (p < end) {
            if (isSpace(*p)) {
                if (lineHasText_) pendingSpace_ = true;
                ++p;
                continue;
            }
            startWord();
            while (p < end && !isSpace(*p)) p = appendCharacter(p, end);
        }
    }

    void lineBreak() {
        if (!lineHasText_) return;
        lineHasText_ = false;
        pendingSpace_ = false;
        pendingBreak_ = true;
    }

    // The text so far, leaving the writer empty for the next cell.
    Text take() {
        Text done = std::move(text_);
        text_.clear();
        lineHasText_ = pendingSpace_ = pendingBreak_ = false;
        return done;
    }

  private:
    static bool isSpace(unsigned char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
    }

    void startWord() {
        if (pendingBreak_) {
            text_ += separator_;
        } else if (pendingSpace_) {
            text_ += u' ';
        }
        pendingBreak_ = pendingSpace_ = false;
        lineHasText_ = true;
    }

    const unsigned char* appendCharacter(const unsigned char* p, const unsigned char* end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            text_ += static_cast<char16_t>(c);
            return p + 1;
        }
        char32_t cp;
        int length;
        if (c < 0xE0) {
            cp = c & 0x1F;
            length = 2;
        } else if (c < 0xF0) {
            cp = c & 0x0F;
            length = 3;
        } else {
            cp = c & 0x07;
            length = 4;
        }
        if (end - p < length) return end;  // cannot happen in valid UTF-8
        for (int i = 1; i < length; ++i) cp = (cp << 6) | (p[i] & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text_ += static_cast<char16_t>(0xD800 + (cp >> 10));
            text_ += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            text_ += static_cast<char16_t>(cp);
        }
        return p + length;
    }

    Text text_;
    char16_t separator_;
    bool lineHasText_ = false;
    bool pendingSpace_ = false;
    bool pendingBreak_ = false;
};

}  // namespace gridmint::browser
