// The extraction engine's parser: made from bytes or text, it scans the whole page while it
// is being made, so a parser that exists is finished and only read afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "ByteBuffer.h"
#include "CellTextDecoder.h"
#include "Defaults.h"
#include "PaddedBytes.h"
#include "ResultDictionary.h"
#include "Table.h"
#include "Text.h"

namespace gridmint {

// How the scan pass walks the bytes. Both give identical results: byteAtATime applies every
// step to every byte and is the reference that the faster skipRuns is checked against.
enum class ScanMode { skipRuns, byteAtATime };

class HTMLTableParser {
  public:
    // The bytes route: settles the encoding (a charset declared in the page's head replaces
    // `useEncoding`), keeps the bytes and scans them. No parser (nullptr) for empty bytes.
    static std::unique_ptr<HTMLTableParser> initWithData(ByteBuffer bytes, TextEncoding useEncoding,
                                                         const Defaults& defaults,
                                                         ScanMode mode = ScanMode::skipRuns);
    // The text route: the text's UTF-8 bytes, scanned with encoding UTF-8 whatever charset
    // the text declares (the bytes are UTF-8 because we made them so).
    static std::unique_ptr<HTMLTableParser> initWithHTMLString(std::u16string_view html,
                                                               const Defaults& defaults);

    // The charset that the page declares before its body, or nothing.
    static std::optional<std::string> extractCharsetFromHTML(std::string_view bytes);
    // The encoding number for a charset name, 0 when no rule matches.
    static TextEncoding encodingForCharset(std::string_view charset);

    // The tables found, in the page's order of table ends.
    const ResultDictionary& getResultDictionary() const { return resultDictionary; }
    // The same tables handed over, leaving the parser without them: for a caller that keeps
    // the tables and drops the parser, so a big table is not copied cell by cell.
    ResultDictionary takeResultDictionary() { return std::move(resultDictionary); }
    // The page's bytes read as UTF-8, or the empty text when they are not valid UTF-8.
    Text getDataString() const;

    // The encoding in which cell text was decoded first.
    TextEncoding encoding() const { return useEncoding; }
    std::string_view bytes() const { return data.view(); }

    HTMLTableParser(const HTMLTableParser&) = delete;
    HTMLTableParser& operator=(const HTMLTableParser&) = delete;

    // Collection, driven by the scan pass.
    // Decodes a cell's collected bytes into the next cell of the row being built.
    void endTableData(PaddedBytes cellBytes);
    void endTableRow();
    void endTable();
    Text getCurrentClassOrId();
    Text getNoNameName();

    // Decodes one run of collected bytes into its final text.
    Text unescapedStringFromBuffer(const char* buffer, size_t length, bool returnsAreSeparators);
    // The same for bytes with a readable tail, which the decoder reads in blocks.
    Text unescapedStringFromBuffer(PaddedBytes bytes, bool returnsAreSeparators) {
        return cellDecoder.decode(bytes, returnsAreSeparators);
    }

  private:
    // The bytes route, with or without letting a declared charset replace the encoding.
    static std::unique_ptr<HTMLTableParser> makeParser(ByteBuffer bytes, TextEncoding useEncoding,
                                                       const Defaults& defaults,
                                                       bool honourDeclaredCharset, ScanMode mode);
    HTMLTableParser(ByteBuffer bytes, TextEncoding encoding, const Defaults& settings);

    void bigKahunaPass(ScanMode mode);
    void resetCollection();

    const Defaults* defaults;  // valid while the parser is being made; nothing reads it later
    TextEncoding useEncoding;
    std::optional<Text> currentTableClass;
    std::optional<Text> currentTableId;
    ByteBuffer data;
    size_t l;
    size_t counter = 0;
    bool isScriptOrComment = false;
    long noNameCounter = 0;
    ResultDictionary resultDictionary;
    // The table being built; the cells after its last row are the row being built.
    Table currentRowArray;
    CellTextDecoder cellDecoder;

    friend class ScanPass;
};

}  // namespace gridmint
