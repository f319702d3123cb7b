// The single pass over a page's bytes that finds its tables without building a tree.
#pragma once

#include <cstddef>
#include <string>

#include "HTMLTableParser.h"
#include "Recognisers.h"
#include "TableTagAutomaton.h"

namespace gridmint {

class ScanPass {
  public:
    ScanPass(HTMLTableParser& parser, ScanMode mode);
    void run();

  private:
    void processByte(unsigned char b, size_t next);
    bool opensComment(unsigned char b, size_t next) const;
    bool stepTagOrText(unsigned char b, bool opensComment);
    void stepAttributeValue(unsigned char b);
    void completeAttributeValue();
    void stepComment(unsigned char b, bool opensComment);
    void stepTableStructure(unsigned char b);
    void startAttributeValue(AttributeEvent event, unsigned char b, bool isId);
    bool collectingText() const;
    void appendText(unsigned char b);
    void appendTagEndSpace();
    bool cellBufferFull() const;
    bool lastBufferedByteIsWhiteSpace() const;
    void endCell();
    void finish();

    bool canSkipRun() const;
    size_t findRunEnd(size_t from) const;
    void consumeRun(size_t from, size_t to);

    HTMLTableParser& parser_;
    const unsigned char* data_;
    size_t length_;
    size_t cellBufferLimit_;  // the cell text buffer holds at most length - 2 bytes
    bool consolidateWhitespace_;
    bool skipRuns_;

    std::string cellText_;        // bytes of the cell being collected
    std::string attributeValue_;  // bytes of the id or class value; at most 998
    unsigned char quoteByte_ = ' ';
    bool tag_ = false;
    bool script_ = false;
    bool comment_ = false;
    int dashCount_ = 0;
    bool inTable_ = false;
    bool inRow_ = false;
    bool inCell_ = false;
    bool tableStartTag_ = false;
    bool idValue_ = false;
    bool classValue_ = false;

    ScriptRecogniser<TagKind::opener> scriptOpener_;
    ScriptRecogniser<TagKind::closer> scriptCloser_;
    TableTagAutomaton tableTags_;  // table, row and cell start and end tags
    AttributeRecogniser<"id"> idRecogniser_;
    AttributeRecogniser<"class"> classRecogniser_;
};

}  // namespace gridmint
