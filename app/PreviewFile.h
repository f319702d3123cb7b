// The preview file: the CSV of the table last shown, in one place per user, and the export
// that copies it. It holds no widget, so it can be tested and used without a window. Every
// failure is written to the log and handed back as a sentence for the user.
#pragma once

#include <QString>
#include <optional>

#include "CsvReader.h"
#include "Table.h"
#include "Text.h"

namespace gridmint {

class PreviewFile {
  public:
    // The folder and the file, whether or not they exist.
    static QString directory();
    static QString path();

    // The file's path, making its folder first when nothing stands there; nothing (and a log
    // line) when the folder cannot be made.
    std::optional<QString> getTempFilePath() const;

    // Replaces the file with the table's CSV, atomically: a failure leaves the earlier file.
    bool write(const Table& table, QString& error) const;
    // Deletes the file; a missing file is no failure.
    void remove() const;
    bool exists() const;
    // The records of the file as written; none when it cannot be read.
    CsvRecords readRecords() const;
    // Copies the file over `destination`, atomically; false with `error` when it could not.
    bool exportTo(const QString& destination, QString& error) const;
};

}  // namespace gridmint
