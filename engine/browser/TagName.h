// The element names that the browser reading treats specially, each with a number, and the
// groups a name belongs to (which scopes it bounds, whether it is a block for text, whether a
// browser hides its content). Any other name gets a number of its own per page.
#pragma once

#include <cstdint>
#include <string_view>

namespace gridmint::browser {

#define GRIDMINT_BROWSER_TAGS(X)                                                                   \
    X(a)                                                                                           \
    X(address)                                                                                     \
    X(annotation_xml)                                                                              \
    X(applet) X(area) X(article) X(aside) X(b) X(base) X(basefont) X(bgsound) X(big) X(blockquote) \
        X(body) X(br) X(button) X(caption) X(center) X(code) X(col) X(colgroup) X(dd) X(desc)      \
            X(details) X(dialog) X(dir) X(div) X(dl) X(dt) X(em) X(embed) X(fieldset)              \
                X(figcaption) X(figure) X(font) X(footer) X(foreignobject) X(form) X(frame)        \
                    X(frameset) X(h1) X(h2) X(h3) X(h4) X(h5) X(h6) X(head) X(header) X(hgroup)    \
                        X(hr) X(html) X(i) X(iframe) X(image) X(img) X(input) X(keygen) X(li)      \
                            X(link) X(listing) X(main) X(malignmark) X(marquee) X(math) X(menu)    \
                                X(meta) X(mglyph) X(mi) X(mn) X(mo) X(ms) X(mtext) X(nav) X(nobr)  \
                                    X(noembed) X(noframes) X(noscript) X(object) X(ol) X(optgroup) \
                                        X(option) X(p) X(param) X(plaintext) X(pre) X(rb) X(rp)    \
                                            X(rt) X(rtc) X(ruby) X(s) X(script) X(search)          \
                                                X(section) X(select) X(small) X(source) X(span)    \
                                                    X(strike) X(strong) X(style) X(sub) X(summary) \
                                                        X(sup) X(svg) X(table) X(tbody) X(td)      \
                                                            X(template_) X(textarea) X(tfoot)      \
                                                                X(th) X(thead) X(title) X(tr)      \
                                                                    X(track) X(tt) X(u) X(ul)      \
                                                                        X(var) X(wbr) X(xmp)

enum class Tag : std::uint16_t {
#define GRIDMINT_BROWSER_TAG_ENUM(name) name,
    GRIDMINT_BROWSER_TAGS(GRIDMINT_BROWSER_TAG_ENUM)
#undef GRIDMINT_BROWSER_TAG_ENUM
        firstOther  // names not listed are numbered from here on, per page
};

inline constexpr std::uint32_t knownTagCount = static_cast<std::uint32_t>(Tag::firstOther);

// The number of a listed name (lower case, as the tokenizer gives it), or Tag::firstOther.
Tag knownTag(std::string_view name);

// Properties of listed names; a name beyond the list has none of them.
namespace tagGroup {
inline constexpr std::uint32_t special = 1u << 0;          // the standard's special elements
inline constexpr std::uint32_t scopeBoundary = 1u << 1;    // ends the default scope
inline constexpr std::uint32_t block = 1u << 2;            // its edges break a line of text
inline constexpr std::uint32_t hidden = 1u << 3;           // a browser never shows its content
inline constexpr std::uint32_t formatting = 1u << 4;       // reopened after misnesting
inline constexpr std::uint32_t impliedEnd = 1u << 5;       // closed by generated end tags
inline constexpr std::uint32_t closesParagraph = 1u << 6;  // a start tag that ends an open p
inline constexpr std::uint32_t heading = 1u << 7;
inline constexpr std::uint32_t tableSection = 1u << 8;  // tbody, thead, tfoot
inline constexpr std::uint32_t breaksOutOfForeign = 1u << 9;
}  // namespace tagGroup

std::uint32_t groupsOf(Tag tag);

inline bool isIn(Tag tag, std::uint32_t group) {
    return (groupsOf(tag) & group) != 0;
}

}  // namespace gridmint::browser
