// Reads CSV text into records of fields, so the preview can show a table file as a grid.
// It reads the RFC 4180 form that the CSV writer makes (every field quoted, a quote inside a
// field doubled) and, leniently, the looser forms found in the wild: unquoted fields, CRLF
// line ends, a stray quote inside an unquoted field, a quoted field left open at the end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace gridmint {

// All fields of all records in one flat list, so a table of 100,000 rows costs one
// allocation per field and none per record.
class CsvRecords {
  public:
    size_t recordCount() const { return recordStarts_.size(); }
    size_t fieldCount(size_t record) const { return recordEnd(record) - recordStarts_[record]; }
    // The most fields in any record: the width of the grid that shows the records.
    size_t maxFieldCount() const { return maxFieldCount_; }
    // The field's text (UTF-8, quotes removed and doubled quotes made single).
    const std::string& field(size_t record, size_t column) const {
        return fields_[recordStarts_[record] + column];
    }

    // Room for this many records and fields, so that the lists need not grow as they fill.
    void reserve(size_t records, size_t fields);
    void startRecord() { recordStarts_.push_back(fields_.size()); }
    void addField(std::string text);
    void endRecord();

  private:
    size_t recordEnd(size_t record) const {
        return record + 1 < recordStarts_.size() ? recordStarts_[record + 1] : fields_.size();
    }

    std::vector<std::string> fields_;
    std::vector<size_t> recordStarts_;
    size_t maxFieldCount_ = 0;
};

// Empty text gives no record; a line with nothing on it gives a record without fields.
CsvRecords readCsv(std::string_view text);

}  // namespace gridmint
