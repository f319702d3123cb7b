// The preview grid: a read-only model over the CSV records, with spreadsheet headers, the
// view that reads the preview file, the forms its cells are copied in, and the preview file
// itself, without a window.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestMain.h"
#include "CellCopy.h"
#include "CsvReader.h"
#include "Defaults.h"
#include "HTMLTableParser.h"
#include "PreviewFile.h"
#include "PreviewModel.h"
#include "PreviewView.h"

using gridmint::CellBlock;
using gridmint::PreviewModel;

namespace {

// Fields that each form must guard: a tab, a quote, a line break, markup, a short record.
const char* awkwardCsv = "\"a\tb\",\"say \"\"hi\"\"\",\"x<y & z\"\n\"two\nlines\",\"plain\"";

}  // namespace

Q_DECLARE_METATYPE(gridmint::CellBlock)

class PreviewTest : public QObject {
    Q_OBJECT
  private slots:
    void columnLetters_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("letters");
        QTest::newRow("first") << 0 << "A";
        QTest::newRow("last single") << 25 << "Z";
        QTest::newRow("first double") << 26 << "AA";
        QTest::newRow("AZ") << 51 << "AZ";
        QTest::newRow("BA") << 52 << "BA";
        QTest::newRow("last double") << 701 << "ZZ";
        QTest::newRow("first triple") << 702 << "AAA";
    }
    void columnLetters() {
        QFETCH(int, column);
        QFETCH(QString, letters);
        QCOMPARE(gridmint::columnLetters(column), letters);
    }

    void modelShowsRaggedRecords() {
        PreviewModel model(gridmint::readCsv("\"a\",\"\"\n\"b\",\"c\",\"d\"\n\n\"e\""));
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.index(1, 2).data().toString(), QStringLiteral("d"));
        // An empty field is an empty text; a cell past the end of a short record has no value.
        QCOMPARE(model.index(0, 1).data(), QVariant(QString()));
        QVERIFY(!model.index(0, 2).data().isValid());
        QVERIFY(!model.index(2, 0).data().isValid());
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
        QCOMPARE(model.headerData(3, Qt::Vertical).toString(), QStringLiteral("4"));
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("C"));
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("x")));
    }

    void copyForms_data() {
        QTest::addColumn<CellBlock>("block");
        QTest::addColumn<QByteArray>("tabSeparated");
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("csv");
        QTest::newRow("everything")
            << CellBlock{0, 0, 2, 3, {}}
            << QByteArray("\"a\tb\"\t\"say \"\"hi\"\"\"\tx<y & z\n\"two\nlines\"\tplain\t")
            << QByteArray(
                   "<table><tr><td>a\tb</td><td>say &quot;hi&quot;</td><td>x&lt;y &amp; "
                   "z</td></tr><tr><td>two\nlines</td><td>plain</td><td></td></tr></table>")
            << QByteArray(awkwardCsv) + ",\"\"";
        QTest::newRow("one cell") << CellBlock{1, 1, 1, 1, {}} << QByteArray("plain")
                                  << QByteArray("<table><tr><td>plain</td></tr></table>")
                                  << QByteArray("\"plain\"");
        QTest::newRow("holes stay empty")
            << CellBlock{0, 1, 2, 2, {true, false, false, true}}
            << QByteArray("\"say \"\"hi\"\"\"\t\n\t")
            << QByteArray(
                   "<table><tr><td>say &quot;hi&quot;</td><td></td></tr><tr><td></td><td>"
                   "</td></tr></table>")
            << QByteArray("\"say \"\"hi\"\"\",\"\"\n\"\",\"\"");
        QTest::newRow("past the records")
            << CellBlock{5, 5, 1, 2, {}} << QByteArray("\t")
            << QByteArray("<table><tr><td></td><td></td></tr></table>") << QByteArray("\"\",\"\"");
    }
    void copyForms() {
        QFETCH(CellBlock, block);
        QFETCH(QByteArray, tabSeparated);
        QFETCH(QByteArray, html);
        QFETCH(QByteArray, csv);
        const gridmint::CsvRecords records = gridmint::readCsv(awkwardCsv);
        QCOMPARE(gridmint::cellsAsTabSeparated(records, block), tabSeparated);
        QCOMPARE(gridmint::cellsAsHtml(records, block), html);
        QCOMPARE(gridmint::cellsAsCsv(records, block), csv);
        // The CSV form reads back as the cells it was made from.
        const gridmint::CsvRecords back = gridmint::readCsv(csv.toStdString());
        QCOMPARE(back.recordCount(), block.rows);
    }

    void previewFileWithoutAWindow() {
        const gridmint::PreviewFile file;
        file.remove();
        QVERIFY(!file.exists());
        QString error;
        QTemporaryDir dir;
        const QString destination = dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(!file.exportTo(destination, error));
        QVERIFY(error.contains(u"does not exist"));
        QVERIFY(!QFile::exists(destination));

        gridmint::InMemoryDefaults defaults;
        const auto parser = gridmint::HTMLTableParser::initWithHTMLString(
            u"<table><tr><td>caf\u00E9</td><td>\"q\"</td></tr><tr><td>2</td></tr></table>",
            defaults);
        QVERIFY(parser && parser->getResultDictionary().size() == 1);
        QVERIFY(file.write(parser->getResultDictionary().at(0).second, error));
        QVERIFY(file.exists());
        QFile written(gridmint::PreviewFile::path());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("\"caf\xC3\xA9\",\"\"\"q\"\"\"\n\"2\""));
        QVERIFY(file.exportTo(destination, error));
        QFile exported(destination);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QCOMPARE(exported.readAll(), QByteArray("\"caf\xC3\xA9\",\"\"\"q\"\"\"\n\"2\""));
        file.remove();
        QVERIFY(!file.exists());
    }

    void viewReadsALargeFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        constexpr int rows = 100000;
        for (int row = 0; row < rows; ++row) {
            if (row > 0) file.write("\n");
            file.write(QStringLiteral("\"%1\",\"city %1\",\"\"\"q\"\"\"").arg(row).toUtf8());
        }
        file.close();

        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        gridmint::PreviewView view(
            path, gridmint::readCsv(std::string_view(bytes.constData(), bytes.size())));
        QCOMPARE(view.previewItem(), path);
        QCOMPARE(view.model()->rowCount(), rows);
        QCOMPARE(view.model()->columnCount(), 3);
        QCOMPARE(view.model()->index(rows - 1, 1).data().toString(), QStringLiteral("city 99999"));
        QCOMPARE(view.model()->index(rows - 1, 2).data().toString(), QStringLiteral("\"q\""));
        QCOMPARE(view.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    }
};

GRIDMINT_APP_TEST_MAIN(PreviewTest)
#include "PreviewTest.moc"
