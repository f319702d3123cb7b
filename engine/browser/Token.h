// What the browser reading's tokenizer hands to the table rules: text as UTF-8 runs, start
// tags with the few attributes the rules read, end tags, the doctype and the end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "TagName.h"

namespace gridmint::browser {

// The attributes the table rules read; any other attribute is parsed and dropped.
enum class Attribute : std::uint8_t {
    id,
    class_,
    hidden,
    style,
    colspan,
    rowspan,
    type,
    charset,
    httpEquiv,
    content,
    encoding,
    color,
    face,
    size,
    href,
    count
};

struct StartTag {
    Tag tag = Tag::firstOther;
    std::string_view name;  // lower case
    bool selfClosing = false;
    std::uint32_t present = 0;  // one bit per Attribute given (the first of a repeated name wins)
    // Each value given: a view of the page, or of `rewritten` when references, NUL or CR in
    // it had to be rewritten. The views hold only while the tag is handed over.
    std::array<std::string_view, static_cast<size_t>(Attribute::count)> values;
    std::array<std::string, static_cast<size_t>(Attribute::count)> rewritten;
    std::uint64_t attributesHash = 0;  // of every attribute, to tell alike elements apart

    bool has(Attribute a) const { return (present >> static_cast<unsigned>(a)) & 1u; }
    std::string_view value(Attribute a) const { return values[static_cast<size_t>(a)]; }
};

// How the tokenizer reads what follows a start tag, as the table rules ask.
enum class ContentState { data, rcdata, rawtext, scriptData, plaintext };

class TokenSink {
  public:
    virtual ~TokenSink() = default;
    virtual void characters(std::string_view utf8) = 0;
    virtual void startTag(const StartTag& tag) = 0;
    virtual void endTag(Tag tag, std::string_view name) = 0;
    // A doctype that puts the page in quirks mode, or not.
    virtual void doctype(bool quirks) = 0;
    virtual void endOfFile() = 0;
    // Whether "<![CDATA[" opens a CDATA section here (inside svg or math content).
    virtual bool inForeignContent() const = 0;
    // Whether text handed over here would show nowhere and change nothing but what any text
    // changes: its references then need not be resolved, and it may come in one run.
    virtual bool dropsText() const = 0;
};

}  // namespace gridmint::browser
