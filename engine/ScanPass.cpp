// The scan pass reads every byte once, in order, and runs these steps for each byte b:
//
//  1. Tag or text: "<" (not opening a comment, no script open) starts a tag; ">" (not ending
//     a comment, no script open) ends it. Text bytes inside a table, row or cell, outside any
//     script or comment, go to the cell text buffer.
//  2. Attribute value: while an id or class value is open in a table start tag, b either
//     completes it (the quote byte or ">") or is appended to it.
//  3. ">" ends a table start tag.
//  4. Comment: the dash count tracks "-->" inside a comment; "<!--" opens one.
//  5. Every ">" leaves one space in the cell text buffer, so words either side of a tag stay
//     apart.
//  6. Tag bytes and brackets advance the script opener; then isScriptOrComment follows the
//     comment and script flags.
//  7. Every byte advances the script closer.
//  8. Outside scripts and comments: the table, row and cell recognisers, then (inside a
//     table start tag) the id and class recognisers. Inside, none of them moves.
//
// The cell text buffer is emptied only at a cell end tag, so everything collected since the
// previous cell end belongs to the next cell. Script and comment bytes never reach the table
// recognisers, which is what hides tables inside them.
//
// Runs: when every recogniser that would see the next bytes is idle and no table start tag
// is open, the only bytes that can change anything are "<", ">" and, inside a comment, "-".
// The pass then jumps to the next such byte and handles the bytes before it as a block: they
// are text to collect, or nothing. ScanMode::byteAtATime turns this off; the two modes give
// identical results, which the tests check.
#include "ScanPass.h"

#include <cstring>

#include "Log.h"
#include "Utf.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gridmint {

namespace {

constexpr size_t attributeValueLimit = 998;

}  // namespace

ScanPass::ScanPass(HTMLTableParser& parser, ScanMode mode)
    : parser_(parser),
      data_(reinterpret_cast<const unsigned char*>(parser.data.data())),
      length_(parser.l),
      cellBufferLimit_(parser.l >= 2 ? parser.l - 2 : 0),
      // Read once per pass: the setting cannot sensibly change halfway through a page.
      consolidateWhitespace_(parser.defaults->boolForKey(defaultsKey::consolidateWhitespace)),
      skipRuns_(mode == ScanMode::skipRuns) {}

void HTMLTableParser::bigKahunaPass(ScanMode mode) {
    ScanPass(*this, mode).run();
}

void ScanPass::run() {
    parser_.resetCollection();
    parser_.counter = 0;
    if (length_ == 0) return;
    attributeValue_.reserve(attributeValueLimit);
    size_t position = 0;
    while (position < length_) {
        if (skipRuns_ && canSkipRun()) {
            const size_t runEnd = findRunEnd(position);
            consumeRun(position, runEnd);
            position = runEnd;
            if (position == length_) break;
        }
        const unsigned char b = data_[position++];
        processByte(b, position);
    }
    parser_.counter = length_;
    finish();
}

// `next` is the index of the byte after b.
[[gnu::always_inline]] inline void ScanPass::processByte(unsigned char b, size_t next) {
    const bool bOpensComment = b == '<' && opensComment(b, next);
    const bool tagByte = stepTagOrText(b, bOpensComment);
    if (tableStartTag_) stepAttributeValue(b);
    if (b == '>') tableStartTag_ = false;
    stepComment(b, bOpensComment);
    if (b == '>') appendTagEndSpace();
    if (tagByte || b == '<' || b == '>') {
        if (scriptOpener_.feed(b)) script_ = true;
        parser_.isScriptOrComment = comment_ || script_;
    }
    if (scriptCloser_.feed(b)) script_ = false;
    if (!parser_.isScriptOrComment) stepTableStructure(b);
}

// True for a "<" followed by "!--" within the document.
inline bool ScanPass::opensComment(unsigned char b, size_t next) const {
    return b == '<' && next + 2 < length_ && data_[next] == '!' && data_[next + 1] == '-' &&
           data_[next + 2] == '-';
}

// Returns whether b is a tag byte.
inline bool ScanPass::stepTagOrText(unsigned char b, bool bOpensComment) {
    if (b == '<' && !bOpensComment && !script_) {
        tag_ = true;
        scriptOpener_.reset();
        return true;
    }
    if (b == '>' && dashCount_ != 2 && !script_) {
        tag_ = false;
        return false;
    }
    if (b == '<' && !bOpensComment) scriptOpener_.reset();
    if (tag_) return true;
    if (b != '<' && b != '>' && collectingText()) appendText(b);
    return false;
}

inline bool ScanPass::collectingText() const {
    return !parser_.isScriptOrComment && (inTable_ || inRow_ || inCell_);
}

inline void ScanPass::stepAttributeValue(unsigned char b) {
    if (!(idValue_ || classValue_)) return;
    if (b == quoteByte_ || b == '>') {
        completeAttributeValue();
    } else if (attributeValue_.size() < attributeValueLimit) {
        attributeValue_.push_back(static_cast<char>(b));
    }
}

void ScanPass::completeAttributeValue() {
    Text value =
        parser_.unescapedStringFromBuffer(attributeValue_.data(), attributeValue_.size(), true);
    if (idValue_) {
        logLine("currentTableId is now " + toUtf8(value));
        parser_.currentTableId = std::move(value);
    } else {
        logLine("currentTableClass is now " + toUtf8(value));
        parser_.currentTableClass = std::move(value);
    }
    attributeValue_.clear();
    idValue_ = false;
    classValue_ = false;
}

inline void ScanPass::stepComment(unsigned char b, bool bOpensComment) {
    if (comment_) {
        if (b == '-') {
            if (dashCount_ < 2) ++dashCount_;
        } else if (b == '>' && dashCount_ == 2) {
            comment_ = false;
            dashCount_ = 0;
        } else {
            dashCount_ = 0;
        }
    }
    if (bOpensComment) comment_ = true;
}

// The table, row and cell recognisers in their fixed order (closers before openers), then,
// inside a table start tag, the id and class recognisers.
inline void ScanPass::stepTableStructure(unsigned char b) {
    if (const std::uint8_t done = tableTags_.feed(b)) {
        if (done & TableTagAutomaton::tableEnd) {
            parser_.endTable();
            inTable_ = false;
        }
        if (done & TableTagAutomaton::tableStart) {
            inTable_ = true;
            tableStartTag_ = true;
        }
        if (done & TableTagAutomaton::rowEnd) {
            parser_.endTableRow();
            inRow_ = false;
        }
        if (done & TableTagAutomaton::rowStart) inRow_ = true;
        if (done & TableTagAutomaton::cellEnd) endCell();
        if (done & TableTagAutomaton::cellStart) inCell_ = true;
    }
    if (tableStartTag_) {
        startAttributeValue(idRecogniser_.feed(b), b, true);
        startAttributeValue(classRecogniser_.feed(b), b, false);
    }
}

inline void ScanPass::startAttributeValue(AttributeEvent event, unsigned char b, bool isId) {
    if (event == AttributeEvent::none) return;
    (isId ? idValue_ : classValue_) = true;
    if (event == AttributeEvent::quotedValue) {
        quoteByte_ = b;
        return;
    }
    quoteByte_ = ' ';
    if (attributeValue_.size() < attributeValueLimit) {
        attributeValue_.push_back(static_cast<char>(b));
    }
}

void ScanPass::endCell() {
    parser_.endTableData(
        parser_.unescapedStringFromBuffer(cellText_.data(), cellText_.size(), true));
    cellText_.clear();
    inCell_ = false;
}

inline bool ScanPass::cellBufferFull() const {
    return cellText_.size() >= cellBufferLimit_;
}

inline bool ScanPass::lastBufferedByteIsWhiteSpace() const {
    return isWhiteSpaceByte(static_cast<unsigned char>(cellText_.back()));
}

inline void ScanPass::appendText(unsigned char b) {
    if (cellBufferFull()) {
        logLine("tc buffer overflow");
        return;
    }
    if (consolidateWhitespace_ && cellText_.size() >= 2 && isWhiteSpaceByte(b)) {
        if (!lastBufferedByteIsWhiteSpace()) cellText_.push_back(' ');
        return;
    }
    cellText_.push_back(static_cast<char>(b));
}

inline void ScanPass::appendTagEndSpace() {
    if (cellBufferFull()) return;
    if (consolidateWhitespace_ && cellText_.size() >= 2 && lastBufferedByteIsWhiteSpace()) return;
    cellText_.push_back(' ');
}

// The recognisers that would see the next bytes are idle, and no id or class recogniser
// runs. An idle tag or script recogniser stays idle on every byte but "<".
inline bool ScanPass::canSkipRun() const {
    if (tableStartTag_ || !scriptCloser_.idle()) return false;
    if (tag_ && !scriptOpener_.idle()) return false;
    return parser_.isScriptOrComment || tableTags_.idle();  // inside, the table tags do not move
}

// The index of the next "<" or ">" (or "-" inside a comment) at or after `from`, or the end.
size_t ScanPass::findRunEnd(size_t from) const {
    size_t i = from;
    const bool dashes = comment_;
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i dash = _mm_set1_epi8(dashes ? '-' : '<');
    for (; i + 16 <= length_; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data_ + i));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, lt), _mm_cmpeq_epi8(chunk, gt)),
                         _mm_cmpeq_epi8(chunk, dash));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < length_; ++i) {
        const unsigned char b = data_[i];
        if (b == '<' || b == '>' || (dashes && b == '-')) return i;
    }
    return length_;
}

// Bytes of a run: none is "<" or ">", and inside a comment none is "-". Each would leave
// every recogniser as it is; the only effects are collecting text and clearing the dash count.
void ScanPass::consumeRun(size_t from, size_t to) {
    if (from == to) return;
    if (comment_) dashCount_ = 0;
    if (tag_ || !collectingText()) return;
    if (consolidateWhitespace_) {
        for (size_t i = from; i < to; ++i) appendText(data_[i]);
        return;
    }
    const size_t room =
        cellBufferLimit_ > cellText_.size() ? cellBufferLimit_ - cellText_.size() : 0;
    const size_t count = to - from;
    cellText_.append(reinterpret_cast<const char*>(data_ + from), count < room ? count : room);
    for (size_t dropped = count > room ? count - room : 0; dropped > 0; --dropped) {
        logLine("tc buffer overflow");
    }
}

// A cell, row or table still open here is dropped, unstored.
void ScanPass::finish() {
    if (script_) {
        logLine("A script tag appears to be left unclosed. This may mask part or all of the page.");
    }
    if (comment_) {
        logLine(
            "An html comment tag appears to be left unclosed. This may mask part or all of the "
            "page.");
    }
}

}  // namespace gridmint
