// The single pass over a page's bytes that finds its tables without building a tree.
#pragma once

#include <cstddef>
#include <string>

#include "CellTextBuffer.h"
#include "HTMLTableParser.h"
#include "Recognisers.h"
#include "ScanAutomaton.h"
#include "ScanCore.h"

namespace gridmint {

class ScanPass {
  public:
    ScanPass(HTMLTableParser& parser, ScanMode mode);
    void run();

  private:
    void runByteAtATime();
    void runAutomaton();
    size_t stepThroughTableStartTag(size_t position);
    void processByte(unsigned char b, size_t next);
    bool opensComment(size_t next) const;
    bool nameEndsAt(size_t next) const;
    size_t entryAfterLookingAhead(unsigned char b, size_t next) const;
    void perform(std::uint8_t actions, unsigned char b);
    void performCompletions(std::uint8_t completions);
    void stepAttributeValue(unsigned char b);
    void completeAttributeValue();
    void feedAttributeRecognisers(unsigned char b);
    void startAttributeValue(AttributeEvent event, unsigned char b, bool isId);
    bool inTablePart() const { return inTable_ || inRow_ || inCell_; }
    void appendText(unsigned char b);
    void appendTagEndSpace();
    void collectRun(size_t from, size_t to);
    void releaseMemoryBehind(size_t position);
    void collectRunSlowly(size_t from, size_t to);
    bool cellBufferFull() const;
    bool lastBufferedByteIsWhiteSpace() const;
    void endCell();
    void finish();

    HTMLTableParser& parser_;
    const unsigned char* data_;
    size_t length_;
    size_t cellBufferLimit_;  // the cell text buffer holds at most length - 2 bytes, never more
    bool consolidateWhitespace_;
    bool skipRuns_;
    ScanAutomaton* automaton_ = nullptr;  // this thread's, while the automaton runs
    size_t releaseAt_ = 0;                // the scan position that releases memory next

    ScanCore core_;               // tags, comments, scripts and the table tag recognisers
    CellTextBuffer cellText_;     // bytes of the cell being collected
    std::string attributeValue_;  // bytes of the id or class value; at most 998
    unsigned char quoteByte_ = ' ';
    bool inTable_ = false;
    bool inRow_ = false;
    bool inCell_ = false;
    bool tableStartTag_ = false;
    bool idValue_ = false;
    bool classValue_ = false;

    AttributeRecogniser<"id"> idRecogniser_;
    AttributeRecogniser<"class"> classRecogniser_;
};

}  // namespace gridmint
