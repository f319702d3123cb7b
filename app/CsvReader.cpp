#include "CsvReader.h"

#include <algorithm>

namespace gridmint {

void CsvRecords::addField(std::string text) {
    fields_.push_back(std::move(text));
}

void CsvRecords::reserve(size_t records, size_t fields) {
    recordStarts_.reserve(records);
    fields_.reserve(fields);
}

void CsvRecords::endRecord() {
    maxFieldCount_ = std::max(maxFieldCount_, fieldCount(recordStarts_.size() - 1));
}

namespace {

// Walks the text once. A field is read in one of two ways, chosen by its first character:
// quoted (up to the closing quote, "" standing for one quote; anything between the closing
// quote and the next separator is kept as written) or bare (up to the next separator).
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    CsvRecords read() {
        reserveRoom();
        while (pos_ < text_.size()) readRecord();
        return std::move(records_);
    }

  private:
    // Every record but the last ends at a line end, and every field but a record's first at a
    // separator: counted over the whole text (quoted ones and "\r\n" included), they bound
    // the records and fields from above. Sized once, the lists of a big file are not copied
    // again and again as they grow, each copy touching fresh memory; room reserved for
    // separators inside quotes is never touched, so it costs address space, not memory.
    void reserveRoom() {
        const auto count = [this](char c) {
            return static_cast<size_t>(std::count(text_.begin(), text_.end(), c));
        };
        const size_t lineEnds = count('\n') + count('\r');
        records_.reserve(lineEnds + 1, lineEnds + count(',') + 1);
    }

    bool atLineEnd() const { return text_[pos_] == '\n' || text_[pos_] == '\r'; }

    // Consumes "\n", "\r\n" or a lone "\r".
    void skipLineEnd() {
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
        ++pos_;
    }

    void readRecord() {
        records_.startRecord();
        if (atLineEnd()) {  // a record without fields
            skipLineEnd();
            records_.endRecord();
            return;
        }
        for (;;) {
            records_.addField(readField());
            if (pos_ >= text_.size()) break;
            if (text_[pos_] == ',') {
                ++pos_;
                if (pos_ >= text_.size()) {  // a separator at the very end: one more, empty field
                    records_.addField({});
                    break;
                }
                continue;
            }
            skipLineEnd();
            break;
        }
        records_.endRecord();
    }

    std::string readField() {
        std::string field;
        if (text_[pos_] == '"') {
            ++pos_;
            readQuoted(field);
        }
        readBare(field);
        return field;
    }

    void readQuoted(std::string& field) {
        for (;;) {
            const size_t quote = text_.find('"', pos_);
            if (quote == std::string_view::npos) {  // left open: the rest of the text is the field
                field.append(text_.substr(pos_));
                pos_ = text_.size();
                return;
            }
            field.append(text_.substr(pos_, quote - pos_));
            pos_ = quote + 1;
            if (pos_ < text_.size() && text_[pos_] == '"') {
                field.push_back('"');
                ++pos_;
                continue;
            }
            return;
        }
    }

    void readBare(std::string& field) {
        const size_t end = text_.find_first_of(",\r\n", pos_);
        const size_t stop = end == std::string_view::npos ? text_.size() : end;
        field.append(text_.substr(pos_, stop - pos_));
        pos_ = stop;
    }

    std::string_view text_;
    size_t pos_ = 0;
    CsvRecords records_;
};

}  // namespace

CsvRecords readCsv(std::string_view text) {
    return Reader(text).read();
}

}  // namespace gridmint
