// Tests on 16 bytes at once (SSE2), for code that reads text a block at a time. Each test
// gives a mask with bit i set for the byte at position i that passes it.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstddef>

namespace gridmint::byteblock {

inline __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// One bit for each byte whose top bit is set: a comparison's result, or a byte from 0x80 up.
inline unsigned maskOf(__m128i bytes) {
    return static_cast<unsigned>(_mm_movemask_epi8(bytes));
}

// The bits of the first `count` bytes of a block, `count` from 0 to 16.
inline unsigned firstBytes(std::ptrdiff_t count) {
    return (1u << count) - 1;
}

inline unsigned equalTo(__m128i block, char byte) {
    return maskOf(_mm_cmpeq_epi8(block, _mm_set1_epi8(byte)));
}

// Bytes equal to any of `bytes`, with one mask taken for all of them.
template <typename... Bytes>
inline unsigned equalToAny(__m128i block, char first, Bytes... others) {
    __m128i hits = _mm_cmpeq_epi8(block, _mm_set1_epi8(first));
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(others)))), ...);
    return maskOf(hits);
}

// Bytes below `bound` (at most 0x7F), and every byte from 0x80 up: compared as signed bytes,
// those are negative.
inline unsigned belowOrBeyondAscii(__m128i block, char bound) {
    return maskOf(_mm_cmplt_epi8(block, _mm_set1_epi8(bound)));
}

// ASCII white space: space, and TAB to CR.
inline unsigned asciiWhiteSpace(__m128i block) {
    const __m128i controls = _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8(0x08)),
                                           _mm_cmplt_epi8(block, _mm_set1_epi8(0x0E)));
    return maskOf(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(' ')), controls));
}

}  // namespace gridmint::byteblock

#endif
