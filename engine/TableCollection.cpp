// Gathering cells into rows and rows into tables, and naming each stored table.
//
// One row and one table are being built at any time; the scan calls these operations at
// cell, row and table end tags without regard to nesting or order. A row exists only once it
// has a cell and a table is stored only once it has a row, so no stored table or row is empty.
// What is still being built when the scan ends is dropped. The table being built is packed
// (Table.h): each cell's text is written straight into its buffer, and the cells after its
// last row are the row being built.
#include <string>

#include "HTMLTableParser.h"
#include "Utf.h"

namespace gridmint {

void HTMLTableParser::endTableData(PaddedBytes cellBytes) {
    cellDecoder.decodeInto(cellBytes, true, currentRowArray);
}

void HTMLTableParser::endTableRow() {
    if (currentRowArray.pendingCells() != 0) currentRowArray.endRow();
}

// The row being built, if any, stays: its cells become the start of the next row ended.
void HTMLTableParser::endTable() {
    if (currentRowArray.empty()) return;
    Table rowBeingBuilt = currentRowArray.takePendingCells();
    resultDictionary.insertUnderUniqueName(getCurrentClassOrId(), std::move(currentRowArray));
    currentRowArray = std::move(rowBeingBuilt);
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
    currentRowArray = Table();
}

}  // namespace gridmint
