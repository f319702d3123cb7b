// Listed names are found in a hash table of the names built at compile time.
#include "TagName.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

// A switch over element names lists only the names its rule concerns; every other name
// falls to the default.
#pragma GCC diagnostic ignored "-Wswitch-enum"

namespace gridmint::browser {

namespace {

struct NamedTag {
    std::string_view name;
    Tag tag;
};

// The identifiers stand for the names, with "-" written "_" and a keyword given a "_" after it.
constexpr std::string_view spelling(std::string_view identifier) {
    if (identifier == "annotation_xml") return "annotation-xml";
    if (identifier.back() == '_') identifier.remove_suffix(1);
    return identifier;
}

constexpr auto listedTags = [] {
    std::array<NamedTag, knownTagCount> tags{{
#define GRIDMINT_BROWSER_TAG_ENTRY(name) {spelling(#name), Tag::name},
        GRIDMINT_BROWSER_TAGS(GRIDMINT_BROWSER_TAG_ENTRY)
#undef GRIDMINT_BROWSER_TAG_ENTRY
    }};
    return tags;
}();

// From the length and three letters: cheap, and spreads the listed names well enough.
constexpr std::uint32_t nameHash(std::string_view name) {
    if (name.empty()) return 0;
    auto byte = [&name](std::size_t i) { return static_cast<unsigned char>(name[i]); };
    return byte(0) * 0x3Bu + byte(name.size() - 1) * 0x61u +
           static_cast<std::uint32_t>(name.size()) * 0x1Fu + byte(name.size() > 1 ? 1 : 0) * 0x0Du;
}

// Open addressing, at most a quarter full: a lookup reads one or two slots.
constexpr std::size_t hashSlots = 512;
static_assert(knownTagCount * 4 <= hashSlots);

constexpr auto hashedTags = [] {
    std::array<std::int16_t, hashSlots> slots{};
    for (auto& slot : slots) slot = -1;
    for (std::size_t i = 0; i < listedTags.size(); ++i) {
        std::size_t slot = nameHash(listedTags[i].name) & (hashSlots - 1);
        while (slots[slot] >= 0) slot = (slot + 1) & (hashSlots - 1);
        slots[slot] = static_cast<std::int16_t>(i);
    }
    return slots;
}();

constexpr std::size_t longestName = [] {
    std::size_t longest = 0;
    for (const NamedTag& entry : listedTags) longest = std::max(longest, entry.name.size());
    return longest;
}();

constexpr std::uint32_t groupsOfListed(Tag tag) {
    using namespace tagGroup;
    std::uint32_t g = 0;
    switch (tag) {
        case Tag::address:
        case Tag::article:
        case Tag::aside:
        case Tag::blockquote:
        case Tag::details:
        case Tag::dl:
        case Tag::fieldset:
        case Tag::figure:
        case Tag::footer:
        case Tag::header:
        case Tag::main:
        case Tag::nav:
        case Tag::ol:
        case Tag::section:
        case Tag::summary:
        case Tag::ul:
        case Tag::div: g = special | block | closesParagraph; break;
        case Tag::center:
        case Tag::dialog:
        case Tag::dir:
        case Tag::figcaption:
        case Tag::hgroup:
        case Tag::menu:
        case Tag::search: g = special | closesParagraph; break;
        case Tag::p: g = special | block | closesParagraph | impliedEnd; break;
        case Tag::h1:
        case Tag::h2:
        case Tag::h3:
        case Tag::h4:
        case Tag::h5:
        case Tag::h6: g = special | block | closesParagraph | heading; break;
        case Tag::pre:
        case Tag::listing: g = special | closesParagraph | (tag == Tag::pre ? block : 0); break;
        case Tag::form: g = special | block; break;
        case Tag::li: g = special | block | impliedEnd; break;
        case Tag::dd:
        case Tag::dt: g = special | block | impliedEnd; break;
        case Tag::hr: g = special | block; break;
        case Tag::applet:
        case Tag::marquee:
        case Tag::object: g = special | scopeBoundary; break;
        case Tag::caption:
        case Tag::html:
        case Tag::table:
        case Tag::td:
        case Tag::th: g = special | scopeBoundary; break;
        case Tag::template_: g = special | scopeBoundary | hidden; break;
        case Tag::tbody:
        case Tag::thead:
        case Tag::tfoot: g = special | tableSection; break;
        case Tag::script:
        case Tag::style:
        case Tag::noscript: g = special | hidden; break;
        case Tag::head: g = special | hidden; break;
        case Tag::rp: g = hidden | impliedEnd; break;
        case Tag::rb:
        case Tag::rt:
        case Tag::rtc:
        case Tag::optgroup:
        case Tag::option: g = impliedEnd; break;
        case Tag::a:
        case Tag::b:
        case Tag::big:
        case Tag::code:
        case Tag::em:
        case Tag::font:
        case Tag::i:
        case Tag::nobr:
        case Tag::s:
        case Tag::small:
        case Tag::strike:
        case Tag::strong:
        case Tag::tt:
        case Tag::u: g = formatting; break;
        case Tag::area:
        case Tag::base:
        case Tag::basefont:
        case Tag::bgsound:
        case Tag::body:
        case Tag::br:
        case Tag::button:
        case Tag::col:
        case Tag::colgroup:
        case Tag::embed:
        case Tag::frame:
        case Tag::frameset:
        case Tag::iframe:
        case Tag::img:
        case Tag::input:
        case Tag::keygen:
        case Tag::link:
        case Tag::meta:
        case Tag::noembed:
        case Tag::noframes:
        case Tag::param:
        case Tag::plaintext:
        case Tag::select:
        case Tag::source:
        case Tag::textarea:
        case Tag::title:
        case Tag::tr:
        case Tag::track:
        case Tag::wbr:
        case Tag::xmp: g = special; break;
        default: break;
    }
    // The reference parser's lists predate some of the standard's: main, summary, figcaption,
    // hgroup, keygen, source, track, template, dialog and search are not special there,
    // template bounds no scope, and dialog and search close no paragraph.
    switch (tag) {
        case Tag::main:
        case Tag::summary:
        case Tag::figcaption:
        case Tag::hgroup:
        case Tag::keygen:
        case Tag::source:
        case Tag::track: g &= ~special; break;
        case Tag::template_: g &= ~(special | scopeBoundary); break;
        case Tag::dialog:
        case Tag::search: g &= ~(special | closesParagraph); break;
        default: break;
    }
    switch (tag) {
        case Tag::b:
        case Tag::big:
        case Tag::blockquote:
        case Tag::body:
        case Tag::br:
        case Tag::center:
        case Tag::code:
        case Tag::dd:
        case Tag::div:
        case Tag::dl:
        case Tag::dt:
        case Tag::em:
        case Tag::embed:
        case Tag::h1:
        case Tag::h2:
        case Tag::h3:
        case Tag::h4:
        case Tag::h5:
        case Tag::h6:
        case Tag::head:
        case Tag::hr:
        case Tag::i:
        case Tag::img:
        case Tag::li:
        case Tag::listing:
        case Tag::menu:
        case Tag::meta:
        case Tag::nobr:
        case Tag::ol:
        case Tag::p:
        case Tag::pre:
        case Tag::ruby:
        case Tag::s:
        case Tag::small:
        case Tag::span:
        case Tag::strong:
        case Tag::strike:
        case Tag::sub:
        case Tag::sup:
        case Tag::table:
        case Tag::tt:
        case Tag::u:
        case Tag::ul:
        case Tag::var: g |= breaksOutOfForeign; break;
        default: break;
    }
    return g;
}

constexpr auto groupTable = [] {
    std::array<std::uint32_t, knownTagCount> groups{};
    for (std::uint32_t i = 0; i < knownTagCount; ++i)
        groups[i] = groupsOfListed(static_cast<Tag>(i));
    return groups;
}();

// Names are short: a loop beats a call to compare them.
bool sameBytes(std::string_view a, std::string_view b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

}  // namespace

Tag knownTag(std::string_view name) {
    if (name.size() > longestName) return Tag::firstOther;
    for (std::size_t slot = nameHash(name) & (hashSlots - 1);;
         slot = (slot + 1) & (hashSlots - 1)) {
        const std::int16_t entry = hashedTags[slot];
        if (entry < 0) return Tag::firstOther;
        const NamedTag& candidate = listedTags[static_cast<std::size_t>(entry)];
        if (candidate.name.size() == name.size() && sameBytes(candidate.name, name))
            return candidate.tag;
    }
}

std::uint32_t groupsOf(Tag tag) {
    const auto index = static_cast<std::uint32_t>(tag);
    return index < knownTagCount ? groupTable[index] : 0;
}

}  // namespace gridmint::browser
