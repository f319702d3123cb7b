// The preview's CSV reader: it must read back exactly what the CSV writer writes, and read
// the looser CSV of other programs without losing text.
#include <QtTest>

#include "AppTestMain.h"
#include "CsvReader.h"
#include "CsvWriter.h"
#include "Utf.h"

using gridmint::CsvRecords;
using Records = QList<QStringList>;

namespace {

Records toList(const CsvRecords& records) {
    Records list;
    for (size_t r = 0; r < records.recordCount(); ++r) {
        QStringList fields;
        for (size_t c = 0; c < records.fieldCount(r); ++c) {
            fields << QString::fromStdString(records.field(r, c));
        }
        list << fields;
    }
    return list;
}

gridmint::Table toTable(const Records& records) {
    gridmint::Table table;
    for (const QStringList& record : records) {
        for (const QString& field : record) table.appendCell(field.toStdU16String());
        table.endRow();
    }
    return table;
}

}  // namespace

class CsvReaderTest : public QObject {
    Q_OBJECT
  private slots:
    void readsText_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Records>("expected");
        QTest::newRow("nothing") << QByteArray() << Records{};
        QTest::newRow("one record") << QByteArray(R"("a","b","c")") << Records{{"a", "b", "c"}};
        QTest::newRow("two records") << QByteArray("\"x\"\n\"y\"") << Records{{"x"}, {"y"}};
        QTest::newRow("doubled quotes")
            << QByteArray(R"("say ""hi""")") << Records{{R"(say "hi")"}};
        QTest::newRow("separators inside quotes")
            << QByteArray("\"a,b\",\"c\nd\",\"e\r\nf\"") << Records{{"a,b", "c\nd", "e\r\nf"}};
        QTest::newRow("empty fields") << QByteArray(R"("","")") << Records{{"", ""}};
        QTest::newRow("record without fields")
            << QByteArray("\"a\"\n\n\"b\"") << Records{{"a"}, {}, {"b"}};
        QTest::newRow("ragged") << QByteArray("\"a\"\n\"b\",\"c\",\"d\"")
                                << Records{{"a"}, {"b", "c", "d"}};
        QTest::newRow("bare fields, CRLF")
            << QByteArray("a,b\r\nc,d") << Records{{"a", "b"}, {"c", "d"}};
        QTest::newRow("final line end") << QByteArray("\"a\"\n") << Records{{"a"}};
        QTest::newRow("separator at the end") << QByteArray("a,") << Records{{"a", ""}};
        QTest::newRow("quote left open") << QByteArray("\"ab\nc") << Records{{"ab\nc"}};
        QTest::newRow("quote inside a bare field")
            << QByteArray("ab\"c,d") << Records{{"ab\"c", "d"}};
        QTest::newRow("text after a closing quote")
            << QByteArray("\"a\"b,c") << Records{{"ab", "c"}};
        QTest::newRow("UTF-8") << QByteArray("\"Z\xC3\xBCrich\",\"\xE2\x82\xAC\"")
                               << Records{{QStringLiteral("Zürich"), QStringLiteral("€")}};
    }
    void readsText() {
        QFETCH(QByteArray, text);
        QFETCH(Records, expected);
        const CsvRecords records =
            gridmint::readCsv(std::string_view(text.constData(), text.size()));
        QCOMPARE(toList(records), expected);
        qsizetype widest = 0;
        for (const QStringList& record : expected) widest = std::max(widest, record.size());
        QCOMPARE(records.maxFieldCount(), static_cast<size_t>(widest));
    }

    // Whatever cells a table holds, the writer's text reads back as the same table.
    void readsBackWhatTheWriterWrites_data() {
        QTest::addColumn<Records>("table");
        QTest::newRow("plain") << Records{{"a", "b"}, {"1", "2"}};
        QTest::newRow("quotes") << Records{{"\"", "\"\"", "a \"b\" c", "\"end"}};
        QTest::newRow("separators") << Records{{",", "\n", "\r", "\r\n", ",\",\""}};
        QTest::newRow("empty cells") << Records{{"", ""}, {""}};
        QTest::newRow("ragged with an empty row") << Records{{"a"}, {}, {"b", "c", "d"}};
        QTest::newRow("non-ASCII") << Records{{QStringLiteral("Ærø"), QStringLiteral("東京")}};
    }
    void readsBackWhatTheWriterWrites() {
        QFETCH(Records, table);
        const std::string csv = gridmint::csvUtf8FromArrays(toTable(table));
        QCOMPARE(toList(gridmint::readCsv(csv)), table);
    }
};

GRIDMINT_APP_TEST_MAIN(CsvReaderTest)
#include "CsvReaderTest.moc"
