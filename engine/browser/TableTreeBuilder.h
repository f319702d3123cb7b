// The browser reading's table rules: HTML's tree construction reduced to what decides which
// tables exist, which cells they hold and what text each cell shows, without a tree. It keeps
// the stack of open elements (each with the cell its text goes to and whether it is hidden),
// the list of formatting elements that misnesting reopens, and per open table the row group
// and cell being built. Every query the rules make of the stack ("is a p in button scope?",
// "the topmost special element") is answered in constant time from chains of positions kept
// per name and per group, so hostile nesting stays linear.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "CellTextWriter.h"
#include "SpanLayout.h"
#include "Text.h"
#include "Token.h"
#include "Tokenizer.h"

namespace gridmint::browser {

struct BrowserTable {
    Text name;  // the table's id, else its class, else empty (named later)
    bool named = false;
    std::vector<Row> rows;
    std::vector<RowLinks> rowLinks;  // per row, when links are kept
    TableSections sections;
};

class TableTreeBuilder : public TokenSink {
  public:
    // With `links`, each cell's first shown <a href> is kept beside its text.
    TableTreeBuilder(SpanMode spans, bool keepLineBreaks, bool links = false);
    void attach(Tokenizer& tokenizer) { tokenizer_ = &tokenizer; }

    void characters(std::string_view utf8) override;
    void startTag(const StartTag& tag) override;
    void endTag(Tag tag, std::string_view name) override;
    void doctype(bool quirks) override { quirks_ = quirks; }
    void endOfFile() override;
    bool inForeignContent() const override;
    bool dropsText() const override;

    // The tables in the order they started, once the end of the page was met.
    std::vector<BrowserTable>& tables() { return tables_; }
    bool outputTooLarge() const { return budget_.exceeded(); }
    // The encoding that the first <meta> declaring a known one names.
    const std::optional<std::string>& declaredCharset() const { return declaredCharset_; }
    // The href of the first <base> that has one, as written: the page's base for its links.
    const std::optional<std::string>& baseHref() const { return baseHref_; }

  private:
    enum class Mode {
        body,
        table,
        tableBody,
        row,
        cell,
        caption,
        columnGroup,
        select,
        selectInTable
    };
    enum Chain : int {
        special,
        defaultScope,
        buttonScope,
        listScope,
        tableScope,
        structural,
        htmlElement,
        heading,
        specialForListItem,
        chainCount
    };
    enum Namespace : std::uint8_t { html = 0, svg = 1, math = 2 };

    struct Element {
        std::uint32_t key;     // name number * 3 + namespace
        std::uint32_t chains;  // one bit per Chain it belongs to
        std::int32_t target;   // the open table whose cell gets its text, or -1
        std::int32_t table;    // for table parts: their open table
        std::int32_t formattingEntry = -1;
        std::int32_t previousSameName;
        std::int32_t previous[chainCount];
        bool hidden;
        bool ownHidden;
        bool block;
        bool htmlIntegrationPoint;
        Mode mode;  // the insertion mode while it is the topmost structural element
    };

    struct ElementKind {
        std::uint32_t chains = 0;
        bool block = false;
        bool hidden = false;  // by its name alone
        bool htmlIntegrationPoint = false;
        bool endsMarkerScope = false;  // its end clears formatting elements back to its marker
        Mode mode = Mode::body;
    };
    static ElementKind describe(std::uint32_t key);
    // Every listed name in each namespace, then any other name in HTML and in foreign content.
    static const std::vector<ElementKind> kinds_;
    static const ElementKind& kindOf(std::uint32_t key) {
        constexpr std::uint32_t others = knownTagCount * 3;
        return kinds_[key < others ? key : others + (key % 3 == html ? 0 : 1)];
    }

    struct FormattingEntry {
        bool marker;
        std::int32_t position;  // on the stack, or -1; for a marker, its element's position
        std::uint32_t key;
        bool ownHidden;
        std::uint64_t attributesHash;
    };

    struct OpenTable {
        explicit OpenTable(CellTextWriter writer) : cell(std::move(writer)) {}
        std::int32_t result = -1;
        bool parentHidden = false;
        std::int32_t fosterTarget = -1;
        CellTextWriter cell;
        std::uint32_t colspan = 1, rowspan = 1;
        std::optional<std::string> cellLink;  // the open cell's first link
        std::vector<PendingRow> groupRows;
        PendingRow row;
        std::vector<Row> headRows, bodyRows, footRows;
        std::vector<RowLinks> headLinks, bodyLinks, footLinks;
        // The body rows so far start with this many rows of <th> cells only.
        std::size_t headerCellRows = 0;
    };

    static std::uint32_t keyOf(Tag tag, Namespace ns = html) {
        return static_cast<std::uint32_t>(tag) * 3 + ns;
    }
    std::uint32_t keyOfName(Tag tag, std::string_view name, Namespace ns) {
        return tag != Tag::firstOther ? keyOf(tag, ns) : keyOfOtherName(name, ns);
    }
    std::uint32_t keyOfOtherName(std::string_view name, Namespace ns);
    Tag tagOf(const Element& e) const { return static_cast<Tag>(e.key / 3); }
    Namespace nsOf(const Element& e) const { return static_cast<Namespace>(e.key % 3); }
    bool isHtml(const Element& e, Tag tag) const { return e.key == keyOf(tag); }
    Element& current() { return stack_.back(); }
    const Element& current() const { return stack_.back(); }

    // The stack.
    std::int32_t topOf(std::uint32_t key) const;
    std::int32_t topOfChain(Chain chain) const { return chainTop_[chain]; }
    // No element that bounds the scope stands above the topmost element of that name (which
    // may bound the scope itself).
    bool inScope(std::uint32_t key, Chain boundary) const {
        const std::int32_t position = topOf(key);
        return position > 0 && position >= chainTop_[boundary];
    }
    bool inScope(Tag tag, Chain boundary = defaultScope) const {
        return inScope(keyOf(tag), boundary);
    }
    void push(std::uint32_t key, const StartTag* tag, bool ownHidden);
    void pushHtml(Tag tag, const StartTag* attributes) { push(keyOf(tag), attributes, false); }
    void pop();
    void popUntil(std::uint32_t key);
    void popUntilPosition(std::int32_t position);
    void generateImpliedEndTags(std::uint32_t except = ~0u);
    Mode mode() const { return stack_[chainTop_[structural]].mode; }
    bool currentIsTableish() const;

    // Formatting elements.
    void pushFormatting(const StartTag& tag);
    // Reopens the formatting elements closed since the last marker, when the last one is.
    void reconstructFormatting() {
        if (!formatting_.empty() && !formatting_.back().marker && formatting_.back().position < 0)
            reopenFormatting();
    }
    void reopenFormatting();
    void removeFormattingEntry(size_t index);
    void clearFormattingToMarker();
    void adoptionAgency(std::uint32_t key);

    // Text.
    void insertText(std::string_view utf8);
    void flushTableText();
    void lineBreakAt(const Element& e);
    void breakLineHere();

    // Tokens by mode.
    void startInBody(const StartTag& tag, std::uint32_t key);
    void startInTable(const StartTag& tag, std::uint32_t key);
    void startInSelect(const StartTag& tag, std::uint32_t key);
    void endInTable(Tag tag, std::uint32_t key);
    void endInSelect(Tag tag, std::uint32_t key);
    void insertMarker();
    void setContent(ContentState state) {
        if (tokenizer_) tokenizer_->setContentState(state);
    }
    void endInBody(Tag tag, std::uint32_t key);
    void anyOtherEndTag(std::uint32_t key);
    void dispatchStart(const StartTag& tag, std::uint32_t key);
    void dispatchEnd(Tag tag, std::uint32_t key);
    void startForeign(const StartTag& tag, std::uint32_t key);
    bool endForeign(std::uint32_t key);
    void closeParagraph();
    void closeCell();
    void clearBackTo(std::initializer_list<Tag> tags);
    void startTable(const StartTag& tag);
    void endTableElement(const Element& e);
    void countHeaderCellRows(OpenTable& table);
    void noteMeta(const StartTag& tag);
    void noteBase(const StartTag& tag);
    void noteLink(const StartTag& tag);

    SpanMode spans_;
    bool keepLineBreaks_;
    bool links_;
    bool quirks_ = true;
    bool fosterParenting_ = false;
    Tokenizer* tokenizer_ = nullptr;
    std::vector<Element> stack_;
    std::vector<std::int32_t> nameTop_;
    std::int32_t chainTop_[chainCount];
    std::vector<FormattingEntry> formatting_;
    std::vector<OpenTable> openTables_;
    std::vector<BrowserTable> tables_;
    std::unordered_map<std::string, std::uint32_t> otherNames_;
    std::int32_t formPosition_ = -1;  // the open form element, or -1
    bool formPointerSet_ = false;
    std::string tableText_;
    bool tableTextHasContent_ = false;
    OutputBudget budget_;
    std::optional<std::string> declaredCharset_;
    std::optional<std::string> baseHref_;
    bool finished_ = false;
};

}  // namespace gridmint::browser
