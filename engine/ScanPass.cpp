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
#include "ScanPass.h"

#include "Log.h"
#include "Utf.h"

namespace gridmint {

namespace {

constexpr size_t attributeValueLimit = 998;

}  // namespace

ScanPass::ScanPass(HTMLTableParser& parser)
    : parser_(parser),
      data_(parser.data.data()),
      length_(static_cast<std::ptrdiff_t>(parser.l)),
      // Read once per pass: the setting cannot sensibly change the meaning of half a page.
      consolidateWhitespace_(parser.defaults->boolForKey(defaultsKey::consolidateWhitespace)) {}

void HTMLTableParser::bigKahunaPass() {
    ScanPass(*this).run();
}

void ScanPass::run() {
    parser_.resetCollection();
    parser_.counter = 0;
    if (length_ == 0) return;
    attributeValue_.reserve(attributeValueLimit);
    while (parser_.counter < parser_.l) {
        const auto b = static_cast<unsigned char>(data_[parser_.counter]);
        ++parser_.counter;
        processByte(b);
    }
    finish();
}

void ScanPass::processByte(unsigned char b) {
    const bool bOpensComment = opensComment(b);
    const bool tagByte = stepTagOrText(b, bOpensComment);
    stepAttributeValue(b);
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

// True for a "<" followed by "!--" within the document (counter is the index after b).
bool ScanPass::opensComment(unsigned char b) const {
    const auto next = static_cast<std::ptrdiff_t>(parser_.counter);
    return b == '<' && next + 2 < length_ && data_[next] == '!' && data_[next + 1] == '-' &&
           data_[next + 2] == '-';
}

// Returns whether b is a tag byte.
bool ScanPass::stepTagOrText(unsigned char b, bool bOpensComment) {
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
    if (b != '<' && b != '>' && !parser_.isScriptOrComment && (inTable_ || inRow_ || inCell_)) {
        appendText(b);
    }
    return false;
}

void ScanPass::stepAttributeValue(unsigned char b) {
    if (!(idValue_ || classValue_) || !tableStartTag_) return;
    if (b != quoteByte_ && b != '>') {
        if (attributeValue_.size() < attributeValueLimit)
            attributeValue_.push_back(static_cast<char>(b));
        return;
    }
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

void ScanPass::stepComment(unsigned char b, bool bOpensComment) {
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

void ScanPass::stepTableStructure(unsigned char b) {
    if (tableCloser_.feed(b)) {
        parser_.endTable();
        inTable_ = false;
    }
    if (tableOpener_.feed(b)) {
        inTable_ = true;
        tableStartTag_ = true;
    }
    if (rowCloser_.feed(b)) {
        parser_.endTableRow();
        inRow_ = false;
    }
    if (rowOpener_.feed(b)) inRow_ = true;
    if (cellCloser_.feed(b)) endCell();
    if (cellOpener_.feed(b)) inCell_ = true;
    if (tableStartTag_) {
        startAttributeValue(idRecogniser_.feed(b), b, true);
        startAttributeValue(classRecogniser_.feed(b), b, false);
    }
}

void ScanPass::startAttributeValue(AttributeRecogniser::Event event, unsigned char b, bool isId) {
    if (event == AttributeRecogniser::Event::none) return;
    (isId ? idValue_ : classValue_) = true;
    if (event == AttributeRecogniser::Event::quotedValue) {
        quoteByte_ = b;
        return;
    }
    quoteByte_ = ' ';
    if (attributeValue_.size() < attributeValueLimit)
        attributeValue_.push_back(static_cast<char>(b));
}

void ScanPass::endCell() {
    parser_.endTableData(
        parser_.unescapedStringFromBuffer(cellText_.data(), cellText_.size(), true));
    cellText_.clear();
    inCell_ = false;
}

bool ScanPass::cellBufferFull() const {
    return static_cast<std::ptrdiff_t>(cellText_.size()) >= length_ - 2;
}

bool ScanPass::lastBufferedByteIsWhiteSpace() const {
    return isWhiteSpaceByte(static_cast<unsigned char>(cellText_.back()));
}

void ScanPass::appendText(unsigned char b) {
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

void ScanPass::appendTagEndSpace() {
    if (cellBufferFull()) return;
    if (consolidateWhitespace_ && cellText_.size() >= 2 && lastBufferedByteIsWhiteSpace()) return;
    cellText_.push_back(' ');
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
