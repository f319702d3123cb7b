#include "TableTreeBuilder.h"

#include <algorithm>

#include "EncodingSniffing.h"
#include "Utf.h"

// A switch over element names lists only the names its rule concerns; every other name
// falls to the default.
#pragma GCC diagnostic ignored "-Wswitch-enum"

namespace gridmint::browser {

namespace {

bool isHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    }
    return lower;
}

// `property` then white space, ":", white space and `value`, anywhere in the style text.
bool declares(const std::string& style, std::string_view property, std::string_view value) {
    for (size_t at = style.find(property); at != std::string::npos;
         at = style.find(property, at + 1)) {
        size_t i = at + property.size();
        while (i < style.size() && isHtmlSpace(style[i])) ++i;
        if (i == style.size() || style[i] != ':') continue;
        ++i;
        while (i < style.size() && isHtmlSpace(style[i])) ++i;
        if (style.compare(i, value.size(), value) == 0) return true;
    }
    return false;
}

bool hidesContent(const StartTag& tag) {
    if (tag.has(Attribute::hidden)) return true;
    if (!tag.has(Attribute::style)) return false;
    const std::string style = lowerAscii(tag.value(Attribute::style));
    return declares(style, "display", "none") || declares(style, "visibility", "hidden");
}

bool isOneOf(Tag tag, std::initializer_list<Tag> tags) {
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

constexpr std::uint32_t deadKey = knownTagCount * 3;  // a name no token has
constexpr size_t formattingLimit = 64;  // formatting elements kept after the last marker

}  // namespace

TableTreeBuilder::TableTreeBuilder(SpanMode spans, bool keepLineBreaks, bool links)
    : spans_(spans), keepLineBreaks_(keepLineBreaks), links_(links) {
    std::fill(std::begin(chainTop_), std::end(chainTop_), -1);
    nameTop_.assign((knownTagCount + 1) * 3, -1);
    push(keyOf(Tag::html), nullptr, false);
}

std::uint32_t TableTreeBuilder::keyOfOtherName(std::string_view name, Namespace ns) {
    auto [it, added] = otherNames_.try_emplace(std::string(name), 0);
    if (added) {
        it->second = knownTagCount + 1 + static_cast<std::uint32_t>(otherNames_.size()) - 1;
        nameTop_.resize((it->second + 1) * 3, -1);
    }
    return it->second * 3 + ns;
}

std::int32_t TableTreeBuilder::topOf(std::uint32_t key) const {
    return key < nameTop_.size() ? nameTop_[key] : -1;
}

// What an element's name alone says of it: the chains it joins, whether it is a block,
// hides its content or is an HTML integration point. A table over every listed name in
// each namespace, worked out once.
TableTreeBuilder::ElementKind TableTreeBuilder::describe(std::uint32_t key) {
    const Tag t = static_cast<Tag>(key / 3);
    const auto ns = static_cast<Namespace>(key % 3);
    const bool known = key / 3 < knownTagCount;
    ElementKind kind;
    auto add = [&kind](Chain c) { kind.chains |= 1u << c; };
    if (ns == html) {
        add(htmlElement);
        if (known && isIn(t, tagGroup::special)) {
            add(special);
            if (!isOneOf(t, {Tag::address, Tag::div, Tag::p})) add(specialForListItem);
        }
        if (known && isIn(t, tagGroup::scopeBoundary)) {
            add(defaultScope);
            add(buttonScope);
            add(listScope);
        }
        if (t == Tag::button) add(buttonScope);
        if (t == Tag::ol || t == Tag::ul) add(listScope);
        if (isOneOf(t, {Tag::html, Tag::table})) add(tableScope);
        if (isOneOf(t, {Tag::html, Tag::table, Tag::tbody, Tag::thead, Tag::tfoot, Tag::tr, Tag::td,
                        Tag::th, Tag::caption, Tag::colgroup, Tag::select, Tag::template_}))
            add(structural);
        if (known && isIn(t, tagGroup::heading)) add(heading);
        kind.hidden = known && isIn(t, tagGroup::hidden);
        kind.block = known && isIn(t, tagGroup::block);
        kind.endsMarkerScope = isOneOf(t, {Tag::td, Tag::th, Tag::caption, Tag::template_,
                                           Tag::applet, Tag::marquee, Tag::object});
        switch (known ? t : Tag::firstOther) {
            case Tag::table: kind.mode = Mode::table; break;
            case Tag::tbody:
            case Tag::thead:
            case Tag::tfoot: kind.mode = Mode::tableBody; break;
            case Tag::tr: kind.mode = Mode::row; break;
            case Tag::td:
            case Tag::th: kind.mode = Mode::cell; break;
            case Tag::caption: kind.mode = Mode::caption; break;
            case Tag::colgroup: kind.mode = Mode::columnGroup; break;
            case Tag::select: kind.mode = Mode::select; break;
            default: break;
        }
    } else {
        const bool boundary =
            ns == svg
                ? isOneOf(t, {Tag::foreignobject, Tag::desc, Tag::title})
                : isOneOf(t, {Tag::mi, Tag::mo, Tag::mn, Tag::ms, Tag::mtext, Tag::annotation_xml});
        if (boundary) {
            for (Chain c : {special, specialForListItem, defaultScope, buttonScope, listScope})
                add(c);
        }
        kind.htmlIntegrationPoint = ns == svg && boundary;
        kind.hidden = known && isOneOf(t, {Tag::script, Tag::style, Tag::template_, Tag::head,
                                           Tag::noscript, Tag::rp});
    }
    return kind;
}

const std::vector<TableTreeBuilder::ElementKind> TableTreeBuilder::kinds_ = [] {
    std::vector<ElementKind> all(knownTagCount * 3);
    for (std::uint32_t k = 0; k < all.size(); ++k) all[k] = describe(k);
    all.push_back(describe(knownTagCount * 3 + html));
    all.push_back(describe(knownTagCount * 3 + svg));
    return all;
}();

// Inserts an element for `key`: where its text goes and whether it is hidden follow from the
// element it goes into, or, while foster parenting, from the place in front of the table.
void TableTreeBuilder::push(std::uint32_t key, const StartTag* tag, bool ownHidden) {
    const auto position = static_cast<std::int32_t>(stack_.size());
    const ElementKind& kind = kindOf(key);
    const Tag t = static_cast<Tag>(key / 3);
    const auto ns = static_cast<Namespace>(key % 3);
    Element e{};
    e.key = key;
    e.chains = kind.chains;
    e.block = kind.block;
    e.htmlIntegrationPoint = kind.htmlIntegrationPoint;
    e.mode = kind.mode;
    ownHidden = ownHidden || kind.hidden;
    if (ns == math && t == Tag::annotation_xml && tag && tag->has(Attribute::encoding)) {
        const std::string encoding = lowerAscii(tag->value(Attribute::encoding));
        e.htmlIntegrationPoint = encoding == "text/html" || encoding == "application/xhtml+xml";
    }
    if (tag) ownHidden = ownHidden || hidesContent(*tag);
    e.ownHidden = ownHidden;
    bool parentHidden = false;
    e.target = -1;
    if (!stack_.empty()) {
        if (fosterParenting_ && currentIsTableish()) {
            const OpenTable& table = openTables_[stack_[topOf(keyOf(Tag::table))].table];
            parentHidden = table.parentHidden;
            e.target = table.fosterTarget;
        } else {
            parentHidden = current().hidden;
            e.target = current().target;
        }
    }
    e.hidden = parentHidden || ownHidden;
    e.table = openTables_.empty() ? -1 : static_cast<std::int32_t>(openTables_.size()) - 1;
    if (ns == html && (t == Tag::td || t == Tag::th)) e.target = e.table;
    if (ns == html && (t == Tag::caption || t == Tag::table)) e.target = -1;
    for (std::uint32_t bits = e.chains; bits != 0; bits &= bits - 1) {
        const int c = __builtin_ctz(bits);
        e.previous[c] = chainTop_[c];
        chainTop_[c] = position;
    }
    e.previousSameName = nameTop_[key];
    nameTop_[key] = position;
    stack_.push_back(e);
    if (e.block) lineBreakAt(e);
}

void TableTreeBuilder::pop() {
    const auto position = static_cast<std::int32_t>(stack_.size()) - 1;
    const Element& e = stack_.back();
    if (nsOf(e) == html && e.key / 3 < knownTagCount) {
        switch (tagOf(e)) {
            case Tag::td:
            case Tag::th: {
                OpenTable& table = openTables_[e.table];
                table.row.push_back({table.cell.take(), table.colspan, table.rowspan,
                                     std::move(table.cellLink), tagOf(e) == Tag::th});
                table.cellLink.reset();
                break;
            }
            case Tag::tr: {
                OpenTable& table = openTables_[e.table];
                const size_t width = table.row.size();
                table.groupRows.push_back(std::move(table.row));
                table.row.clear();
                table.row.reserve(width);  // the next row is most likely as wide
                break;
            }
            case Tag::thead:
            case Tag::tbody:
            case Tag::tfoot: {
                OpenTable& table = openTables_[e.table];
                const bool head = tagOf(e) == Tag::thead, foot = tagOf(e) == Tag::tfoot;
                std::vector<Row>& out = head   ? table.headRows
                                        : foot ? table.footRows
                                               : table.bodyRows;
                std::vector<RowLinks>& links = head   ? table.headLinks
                                               : foot ? table.footLinks
                                                      : table.bodyLinks;
                if (!head && !foot) countHeaderCellRows(table);
                if (!budget_.exceeded())
                    layOutRowGroup(table.groupRows, spans_, budget_, out,
                                   links_ ? &links : nullptr);
                table.groupRows.clear();
                break;
            }
            case Tag::table: endTableElement(e); break;
            default: break;
        }
        if (kindOf(e.key).endsMarkerScope) {
            for (size_t i = formatting_.size(); i-- > 0;) {
                if (!formatting_[i].marker) continue;
                if (formatting_[i].position == position) formatting_.resize(i);
                break;
            }
        }
    }
    if (e.formattingEntry >= 0) formatting_[e.formattingEntry].position = -1;
    if (e.block) lineBreakAt(e);
    for (std::uint32_t bits = e.chains; bits != 0; bits &= bits - 1) {
        const int c = __builtin_ctz(bits);
        if (chainTop_[c] == position) chainTop_[c] = e.previous[c];
    }
    if (nameTop_[e.key] == position) nameTop_[e.key] = e.previousSameName;
    if (formPosition_ == position) formPosition_ = -1;
    stack_.pop_back();
}

// A shown table ends a line of the cell around it; the text moved in front of it stays on
// the line before.
void TableTreeBuilder::endTableElement(const Element& e) {
    OpenTable& table = openTables_[e.table];
    if (!e.hidden && table.fosterTarget >= 0) openTables_[table.fosterTarget].cell.lineBreak();
    BrowserTable& result = tables_[table.result];
    result.sections = {table.headRows.size(), table.headerCellRows, table.footRows.size()};
    for (auto* part : {&table.headRows, &table.bodyRows, &table.footRows}) {
        for (Row& row : *part) result.rows.push_back(std::move(row));
    }
    for (auto* part : {&table.headLinks, &table.bodyLinks, &table.footLinks}) {
        for (RowLinks& links : *part) result.rowLinks.push_back(std::move(links));
    }
    openTables_.pop_back();
}

// Extends the run of <th>-only rows at the start of the body over the body group about to be
// laid out, while the body holds nothing else yet.
void TableTreeBuilder::countHeaderCellRows(OpenTable& table) {
    if (table.headerCellRows != table.bodyRows.size()) return;
    for (const PendingRow& row : table.groupRows) {
        const bool onlyHeaderCells =
            !row.empty() &&
            std::all_of(row.begin(), row.end(), [](const PendingCell& c) { return c.header; });
        if (!onlyHeaderCells) return;
        ++table.headerCellRows;
    }
}

void TableTreeBuilder::popUntil(std::uint32_t key) {
    const std::int32_t position = topOf(key);
    if (position > 0) popUntilPosition(position);
}

void TableTreeBuilder::popUntilPosition(std::int32_t position) {
    while (static_cast<std::int32_t>(stack_.size()) > std::max(position, 1)) pop();
}

void TableTreeBuilder::generateImpliedEndTags(std::uint32_t except) {
    while (stack_.size() > 1 && nsOf(current()) == html && current().key != except &&
           current().key / 3 < knownTagCount && isIn(tagOf(current()), tagGroup::impliedEnd))
        pop();
}

bool TableTreeBuilder::currentIsTableish() const {
    const Element& e = current();
    return nsOf(e) == html &&
           isOneOf(tagOf(e), {Tag::table, Tag::tbody, Tag::thead, Tag::tfoot, Tag::tr});
}

bool TableTreeBuilder::inForeignContent() const {
    return nsOf(current()) != html;
}

// Text that goes to no cell, or only into hidden elements, where characters() does nothing
// else with it: in foreign content, and in the modes where it only reopens formatting
// elements first (which the same text does whatever its references stand for).
bool TableTreeBuilder::dropsText() const {
    const Element& top = current();
    if (!top.hidden && top.target >= 0) return false;
    if (nsOf(top) != html && !top.htmlIntegrationPoint &&
        !(nsOf(top) == math &&
          isOneOf(tagOf(top), {Tag::mi, Tag::mo, Tag::mn, Tag::ms, Tag::mtext})))
        return true;
    switch (mode()) {
        case Mode::body:
        case Mode::cell:
        case Mode::caption:
        case Mode::select:
        case Mode::selectInTable: return true;
        default: return false;
    }
}

// ---- formatting elements ----

void TableTreeBuilder::insertMarker() {
    formatting_.push_back({true, static_cast<std::int32_t>(stack_.size()) - 1, 0, false, 0});
}

void TableTreeBuilder::removeFormattingEntry(size_t index) {
    formatting_.erase(formatting_.begin() + static_cast<std::ptrdiff_t>(index));
    for (size_t i = index; i < formatting_.size(); ++i) {
        if (!formatting_[i].marker && formatting_[i].position >= 0)
            stack_[formatting_[i].position].formattingEntry = static_cast<std::int32_t>(i);
    }
}

// The element just pushed joins the list; of three alike after the last marker the earliest
// leaves it, and the list after the marker is kept short.
void TableTreeBuilder::pushFormatting(const StartTag& tag) {
    size_t first = formatting_.size();
    while (first > 0 && !formatting_[first - 1].marker) --first;
    size_t alike = 0, earliest = 0;
    for (size_t i = formatting_.size(); i-- > first;) {
        if (formatting_[i].key == current().key &&
            formatting_[i].attributesHash == tag.attributesHash) {
            ++alike;
            earliest = i;
        }
    }
    if (alike >= 3) removeFormattingEntry(earliest);
    if (formatting_.size() - first >= formattingLimit) removeFormattingEntry(first);
    current().formattingEntry = static_cast<std::int32_t>(formatting_.size());
    formatting_.push_back({false, static_cast<std::int32_t>(stack_.size()) - 1, current().key,
                           current().ownHidden, tag.attributesHash});
}

void TableTreeBuilder::reopenFormatting() {
    size_t i = formatting_.size() - 1;
    while (i > 0 && !formatting_[i - 1].marker && formatting_[i - 1].position < 0) --i;
    for (; i < formatting_.size(); ++i) {
        FormattingEntry& entry = formatting_[i];
        push(entry.key, nullptr, entry.ownHidden);
        entry.position = static_cast<std::int32_t>(stack_.size()) - 1;
        current().formattingEntry = static_cast<std::int32_t>(i);
    }
}

// Misnested formatting end tags. When a block stands inside the formatting element, a
// browser moves nodes around; here the formatting element simply stops being open, which
// leaves the current element, and so where text goes, as the browser has it.
void TableTreeBuilder::adoptionAgency(std::uint32_t key) {
    if (current().key == key && current().formattingEntry < 0) {
        pop();
        return;
    }
    // The common case: the last formatting entry is of this name and is the current element,
    // with no scope boundary or special element at or above it. The search below would find
    // that entry and only pop the element and drop the entry.
    const auto top = static_cast<std::int32_t>(stack_.size()) - 1;
    if (!formatting_.empty() && !formatting_.back().marker && formatting_.back().key == key &&
        formatting_.back().position == top && top > 0 && chainTop_[defaultScope] < top &&
        chainTop_[special] < top) {
        pop();
        formatting_.pop_back();
        return;
    }
    size_t index = formatting_.size();
    while (index > 0 && !formatting_[index - 1].marker && formatting_[index - 1].key != key)
        --index;
    if (index == 0 || formatting_[index - 1].marker) {
        anyOtherEndTag(key);
        return;
    }
    --index;
    const std::int32_t position = formatting_[index].position;
    if (position < 0) {
        removeFormattingEntry(index);
        return;
    }
    if (position <= chainTop_[defaultScope]) return;
    if (chainTop_[special] < position) {
        popUntilPosition(position);
        removeFormattingEntry(index);
        return;
    }
    // A block inside: the browser moves the blocks above the formatting element out of it
    // (so they are hidden only by their own ancestors then), drops the other elements
    // between them, and closes what stands above the last block.
    std::int32_t lastBlock = chainTop_[special];
    popUntilPosition(lastBlock + 1);
    bool hidden = stack_[position - 1].hidden;
    for (std::int32_t i = position; i <= lastBlock; ++i) {
        Element& e = stack_[i];
        const bool isSpecial = (e.chains >> special) & 1u;
        const bool listed = e.formattingEntry >= 0 && i != position;
        if (isSpecial || listed) {
            const bool wasHidden = e.hidden;
            e.hidden = hidden || e.ownHidden;
            hidden = e.hidden;
            if (wasHidden && !e.hidden && e.block) lineBreakAt(e);  // its start now shows
            continue;
        }
        if (nameTop_[e.key] == i) nameTop_[e.key] = e.previousSameName;
        if (e.formattingEntry >= 0) formatting_[e.formattingEntry].position = -1;
        e.key = deadKey;
        e.mode = Mode::body;
        e.previousSameName = -1;
        e.formattingEntry = -1;
    }
    removeFormattingEntry(index);
}

// ---- text ----

void TableTreeBuilder::lineBreakAt(const Element& e) {
    if (!e.hidden && e.target >= 0) openTables_[e.target].cell.lineBreak();
}

// A line break where an element inserted now would stand (in front of the table while foster
// parenting).
void TableTreeBuilder::breakLineHere() {
    if (fosterParenting_ && currentIsTableish()) {
        const OpenTable& table = openTables_[stack_[topOf(keyOf(Tag::table))].table];
        if (!table.parentHidden && table.fosterTarget >= 0)
            openTables_[table.fosterTarget].cell.lineBreak();
        return;
    }
    lineBreakAt(current());
}

void TableTreeBuilder::insertText(std::string_view utf8) {
    const Element& e = current();
    if (!e.hidden && e.target >= 0) openTables_[e.target].cell.write(utf8);
}

// Text that stood in a table outside any cell: white space stays in the table, other text
// moves out in front of it, into the cell around the table if there is one.
void TableTreeBuilder::flushTableText() {
    if (tableText_.empty()) return;
    if (tableTextHasContent_) {
        const OpenTable& table = openTables_[stack_[topOf(keyOf(Tag::table))].table];
        if (!table.parentHidden && table.fosterTarget >= 0)
            openTables_[table.fosterTarget].cell.write(tableText_);
    }
    tableText_.clear();
    tableTextHasContent_ = false;
}

void TableTreeBuilder::characters(std::string_view utf8) {
    const Element& top = current();
    if (nsOf(top) != html && !top.htmlIntegrationPoint &&
        !(nsOf(top) == math &&
          isOneOf(tagOf(top), {Tag::mi, Tag::mo, Tag::mn, Tag::ms, Tag::mtext}))) {
        insertText(utf8);
        return;
    }
    switch (mode()) {
        case Mode::table:
        case Mode::tableBody:
        case Mode::row:
            if (currentIsTableish()) {
                tableText_ += utf8;
                if (!tableTextHasContent_)
                    tableTextHasContent_ = std::any_of(utf8.begin(), utf8.end(),
                                                       [](char c) { return !isHtmlSpace(c); });
                return;
            }
            insertText(utf8);
            return;
        case Mode::columnGroup: {
            size_t i = 0;
            while (i < utf8.size() && isHtmlSpace(utf8[i])) ++i;
            if (i == utf8.size()) return;
            if (!isHtml(current(), Tag::colgroup)) return;
            pop();
            characters(utf8.substr(i));
            return;
        }
        case Mode::select:
        case Mode::selectInTable: insertText(utf8); return;
        case Mode::body:
        case Mode::cell:
        case Mode::caption:
            reconstructFormatting();
            insertText(utf8);
            return;
    }
}

// ---- tags ----

void TableTreeBuilder::noteMeta(const StartTag& tag) {
    if (declaredCharset_) return;
    auto given = [&tag](Attribute a) {
        return tag.has(a) ? std::optional<std::string_view>(tag.value(a)) : std::nullopt;
    };
    declaredCharset_ = charsetFromMetaAttributes(
        given(Attribute::charset), given(Attribute::httpEquiv), given(Attribute::content));
}

// Links resolve against the first base element with an href wherever it stands, as in a
// browser; one inside a template is no part of the page.
void TableTreeBuilder::noteBase(const StartTag& tag) {
    if (baseHref_ || !tag.has(Attribute::href) || topOf(keyOf(Tag::template_)) >= 0) return;
    baseHref_ = std::string(tag.value(Attribute::href));
}

// The <a> just pushed: its href becomes its cell's link when the cell has none yet and the
// link shows. A link standing in a table outside its cells was moved in front of the table,
// so it goes with the cell its text goes to.
void TableTreeBuilder::noteLink(const StartTag& tag) {
    if (!links_ || !tag.has(Attribute::href)) return;
    const Element& e = current();
    if (e.hidden || e.target < 0) return;
    OpenTable& table = openTables_[e.target];
    if (!table.cellLink) table.cellLink = std::string(tag.value(Attribute::href));
}

void TableTreeBuilder::startTag(const StartTag& tag) {
    flushTableText();
    const std::uint32_t key = keyOfName(tag.tag, tag.name, html);
    const Element& top = current();
    if (nsOf(top) != html) {
        const bool textPoint = nsOf(top) == math && isOneOf(tagOf(top), {Tag::mi, Tag::mo, Tag::mn,
                                                                         Tag::ms, Tag::mtext});
        const bool htmlRules =
            (textPoint && tag.tag != Tag::mglyph && tag.tag != Tag::malignmark) ||
            (nsOf(top) == math && tagOf(top) == Tag::annotation_xml && tag.tag == Tag::svg) ||
            top.htmlIntegrationPoint;
        if (!htmlRules) {
            startForeign(tag, key);
            return;
        }
    }
    dispatchStart(tag, key);
}

void TableTreeBuilder::startForeign(const StartTag& tag, std::uint32_t key) {
    const bool breaksOut =
        isIn(tag.tag, tagGroup::breaksOutOfForeign) ||
        (tag.tag == Tag::font &&
         (tag.has(Attribute::color) || tag.has(Attribute::face) || tag.has(Attribute::size)));
    if (breaksOut) {
        while (stack_.size() > 1 && nsOf(current()) != html && !current().htmlIntegrationPoint &&
               !(nsOf(current()) == math &&
                 isOneOf(tagOf(current()), {Tag::mi, Tag::mo, Tag::mn, Tag::ms, Tag::mtext})))
            pop();
        dispatchStart(tag, key);
        return;
    }
    push(keyOfName(tag.tag, tag.name, nsOf(current())), &tag, false);
    if (tag.selfClosing) pop();
}

void TableTreeBuilder::dispatchStart(const StartTag& tag, std::uint32_t key) {
    const Tag t = tag.tag;
    switch (mode()) {
        case Mode::body: startInBody(tag, key); return;
        case Mode::table: startInTable(tag, key); return;
        case Mode::tableBody:
            if (t == Tag::tr) {
                clearBackTo({Tag::tbody, Tag::thead, Tag::tfoot, Tag::template_, Tag::html});
                pushHtml(Tag::tr, &tag);
            } else if (t == Tag::th || t == Tag::td) {
                clearBackTo({Tag::tbody, Tag::thead, Tag::tfoot, Tag::template_, Tag::html});
                pushHtml(Tag::tr, nullptr);
                dispatchStart(tag, key);
            } else if (isOneOf(t, {Tag::caption, Tag::col, Tag::colgroup, Tag::tbody, Tag::tfoot,
                                   Tag::thead})) {
                if (!inScope(Tag::tbody, tableScope) && !inScope(Tag::thead, tableScope) &&
                    !inScope(Tag::tfoot, tableScope))
                    return;
                clearBackTo({Tag::tbody, Tag::thead, Tag::tfoot, Tag::template_, Tag::html});
                pop();
                dispatchStart(tag, key);
            } else {
                startInTable(tag, key);
            }
            return;
        case Mode::row:
            if (t == Tag::th || t == Tag::td) {
                clearBackTo({Tag::tr, Tag::template_, Tag::html});
                OpenTable& table = openTables_.back();
                table.colspan =
                    tag.has(Attribute::colspan) ? parseColspan(tag.value(Attribute::colspan)) : 1;
                table.rowspan =
                    tag.has(Attribute::rowspan) ? parseRowspan(tag.value(Attribute::rowspan)) : 1;
                pushHtml(t, &tag);
                insertMarker();
            } else if (isOneOf(t, {Tag::caption, Tag::col, Tag::colgroup, Tag::tbody, Tag::tfoot,
                                   Tag::thead, Tag::tr})) {
                if (!inScope(Tag::tr, tableScope)) return;
                clearBackTo({Tag::tr, Tag::template_, Tag::html});
                pop();
                dispatchStart(tag, key);
            } else {
                startInTable(tag, key);
            }
            return;
        case Mode::cell:
            if (isOneOf(t, {Tag::caption, Tag::col, Tag::colgroup, Tag::tbody, Tag::td, Tag::tfoot,
                            Tag::th, Tag::thead, Tag::tr})) {
                if (!inScope(Tag::td, tableScope) && !inScope(Tag::th, tableScope)) return;
                closeCell();
                dispatchStart(tag, key);
            } else {
                startInBody(tag, key);
            }
            return;
        case Mode::caption:
            if (isOneOf(t, {Tag::caption, Tag::col, Tag::colgroup, Tag::tbody, Tag::td, Tag::tfoot,
                            Tag::th, Tag::thead, Tag::tr})) {
                if (!inScope(Tag::caption, tableScope)) return;
                generateImpliedEndTags();
                popUntil(keyOf(Tag::caption));
                dispatchStart(tag, key);
            } else {
                startInBody(tag, key);
            }
            return;
        case Mode::columnGroup:
            if (t == Tag::html) return;
            if (t == Tag::col) return;
            if (t == Tag::template_) {
                startInBody(tag, key);
                return;
            }
            if (!isHtml(current(), Tag::colgroup)) return;
            pop();
            dispatchStart(tag, key);
            return;
        case Mode::selectInTable:
            if (isOneOf(t, {Tag::caption, Tag::table, Tag::tbody, Tag::tfoot, Tag::thead, Tag::tr,
                            Tag::td, Tag::th})) {
                popUntil(keyOf(Tag::select));
                dispatchStart(tag, key);
                return;
            }
            startInSelect(tag, key);
            return;
        case Mode::select: startInSelect(tag, key); return;
    }
}

void TableTreeBuilder::clearBackTo(std::initializer_list<Tag> tags) {
    while (stack_.size() > 1 && !(nsOf(current()) == html && isOneOf(tagOf(current()), tags)))
        pop();
}

void TableTreeBuilder::closeCell() {
    generateImpliedEndTags();
    popUntilPosition(std::max(topOf(keyOf(Tag::td)), topOf(keyOf(Tag::th))));
}

void TableTreeBuilder::closeParagraph() {
    if (!inScope(Tag::p, buttonScope)) return;
    generateImpliedEndTags(keyOf(Tag::p));
    popUntil(keyOf(Tag::p));
}

void TableTreeBuilder::startInTable(const StartTag& tag, std::uint32_t key) {
    const Tag t = tag.tag;
    switch (t) {
        case Tag::caption:
            clearBackTo({Tag::table, Tag::template_, Tag::html});
            pushHtml(Tag::caption, &tag);
            insertMarker();
            return;
        case Tag::colgroup:
            clearBackTo({Tag::table, Tag::template_, Tag::html});
            pushHtml(Tag::colgroup, &tag);
            return;
        case Tag::col:
            clearBackTo({Tag::table, Tag::template_, Tag::html});
            pushHtml(Tag::colgroup, nullptr);
            dispatchStart(tag, key);
            return;
        case Tag::tbody:
        case Tag::tfoot:
        case Tag::thead:
            clearBackTo({Tag::table, Tag::template_, Tag::html});
            pushHtml(t, &tag);
            return;
        case Tag::td:
        case Tag::th:
        case Tag::tr:
            clearBackTo({Tag::table, Tag::template_, Tag::html});
            pushHtml(Tag::tbody, nullptr);
            dispatchStart(tag, key);
            return;
        case Tag::table:
            if (!inScope(Tag::table, tableScope)) return;
            popUntil(keyOf(Tag::table));
            dispatchStart(tag, key);
            return;
        case Tag::style:
        case Tag::script:
        case Tag::template_: startInBody(tag, key); return;
        case Tag::input:
            if (tag.has(Attribute::type) && lowerAscii(tag.value(Attribute::type)) == "hidden")
                return;
            break;
        case Tag::form:
            if (formPointerSet_ || topOf(keyOf(Tag::template_)) >= 0) return;
            formPointerSet_ = true;
            return;
        default: break;
    }
    fosterParenting_ = true;
    startInBody(tag, key);
    fosterParenting_ = false;
}

void TableTreeBuilder::startInSelect(const StartTag& tag, std::uint32_t key) {
    switch (tag.tag) {
        case Tag::html: return;
        case Tag::option:
            if (isHtml(current(), Tag::option)) pop();
            pushHtml(Tag::option, &tag);
            return;
        case Tag::optgroup:
        case Tag::hr:
            if (isHtml(current(), Tag::option)) pop();
            if (isHtml(current(), Tag::optgroup)) pop();
            if (tag.tag == Tag::optgroup) pushHtml(Tag::optgroup, &tag);
            return;
        case Tag::select: popUntil(keyOf(Tag::select)); return;
        case Tag::input:
        case Tag::keygen:
        case Tag::textarea:
            if (topOf(keyOf(Tag::select)) < 0) return;
            popUntil(keyOf(Tag::select));
            dispatchStart(tag, key);
            return;
        case Tag::script:
        case Tag::template_: startInBody(tag, key); return;
        default: return;
    }
}

void TableTreeBuilder::startTable(const StartTag& tag) {
    BrowserTable table;
    if (tag.has(Attribute::id)) {
        table.name = fromUtf8(tag.value(Attribute::id));
        table.named = true;
    } else if (tag.has(Attribute::class_)) {
        table.name = fromUtf8(tag.value(Attribute::class_));
        table.named = true;
    }
    const bool insideHidden = current().hidden;
    const std::int32_t around = current().target;
    tables_.push_back(std::move(table));
    OpenTable& open = openTables_.emplace_back(CellTextWriter(keepLineBreaks_));
    open.result = static_cast<std::int32_t>(tables_.size()) - 1;
    open.parentHidden = insideHidden;
    open.fosterTarget = around;
    pushHtml(Tag::table, &tag);
}

void TableTreeBuilder::startInBody(const StartTag& tag, std::uint32_t key) {
    const Tag t = tag.tag;
    auto pushElement = [&] { push(key, &tag, false); };
    switch (t) {
        case Tag::html:
        case Tag::body:
        case Tag::frameset:
        case Tag::frame:
        case Tag::head:
        case Tag::caption:
        case Tag::col:
        case Tag::colgroup:
        case Tag::tbody:
        case Tag::td:
        case Tag::tfoot:
        case Tag::th:
        case Tag::thead:
        case Tag::tr:
        case Tag::basefont:
        case Tag::bgsound:
        case Tag::link:
        case Tag::param:
        case Tag::source:
        case Tag::track: return;
        case Tag::meta: noteMeta(tag); return;
        case Tag::base: noteBase(tag); return;
        case Tag::title:
            pushElement();
            setContent(ContentState::rcdata);
            return;
        case Tag::noframes:
        case Tag::style:
        case Tag::noscript:
        case Tag::iframe:
        case Tag::noembed:
            pushElement();
            setContent(ContentState::rawtext);
            return;
        case Tag::script:
            pushElement();
            setContent(ContentState::scriptData);
            return;
        case Tag::template_:
            pushElement();
            insertMarker();
            return;
        case Tag::h1:
        case Tag::h2:
        case Tag::h3:
        case Tag::h4:
        case Tag::h5:
        case Tag::h6:
            closeParagraph();
            if (nsOf(current()) == html && current().key / 3 < knownTagCount &&
                isIn(tagOf(current()), tagGroup::heading))
                pop();
            pushElement();
            return;
        case Tag::form:
            if (formPointerSet_ && topOf(keyOf(Tag::template_)) < 0) return;
            closeParagraph();
            pushElement();
            if (topOf(keyOf(Tag::template_)) < 0) {
                formPointerSet_ = true;
                formPosition_ = static_cast<std::int32_t>(stack_.size()) - 1;
            }
            return;
        case Tag::li:
        case Tag::dd:
        case Tag::dt: {
            const std::int32_t topSpecial = chainTop_[specialForListItem];
            if (topSpecial >= 0) {
                const Element& e = stack_[topSpecial];
                const bool closes =
                    t == Tag::li ? isHtml(e, Tag::li) : (isHtml(e, Tag::dd) || isHtml(e, Tag::dt));
                if (closes) {
                    generateImpliedEndTags(e.key);
                    popUntilPosition(topSpecial);
                }
            }
            closeParagraph();
            pushElement();
            return;
        }
        case Tag::plaintext:
            closeParagraph();
            pushElement();
            setContent(ContentState::plaintext);
            return;
        case Tag::button:
            if (inScope(Tag::button)) {
                generateImpliedEndTags();
                popUntil(keyOf(Tag::button));
            }
            reconstructFormatting();
            pushElement();
            return;
        case Tag::a: {
            for (size_t i = formatting_.size(); i-- > 0 && !formatting_[i].marker;) {
                if (formatting_[i].key != keyOf(Tag::a)) continue;
                adoptionAgency(keyOf(Tag::a));
                break;
            }
            reconstructFormatting();
            pushElement();
            pushFormatting(tag);
            noteLink(tag);
            return;
        }
        case Tag::nobr:
            reconstructFormatting();
            if (inScope(Tag::nobr)) {
                adoptionAgency(key);
                reconstructFormatting();
            }
            pushElement();
            pushFormatting(tag);
            return;
        case Tag::b:
        case Tag::big:
        case Tag::code:
        case Tag::em:
        case Tag::font:
        case Tag::i:
        case Tag::s:
        case Tag::small:
        case Tag::strike:
        case Tag::strong:
        case Tag::tt:
        case Tag::u:
            reconstructFormatting();
            pushElement();
            pushFormatting(tag);
            return;
        case Tag::applet:
        case Tag::marquee:
        case Tag::object:
            reconstructFormatting();
            pushElement();
            insertMarker();
            return;
        case Tag::table:
            if (!quirks_) closeParagraph();
            startTable(tag);
            return;
        case Tag::br:
            reconstructFormatting();
            if (!hidesContent(tag)) breakLineHere();
            return;
        case Tag::area:
        case Tag::embed:
        case Tag::img:
        case Tag::image:
        case Tag::keygen:
        case Tag::wbr:
        case Tag::input: reconstructFormatting(); return;
        case Tag::hr:
            closeParagraph();
            if (!hidesContent(tag)) breakLineHere();
            return;
        case Tag::textarea:
            pushElement();
            setContent(ContentState::rcdata);
            return;
        case Tag::xmp:
            closeParagraph();
            reconstructFormatting();
            pushElement();
            setContent(ContentState::rawtext);
            return;
        case Tag::select:
            reconstructFormatting();
            pushElement();
            current().mode = topOf(keyOf(Tag::table)) > topOf(keyOf(Tag::template_))
                                 ? Mode::selectInTable
                                 : Mode::select;
            return;
        case Tag::optgroup:
        case Tag::option:
            if (isHtml(current(), Tag::option)) pop();
            reconstructFormatting();
            pushElement();
            return;
        case Tag::rb:
        case Tag::rtc:
            if (inScope(Tag::ruby)) generateImpliedEndTags();
            pushElement();
            return;
        case Tag::rp:
        case Tag::rt:
            if (inScope(Tag::ruby)) generateImpliedEndTags(keyOf(Tag::rtc));
            pushElement();
            return;
        case Tag::math:
        case Tag::svg:
            reconstructFormatting();
            push(keyOf(t, t == Tag::svg ? svg : math), &tag, false);
            if (tag.selfClosing) pop();
            return;
        default:
            if (t != Tag::firstOther && isIn(t, tagGroup::closesParagraph)) {
                closeParagraph();
            } else {
                reconstructFormatting();
            }
            pushElement();
            return;
    }
}

void TableTreeBuilder::endTag(Tag tag, std::string_view name) {
    flushTableText();
    const std::uint32_t key = keyOfName(tag, name, html);
    if (nsOf(current()) != html && endForeign(key)) return;
    dispatchEnd(tag, key);
}

// An end tag in svg or math content closes the topmost foreign element of its name when no
// HTML element stands above that one; otherwise the HTML rules take it.
bool TableTreeBuilder::endForeign(std::uint32_t key) {
    const std::uint32_t name = key / 3;
    const std::int32_t foreign = std::max(topOf(name * 3 + svg), topOf(name * 3 + math));
    if (foreign <= chainTop_[htmlElement]) return false;
    popUntilPosition(foreign);
    return true;
}

void TableTreeBuilder::dispatchEnd(Tag t, std::uint32_t key) {
    switch (mode()) {
        case Mode::body: endInBody(t, key); return;
        case Mode::table: endInTable(t, key); return;
        case Mode::tableBody:
            if (isOneOf(t, {Tag::tbody, Tag::tfoot, Tag::thead})) {
                if (!inScope(key, tableScope)) return;
                clearBackTo({Tag::tbody, Tag::thead, Tag::tfoot, Tag::template_, Tag::html});
                pop();
            } else if (t == Tag::table) {
                if (!inScope(Tag::tbody, tableScope) && !inScope(Tag::thead, tableScope) &&
                    !inScope(Tag::tfoot, tableScope))
                    return;
                clearBackTo({Tag::tbody, Tag::thead, Tag::tfoot, Tag::template_, Tag::html});
                pop();
                dispatchEnd(t, key);
            } else if (!isOneOf(t, {Tag::body, Tag::caption, Tag::col, Tag::colgroup, Tag::html,
                                    Tag::td, Tag::th, Tag::tr})) {
                endInTable(t, key);
            }
            return;
        case Mode::row:
            if (t == Tag::tr) {
                if (!inScope(Tag::tr, tableScope)) return;
                clearBackTo({Tag::tr, Tag::template_, Tag::html});
                pop();
            } else if (t == Tag::table || isOneOf(t, {Tag::tbody, Tag::tfoot, Tag::thead})) {
                if (t != Tag::table && !inScope(key, tableScope)) return;
                if (!inScope(Tag::tr, tableScope)) return;
                clearBackTo({Tag::tr, Tag::template_, Tag::html});
                pop();
                dispatchEnd(t, key);
            } else if (!isOneOf(t, {Tag::body, Tag::caption, Tag::col, Tag::colgroup, Tag::html,
                                    Tag::td, Tag::th})) {
                endInTable(t, key);
            }
            return;
        case Mode::cell:
            if (t == Tag::td || t == Tag::th) {
                if (!inScope(key, tableScope)) return;
                generateImpliedEndTags();
                popUntil(key);
            } else if (isOneOf(t, {Tag::table, Tag::tbody, Tag::tfoot, Tag::thead, Tag::tr})) {
                if (!inScope(key, tableScope)) return;
                closeCell();
                dispatchEnd(t, key);
            } else if (!isOneOf(t, {Tag::body, Tag::caption, Tag::col, Tag::colgroup, Tag::html})) {
                endInBody(t, key);
            }
            return;
        case Mode::caption:
            if (t == Tag::caption || t == Tag::table) {
                if (!inScope(Tag::caption, tableScope)) return;
                generateImpliedEndTags();
                popUntil(keyOf(Tag::caption));
                if (t == Tag::table) dispatchEnd(t, key);
            } else if (!isOneOf(t, {Tag::body, Tag::col, Tag::colgroup, Tag::html, Tag::tbody,
                                    Tag::td, Tag::tfoot, Tag::th, Tag::thead, Tag::tr})) {
                endInBody(t, key);
            }
            return;
        case Mode::columnGroup:
            if (t == Tag::colgroup) {
                if (isHtml(current(), Tag::colgroup)) pop();
            } else if (t == Tag::template_) {
                endInBody(t, key);
            } else if (t != Tag::col && isHtml(current(), Tag::colgroup)) {
                pop();
                dispatchEnd(t, key);
            }
            return;
        case Mode::selectInTable:
            if (isOneOf(t, {Tag::caption, Tag::table, Tag::tbody, Tag::tfoot, Tag::thead, Tag::tr,
                            Tag::td, Tag::th})) {
                if (!inScope(key, tableScope)) return;
                popUntil(keyOf(Tag::select));
                dispatchEnd(t, key);
                return;
            }
            endInSelect(t, key);
            return;
        case Mode::select: endInSelect(t, key); return;
    }
}

void TableTreeBuilder::endInTable(Tag t, std::uint32_t key) {
    if (t == Tag::table) {
        if (!inScope(Tag::table, tableScope)) return;
        popUntil(keyOf(Tag::table));
        return;
    }
    if (isOneOf(t, {Tag::body, Tag::caption, Tag::col, Tag::colgroup, Tag::html, Tag::tbody,
                    Tag::td, Tag::tfoot, Tag::th, Tag::thead, Tag::tr}))
        return;
    if (t == Tag::template_) {
        endInBody(t, key);
        return;
    }
    fosterParenting_ = true;
    endInBody(t, key);
    fosterParenting_ = false;
}

void TableTreeBuilder::endInSelect(Tag t, std::uint32_t key) {
    switch (t) {
        case Tag::optgroup:
            if (isHtml(current(), Tag::option) && stack_.size() > 2 &&
                isHtml(stack_[stack_.size() - 2], Tag::optgroup))
                pop();
            if (isHtml(current(), Tag::optgroup)) pop();
            return;
        case Tag::option:
            if (isHtml(current(), Tag::option)) pop();
            return;
        case Tag::select: popUntil(keyOf(Tag::select)); return;
        case Tag::template_: endInBody(t, key); return;
        default: return;
    }
}

void TableTreeBuilder::endInBody(Tag t, std::uint32_t key) {
    if (isIn(t, tagGroup::formatting)) {
        adoptionAgency(key);
        return;
    }
    switch (t) {
        case Tag::template_:
            if (topOf(key) < 0) return;
            generateImpliedEndTags();
            popUntil(key);
            return;
        case Tag::body:
        case Tag::html: return;
        case Tag::address:
        case Tag::article:
        case Tag::aside:
        case Tag::blockquote:
        case Tag::button:
        case Tag::center:
        case Tag::details:
        case Tag::dialog:
        case Tag::dir:
        case Tag::div:
        case Tag::dl:
        case Tag::fieldset:
        case Tag::figcaption:
        case Tag::figure:
        case Tag::footer:
        case Tag::header:
        case Tag::hgroup:
        case Tag::listing:
        case Tag::main:
        case Tag::menu:
        case Tag::nav:
        case Tag::ol:
        case Tag::pre:
        case Tag::section:
        case Tag::summary:
        case Tag::ul:
        case Tag::applet:
        case Tag::marquee:
        case Tag::object:
            if (!inScope(key, defaultScope)) return;
            generateImpliedEndTags();
            popUntil(key);
            return;
        case Tag::form: {
            const std::int32_t position = formPosition_;
            formPointerSet_ = false;
            if (position < 0 || !inScope(key, defaultScope)) return;
            generateImpliedEndTags();
            popUntilPosition(position);
            return;
        }
        case Tag::p:
            if (!inScope(Tag::p, buttonScope)) push(key, nullptr, false);
            generateImpliedEndTags(key);
            popUntil(key);
            return;
        case Tag::li:
            if (!inScope(key, listScope)) return;
            generateImpliedEndTags(key);
            popUntil(key);
            return;
        case Tag::dd:
        case Tag::dt:
            if (!inScope(key, defaultScope)) return;
            generateImpliedEndTags(key);
            popUntil(key);
            return;
        case Tag::h1:
        case Tag::h2:
        case Tag::h3:
        case Tag::h4:
        case Tag::h5:
        case Tag::h6:
            if (chainTop_[heading] <= chainTop_[defaultScope]) return;
            generateImpliedEndTags();
            popUntilPosition(chainTop_[heading]);
            return;
        case Tag::br:
            reconstructFormatting();
            breakLineHere();
            return;
        default: anyOtherEndTag(key); return;
    }
}

void TableTreeBuilder::anyOtherEndTag(std::uint32_t key) {
    const std::int32_t position = topOf(key);
    if (position <= 0 || position < chainTop_[special]) return;
    generateImpliedEndTags(key);
    popUntilPosition(position);
}

void TableTreeBuilder::endOfFile() {
    flushTableText();
    while (stack_.size() > 1) pop();
    finished_ = true;
}

}  // namespace gridmint::browser
