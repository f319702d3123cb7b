// Building blocks for the writers that turn tables into UTF-8 in bulk: a growing byte buffer
// written through a raw pointer, a copy of plain ASCII runs eight code units at a time, and
// the UTF-8 form of one code point. Each writer asks once per cell for the most room the cell
// can take, so the inner loops never test capacity.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace gridmint {

class OutputBuffer {
  public:
    // `expected` is the size the output will most likely have; a little more is taken at
    // once so that asking for worst-case room near the end does not double the buffer.
    explicit OutputBuffer(size_t expected) { bytes_.resize(expected + expected / 16 + 4096); }

    // A write position with room for at least `room` bytes; valid until the next call.
    char* reserve(size_t room) {
        if (bytes_.size() - used_ < room) bytes_.resize(std::max(bytes_.size() * 2, used_ + room));
        return bytes_.data() + used_;
    }
    // Keeps everything written up to `end`, a pointer into the room given by reserve.
    void commit(const char* end) { used_ = static_cast<size_t>(end - bytes_.data()); }

    std::string take() {
        bytes_.resize(used_);
        used_ = 0;
        return std::move(bytes_);
    }

  private:
    std::string bytes_;
    size_t used_ = 0;
};

namespace utf8 {

inline constexpr uint64_t lanes(uint16_t unit) {
    return 0x0001000100010001ull * unit;
}

// True when none of the four code units in `v` is 0x80 or above, nor equals `a` or `b`, nor
// (when `controlsToo`) lies below 0x20. Lanes cannot carry into each other: every sum below
// is taken only on units under 0x80.
inline bool allPlain(uint64_t v, uint16_t a, uint16_t b, bool controlsToo) {
    if (v & lanes(0xFF80)) return false;
    const uint64_t high = lanes(0x0080);
    // A lane x < 0x80 is zero exactly when x + 0x7F stays below 0x80.
    auto noZeroLane = [high](uint64_t x) { return ((x + lanes(0x007F)) & high) == high; };
    if (!noZeroLane(v ^ lanes(a)) || !noZeroLane(v ^ lanes(b))) return false;
    // A lane u < 0x80 is at least 0x20 exactly when u + 0x60 reaches 0x80.
    return !controlsToo || ((v + lanes(0x0060)) & high) == high;
}

// Copies the leading code units of [s, end) that allPlain accepts, eight at a time, narrowed
// to bytes; returns where it stopped. The caller handles the rest one unit at a time.
inline const char16_t* copyPlainRun(const char16_t* s, const char16_t* end, char*& p, uint16_t a,
                                    uint16_t b, bool controlsToo) {
    while (end - s >= 8) {
        uint64_t first;
        uint64_t second;
        std::memcpy(&first, s, 8);
        std::memcpy(&second, s + 4, 8);
        if (!allPlain(first, a, b, controlsToo) || !allPlain(second, a, b, controlsToo)) break;
        for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(s[i]);
        p += 8;
        s += 8;
    }
    return s;
}

inline bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Writes the UTF-8 form of a code point of U+0080 or above (no surrogate); returns the end.
inline char* writeMultiByte(char* p, char32_t c) {
    if (c < 0x800) {
        p[0] = static_cast<char>(0xC0 | (c >> 6));
        p[1] = static_cast<char>(0x80 | (c & 0x3F));
        return p + 2;
    }
    if (c < 0x10000) {
        p[0] = static_cast<char>(0xE0 | (c >> 12));
        p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        p[2] = static_cast<char>(0x80 | (c & 0x3F));
        return p + 3;
    }
    p[0] = static_cast<char>(0xF0 | (c >> 18));
    p[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    p[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    p[3] = static_cast<char>(0x80 | (c & 0x3F));
    return p + 4;
}

// Reads the code unit at `s` (not ASCII) together with its low surrogate when it is a high
// surrogate followed by one. Returns the code point, or the lone surrogate itself, and
// advances `s` past what it used.
inline char32_t readNonAscii(const char16_t*& s, const char16_t* end) {
    const char32_t c = *s++;
    if (isHighSurrogate(c) && s < end && isLowSurrogate(*s)) {
        return 0x10000 + ((c - 0xD800) << 10) + (*s++ - 0xDC00);
    }
    return c;
}

}  // namespace utf8

}  // namespace gridmint
