// The preview grid: a read-only model over the CSV records, with spreadsheet headers, and the
// view that reads the preview file.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestMain.h"
#include "CsvReader.h"
#include "PreviewModel.h"
#include "PreviewView.h"

using gridmint::PreviewModel;

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

        gridmint::PreviewView view(path);
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
