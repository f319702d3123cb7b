// Gathering cells into rows and rows into tables, and naming each stored table.
//
// One row and one table are being built at any time; the scan calls these operations at
// cell, row and table end tags without regard to nesting or order. A row exists only once it
// has a cell and a table is stored only once it has a row, so no stored table or row is empty.
// What is still being built when the scan ends is dropped.
#include <string>

#include "HTMLTableParser.h"
#include "Utf.h"

namespace gridmint {

void HTMLTableParser::endTableData(Text cell) {
    if (!currentDataArray) {
        currentDataArray.emplace();
        // Rows of a table are usually alike: room for as many cells as the last row had.
        currentDataArray->reserve(lastRowSize);
    }
    currentDataArray->push_back(std::move(cell));
}

void HTMLTableParser::endTableRow() {
    if (!currentDataArray) return;
    if (!currentRowArray) currentRowArray.emplace();
    lastRowSize = currentDataArray->size();
    currentRowArray->push_back(std::move(*currentDataArray));
    currentDataArray.reset();
}

// The row being built, if any, stays: its cells become the start of the next row ended.
void HTMLTableParser::endTable() {
    if (!currentRowArray) return;
    resultDictionary.insertUnderUniqueName(getCurrentClassOrId(), std::move(*currentRowArray));
    currentRowArray.reset();
}

// The id of the last table start tag that had one (an empty id counts), else its class,
// else a generated name.
Text HTMLTableParser::getCurrentClassOrId() {
    if (currentTableId) return *currentTableId;
    if (currentTableClass) return *currentTableClass;
    return getNoNameName();
}

Text HTMLTableParser::getNoNameName() {
    ++noNameCounter;
    return u"noclass " + fromUtf8(std::to_string(noNameCounter));
}

void HTMLTableParser::resetCollection() {
    isScriptOrComment = false;
    noNameCounter = 0;
    currentTableClass.reset();
    currentTableId.reset();
    resultDictionary = ResultDictionary();
    currentRowArray.reset();
    currentDataArray.reset();
}

}  // namespace gridmint
