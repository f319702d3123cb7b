// The part of the scan's state that every byte moves, and the step that moves it.
//
// For each byte b the scan runs these steps:
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
// ScanCore holds the flags and recognisers of steps 1, 4, 6, 7 and the table, row and cell
// recognisers of step 8; stepScanCore moves them and says, as ScanActions, what the rest of
// the scan must do with b. The table start tag's attribute work (steps 2, 3 and the id and
// class recognisers) lives in the scan pass itself. Because the core is small and its step
// depends on b only through a few byte classes, the scan compiles it into one automaton
// (ScanAutomaton); stepping the core directly is the reference that automaton is checked
// against.
#pragma once

#include <cstdint>

#include "Recognisers.h"
#include "TableTagAutomaton.h"

namespace gridmint {

// What the rest of the scan does with a byte. The low six bits are the table, row and cell
// completions (TableTagAutomaton::Completion), in the order the scan acts on them.
enum ScanAction : std::uint8_t {
    completionsMask = 0x3F,
    textByte = 1 << 6,     // a text byte outside scripts and comments: collect it in a table
    tagEndSpace = 1 << 7,  // a ">": leave one space in the cell text buffer
};

struct ScanCore {
    bool tag = false;
    bool script = false;
    bool comment = false;
    // Follows comment || script, but only on tag bytes and brackets: after "</script" it is
    // still set until the next such byte.
    bool isScriptOrComment = false;
    std::uint8_t dashCount = 0;  // dashes just seen inside a comment, at most 2
    ScriptRecogniser<TagKind::opener> scriptOpener;
    ScriptRecogniser<TagKind::closer> scriptCloser;
    TableTagAutomaton tableTags;  // table, row and cell start and end tags

    // Every field in a few bits, for finding a core among the automaton's states.
    std::uint32_t key() const {
        return static_cast<std::uint32_t>(tag) | static_cast<std::uint32_t>(script) << 1 |
               static_cast<std::uint32_t>(comment) << 2 |
               static_cast<std::uint32_t>(isScriptOrComment) << 3 |
               static_cast<std::uint32_t>(dashCount) << 4 |
               static_cast<std::uint32_t>(scriptOpener.state()) << 8 |
               static_cast<std::uint32_t>(scriptCloser.state()) << 16 |
               static_cast<std::uint32_t>(tableTags.state()) << 24;
    }
};

// Moves the core over b. What follows b matters twice: `opensComment` says whether b is a "<"
// followed by "!--", and `nameEndsAfter` whether the byte after b ends a tag name (or there is
// none), which a table, row or cell name needs after its last letter.
inline std::uint8_t stepScanCore(ScanCore& core, unsigned char b, bool opensComment,
                                 bool nameEndsAfter) {
    std::uint8_t actions = 0;

    // Step 1: tag or text. A tag byte is any byte inside a tag other than its ">".
    bool tagByte = false;
    if (b == '<' && !opensComment && !core.script) {
        core.tag = true;
        core.scriptOpener.reset();
        tagByte = true;
    } else if (b == '>' && core.dashCount != 2 && !core.script) {
        core.tag = false;
    } else {
        if (b == '<' && !opensComment) core.scriptOpener.reset();
        if (core.tag) {
            tagByte = true;
        } else if (b != '<' && b != '>' && !core.isScriptOrComment) {
            actions |= textByte;
        }
    }

    // Step 4: comments.
    if (core.comment) {
        if (b == '-') {
            if (core.dashCount < 2) ++core.dashCount;
        } else if (b == '>' && core.dashCount == 2) {
            core.comment = false;
            core.dashCount = 0;
        } else {
            core.dashCount = 0;
        }
    }
    if (opensComment) core.comment = true;

    // Step 5.
    if (b == '>') actions |= tagEndSpace;

    // Steps 6 and 7: scripts.
    if (tagByte || b == '<' || b == '>') {
        if (core.scriptOpener.feed(b)) core.script = true;
        core.isScriptOrComment = core.comment || core.script;
    }
    if (core.scriptCloser.feed(b)) core.script = false;

    // Step 8: tables, rows and cells.
    if (!core.isScriptOrComment) actions |= core.tableTags.feed(b, nameEndsAfter);
    return actions;
}

}  // namespace gridmint
