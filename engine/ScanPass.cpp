// The scan pass reads every byte once, in order. ScanCore (ScanCore.h) lists the steps each
// byte goes through and moves the flags and recognisers they share; this file does what the
// steps ask for: collecting cell text, storing cells, rows and tables, and reading the id and
// class values of table start tags.
//
// The cell text buffer is emptied only at a cell end tag, so everything collected since the
// previous cell end belongs to the next cell. Script and comment bytes never reach the table
// recognisers, which is what hides tables inside them.
//
// Normally the core runs as its compiled automaton (ScanAutomaton), which also jumps over runs
// of bytes that cannot change anything and collects them as a block. Inside a table start
// tag, where the id and class recognisers need every byte, and in ScanMode::byteAtATime, the
// core is stepped directly, one byte at a time. The two modes give identical results, which
// the tests check.
#include "ScanPass.h"

#include <cstdlib>
#include <cstring>

#include "ByteBlock.h"
#include "Log.h"
#include "Utf.h"

namespace gridmint {

namespace {

constexpr size_t attributeValueLimit = 998;
// A mapped page is given back in steps of this many bytes behind the scan.
constexpr size_t memoryWindow = size_t{4} << 20;

// The next "<" or ">" (or "-" when `dashes`) at or after `from`, or `end`.
template <bool dashes>
[[gnu::always_inline]] inline const unsigned char* findRunEnd(const unsigned char* from,
                                                              const unsigned char* end) {
    const auto isStop = [](unsigned char b) {
        return b == '<' || b == '>' || (dashes && b == '-');
    };
    // Runs often end at once (a tag right after a tag): look at that byte before the search.
    if (from >= end || isStop(*from)) return from;
    const unsigned char* p = from + 1;  // that byte is already looked at
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const __m128i block = byteblock::load(p);
        const unsigned stops = dashes ? byteblock::equalToAny(block, '<', '>', '-')
                                      : byteblock::equalToAny(block, '<', '>');
        if (stops != 0) return p + __builtin_ctz(stops);
    }
#endif
    for (; p < end; ++p) {
        if (isStop(*p)) return p;
    }
    return end;
}

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
    if (skipRuns_) {
        runAutomaton();
    } else {
        runByteAtATime();
    }
    parser_.isScriptOrComment = core_.isScriptOrComment;
    parser_.counter = length_;
    parser_.data.releaseMemoryBefore(length_);
    finish();
}

void ScanPass::runByteAtATime() {
    for (size_t position = 0; position < length_; ++position) {
        processByte(data_[position], position + 1);
    }
}

// The bytes of a run are text to collect, none of them "<" or ">".
[[gnu::always_inline]] inline void ScanPass::collectRun(size_t from, size_t to) {
    const size_t count = to - from;
    if (!consolidateWhitespace_ && count <= cellBufferLimit_ - cellText_.size()) {
        cellText_.append(reinterpret_cast<const char*>(data_ + from), count, length_ - from);
        return;
    }
    collectRunSlowly(from, to);
}

// Runs that merge white space or would fill the buffer.
void ScanPass::collectRunSlowly(size_t from, size_t to) {
    if (consolidateWhitespace_) {
        for (size_t i = from; i < to; ++i) appendText(data_[i]);
        return;
    }
    const size_t room = cellBufferLimit_ - cellText_.size();
    const size_t count = to - from;
    cellText_.append(reinterpret_cast<const char*>(data_ + from), count < room ? count : room,
                     length_ - from);
    for (size_t dropped = count > room ? count - room : 0; dropped > 0; --dropped) {
        logLine("tc buffer overflow");
    }
}

// The automaton's entry for a "<" or a name's last letter, which depends on what follows.
[[gnu::always_inline]] inline size_t ScanPass::entryAfterLookingAhead(unsigned char b,
                                                                      size_t next) const {
    if (b == '<') {
        return opensComment(next) ? ScanAutomaton::commentOpenerEntry()
                                  : ScanAutomaton::entryOf(b) & ~looksAhead;
    }
    return nameEndsAt(next) ? ScanAutomaton::nameEndEntry(b)
                            : ScanAutomaton::entryOf(b) & ~looksAhead;
}

// True when the three bytes from `next` are "!--".
inline bool ScanPass::opensComment(size_t next) const {
    return next + 2 < length_ && data_[next] == '!' && data_[next + 1] == '-' &&
           data_[next + 2] == '-';
}

// True when a tag name ends at `next`: the page ends there or its byte ends a name.
inline bool ScanPass::nameEndsAt(size_t next) const {
    return next >= length_ || endsTagName(data_[next]);
}

// The automaton's state stands for core_ while it runs; core_ is brought up to date when a
// table start tag sends the pass to stepping the core byte by byte, and at the end.
//
// The loop keeps in locals only what every byte uses, so that they stay in registers across
// the calls it makes; everything else is a member, read on the rarer paths. Locals, not
// members, also because stores into the cell text buffer could alias members, which would
// make the compiler read them again after every byte.
void ScanPass::runAutomaton() {
    automaton_ = &ScanAutomaton::forThisThread();
    releaseAt_ = memoryWindow;
    const ScanAutomaton::Entry* rows = automaton_->rows();
    const unsigned char* p = data_;
    const unsigned char* const end = data_ + length_;
    size_t row = ScanAutomaton::rowOf(ScanAutomaton::initial);
    std::uint8_t runFlags = rows[row].runFlags;
    while (p < end) {
        if (runFlags != 0) {
            if (runFlags & ScanAutomaton::rowPending) {
                runFlags = automaton_->complete(ScanAutomaton::stateOf(row));
                rows = automaton_->rows();
            }
            if (runFlags & ScanAutomaton::runSkips) {
                const unsigned char* const runEnd = (runFlags & ScanAutomaton::runStopsAtDash)
                                                        ? findRunEnd<true>(p, end)
                                                        : findRunEnd<false>(p, end);
                if (runEnd != p) {
                    const ScanAutomaton::Entry& run = rows[row];
                    if ((run.actions & textByte) && inTablePart()) {
                        collectRun(static_cast<size_t>(p - data_),
                                   static_cast<size_t>(runEnd - data_));
                    }
                    row = run.next;
                    p = runEnd;
                    if (p == end) break;
                    releaseMemoryBehind(static_cast<size_t>(p - data_));
                }
            }
        }
        const unsigned char b = *p++;
        size_t entry = ScanAutomaton::entryOf(b);
        if (entry & looksAhead) entry = entryAfterLookingAhead(b, static_cast<size_t>(p - data_));
        const ScanAutomaton::Entry* const transition = &rows[row + entry];
        row = transition->next;
        runFlags = transition->runFlags;
        if (transition->actions == 0) continue;
        perform(transition->actions, b);
        if (tableStartTag_) {
            core_ = automaton_->core(ScanAutomaton::stateOf(row));
            feedAttributeRecognisers(b);
            p = data_ + stepThroughTableStartTag(static_cast<size_t>(p - data_));
            if (tableStartTag_) return;  // the page ends inside the tag
            row = automaton_->rowOfCore(core_);
            rows = automaton_->rows();
            runFlags = rows[row].runFlags;
        }
    }
    core_ = automaton_->core(ScanAutomaton::stateOf(row));
}

// Bytes behind the scan are never read again: what is still needed of them has been copied.
inline void ScanPass::releaseMemoryBehind(size_t position) {
    if (position < releaseAt_) return;
    parser_.data.releaseMemoryBefore(position);
    releaseAt_ = position + memoryWindow;
}

// Steps the core byte by byte from `position` to the end of the table start tag (or of the
// page); returns the position after it.
size_t ScanPass::stepThroughTableStartTag(size_t position) {
    while (tableStartTag_ && position < length_) {
        processByte(data_[position], position + 1);
        ++position;
    }
    return position;
}

// `next` is the index of the byte after b.
void ScanPass::processByte(unsigned char b, size_t next) {
    if (tableStartTag_) stepAttributeValue(b);
    if (b == '>') tableStartTag_ = false;
    perform(stepScanCore(core_, b, b == '<' && opensComment(next), nameEndsAt(next)), b);
    if (tableStartTag_ && !core_.isScriptOrComment) feedAttributeRecognisers(b);
}

inline void ScanPass::perform(std::uint8_t actions, unsigned char b) {
    if ((actions & textByte) && inTablePart()) appendText(b);
    if (actions & tagEndSpace) appendTagEndSpace();
    if (actions & completionsMask) performCompletions(actions & completionsMask);
}

// The table, row and cell completions in their fixed order (closers before openers).
void ScanPass::performCompletions(std::uint8_t completions) {
    if (completions & TableTagAutomaton::tableEnd) {
        parser_.endTable();
        inTable_ = false;
    }
    if (completions & TableTagAutomaton::tableStart) {
        inTable_ = true;
        tableStartTag_ = true;
    }
    if (completions & TableTagAutomaton::rowEnd) {
        parser_.endTableRow();
        inRow_ = false;
    }
    if (completions & TableTagAutomaton::rowStart) inRow_ = true;
    if (completions & TableTagAutomaton::cellEnd) endCell();
    if (completions & TableTagAutomaton::cellStart) inCell_ = true;
}

void ScanPass::stepAttributeValue(unsigned char b) {
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

// Inside a table start tag, outside scripts and comments.
void ScanPass::feedAttributeRecognisers(unsigned char b) {
    startAttributeValue(idRecogniser_.feed(b), b, true);
    startAttributeValue(classRecogniser_.feed(b), b, false);
}

void ScanPass::startAttributeValue(AttributeEvent event, unsigned char b, bool isId) {
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
    parser_.endTableData(cellText_.padded());
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

// A cell, row or table still open here is dropped, unstored.
void ScanPass::finish() {
    if (core_.script) {
        logLine("A script tag appears to be left unclosed. This may mask part or all of the page.");
    }
    if (core_.comment) {
        logLine(
            "An html comment tag appears to be left unclosed. This may mask part or all of the "
            "page.");
    }
}

}  // namespace gridmint
