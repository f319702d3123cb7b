// The single pass over a page's bytes that finds its tables without building a tree.
#pragma once

#include <cstddef>
#include <string>

#include "HTMLTableParser.h"
#include "Recognisers.h"

namespace gridmint {

class ScanPass {
  public:
    explicit ScanPass(HTMLTableParser& parser);
    void run();

  private:
    void processByte(unsigned char b);
    bool opensComment(unsigned char b) const;
    bool stepTagOrText(unsigned char b, bool opensComment);
    void stepAttributeValue(unsigned char b);
    void stepComment(unsigned char b, bool opensComment);
    void stepTableStructure(unsigned char b);
    void startAttributeValue(AttributeRecogniser::Event event, unsigned char b, bool isId);
    void appendText(unsigned char b);
    void appendTagEndSpace();
    bool cellBufferFull() const;
    bool lastBufferedByteIsWhiteSpace() const;
    void endCell();
    void finish();

    HTMLTableParser& parser_;
    const char* data_;
    std::ptrdiff_t length_;
    bool consolidateWhitespace_;

    std::string cellText_;        // bytes of the cell being collected; at most length - 2
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

    ScriptRecogniser scriptOpener_{ScriptRecogniser::Kind::opener};
    ScriptRecogniser scriptCloser_{ScriptRecogniser::Kind::closer};
    TagRecogniser tableCloser_{TagRecogniser::Kind::closer, "able"};
    TagRecogniser tableOpener_{TagRecogniser::Kind::opener, "able"};
    TagRecogniser rowCloser_{TagRecogniser::Kind::closer, "r"};
    TagRecogniser rowOpener_{TagRecogniser::Kind::opener, "r"};
    TagRecogniser cellCloser_{TagRecogniser::Kind::closer, "d", 'h'};
    TagRecogniser cellOpener_{TagRecogniser::Kind::opener, "d"};
    AttributeRecogniser idRecogniser_{"id"};
    AttributeRecogniser classRecogniser_{"class"};
};

}  // namespace gridmint
