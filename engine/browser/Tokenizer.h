// The browser reading's tokenizer: HTML's tokenization over UTF-8 bytes in one pass. It walks
// the whole page at once, so each construct is read by a function of its own rather than a
// state per character; the rules follow the standard state by state where the outcome can
// differ (attribute values with ">", comments such as "<!-->", bogus comments, the doctype,
// script data with its escapes, RCDATA and RAWTEXT ends, CDATA in foreign content).
//
// The bytes must be valid UTF-8: every byte that HTML treats specially is ASCII, so a
// multi-byte character is always copied whole. Text is handed over in runs; references are
// resolved into a small buffer, and NUL becomes U+FFFD except in data (where the table rules
// drop it anyway, so it is dropped here).
#pragma once

#include <string>
#include <string_view>

#include "Token.h"

namespace gridmint::browser {

class Tokenizer {
  public:
    Tokenizer(std::string_view utf8, TokenSink& sink)
        : p_(utf8.data()), end_(p_ + utf8.size()), sink_(sink) {}
    void run();
    // Called by the sink during startTag: how the element's content is to be read.
    void setContentState(ContentState state) { contentState_ = state; }

  private:
    void data();
    void rcdataOrRawtext(bool references);
    void scriptData();
    void plaintext();
    void tagOpen();
    void tag(bool isEnd, const char* nameStart);
    void endTagOpen();
    void markupDeclaration();
    void comment();
    void bogusComment();
    void doctype();
    void cdata();
    void characterReference(bool inAttribute, std::string* into);
    void emitText(const char* from, const char* to);
    void emitTextReplacingNul(const char* from, const char* to);
    bool appropriateEndTagAt(const char* p) const;
    void skipAttributeValue(const char*& p, std::string_view* value, std::string* rewritten);

    const char* p_;
    const char* end_;
    TokenSink& sink_;
    ContentState contentState_ = ContentState::data;
    std::string lastStartTag_;
    StartTag startTag_;
    std::string name_;
    std::string scratch_;
};

}  // namespace gridmint::browser
