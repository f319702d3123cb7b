// A cell's text as a browser renders it, written as the text arrives: runs of HTML white
// space (space, TAB, LF, FF, CR) become one space, line breaks (from <br> and the edges of
// blocks) split lines, each line is trimmed, empty lines are dropped and the lines are
// joined with one space, or with "\n" when line breaks are kept. Input is valid UTF-8.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "Text.h"

namespace gridmint::browser {

class CellTextWriter {
  public:
    explicit CellTextWriter(bool keepLineBreaks) : separator_(keepLineBreaks ? u'\n' : u' ') {}

    // The text grows by at most one unit more than the bytes given: a UTF-8 sequence never
    // gives more UTF-16 units than it has bytes, and each space written before a word stands
    // for a run of white space in the bytes, but for the one pending from before.
    void write(std::string_view utf8) {
        const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
        const auto* end = p + utf8.size();
        reserve(size_ + utf8.size() + 1);
        char16_t* out = text_.get() + size_;
        while (p < end) {
            if (isSpace(*p)) {
                if (lineHasText_) pendingSpace_ = true;
                ++p;
                continue;
            }
            if (pendingBreak_) {
                *out++ = separator_;
            } else if (pendingSpace_) {
                *out++ = u' ';
            }
            pendingBreak_ = pendingSpace_ = false;
            lineHasText_ = true;
            while (p < end && !isSpace(*p)) {
                if (*p < 0x80) {
                    *out++ = *p++;
                } else {
                    p = appendCharacter(p, end, out);
                }
            }
        }
        size_ = static_cast<size_t>(out - text_.get());
    }

    void lineBreak() {
        if (!lineHasText_) return;
        lineHasText_ = false;
        pendingSpace_ = false;
        pendingBreak_ = true;
    }

    // The text so far, leaving the writer empty for the next cell. The text is copied out at
    // its size, so that a cell keeps no more memory than its text needs, and the writer keeps
    // its room for the next cell.
    Text take() {
        Text done = size_ > 0 ? Text(text_.get(), size_) : Text();
        size_ = 0;
        lineHasText_ = pendingSpace_ = pendingBreak_ = false;
        return done;
    }

  private:
    static bool isSpace(unsigned char c) {
        constexpr std::uint64_t spaces =
            1ull << ' ' | 1ull << '\t' | 1ull << '\n' | 1ull << '\f' | 1ull << '\r';
        return c <= ' ' && ((spaces >> c) & 1u);
    }

    // A character of two to four bytes.
    static const unsigned char* appendCharacter(const unsigned char* p, const unsigned char* end,
                                                char16_t*& out) {
        const unsigned char c = *p;
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
            *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *out++ = static_cast<char16_t>(cp);
        }
        return p + length;
    }

    // Room for `units` code units, keeping those written; grown without filling it first.
    void reserve(size_t units) {
        if (units <= capacity_) return;
        const size_t capacity = std::max(units, 2 * capacity_);
        std::unique_ptr<char16_t[]> grown(new char16_t[capacity]);
        if (size_ > 0) std::memcpy(grown.get(), text_.get(), size_ * sizeof(char16_t));
        text_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<char16_t[]> text_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    char16_t separator_;
    bool lineHasText_ = false;
    bool pendingSpace_ = false;
    bool pendingBreak_ = false;
};

}  // namespace gridmint::browser
