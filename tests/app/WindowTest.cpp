// The window as people use it: the navigator's preview, another table of the same page,
// copying cells, export suggestions and Export All, outcomes that the pointer does not erase,
// an Extract that leaves the window live, and a page handed over while a sheet is up.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "AppTestMain.h"
#include "AppTestSupport.h"
#include "CsvOptionsRow.h"
#include "MainWindow.h"
#include "QSettingsDefaults.h"
#include "SafeFileName.h"
#include "SelectionDialog.h"
#include "TableSampleModel.h"

using namespace gridmint;
using namespace gridmint::test;

namespace {

// "big": 10 rows, 2 cells in the first and 5 in the others; "small": one cell.
QString twoTables() {
    QString html = QStringLiteral("<table id=\"big\"><tr><td>h1</td><td>h2</td></tr>");
    for (int row = 1; row < 10; ++row) {
        html += QStringLiteral("<tr>");
        for (int cell = 0; cell < 5; ++cell)
            html += QStringLiteral("<td>%1.%2</td>").arg(row).arg(cell);
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table><table id=\"small\"><tr><td>only</td></tr></table>");
}

// Cells that each copy form must treat specially: a quote and markup.
const QString notes = QStringLiteral(
    "<table id=\"notes\"><tr><td>Name</td><td>Note</td><td>N</td></tr>"
    "<tr><td>Ann</td><td>say \"hi\"</td><td>1</td></tr>"
    "<tr><td>Bob</td><td>&lt;b&gt;</td><td>2</td></tr></table>");

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<DelegateFixture> fixture;
    QTemporaryDir scratch;

    AppDelegate& delegate() { return fixture->delegate; }
    MainWindow* window() { return delegate().window(); }
    SelectionDialog* navigator() { return delegate().resultSelectionWindow(); }
    const TableSampleModel* sample() {
        return qobject_cast<const TableSampleModel*>(navigator()->sampleView()->model());
    }
    QMessageBox* visibleMessageBox() {
        for (QMessageBox* box : window()->findChildren<QMessageBox*>()) {
            if (box->isVisible()) return box;
        }
        return nullptr;
    }

  private slots:
    void init() {
        removeAppData();
        QSettings().clear();
        fixture = std::make_unique<DelegateFixture>();
        window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        delegate().applicationDidFinishLaunching();
    }
    void cleanup() { fixture.reset(); }

    // The first rows of the selected table show beside the list, taken from the tables the
    // conversion already holds; a hint stands there while nothing is selected.
    void navigatorPreviewsTheSelection() {
        fixture->extract(twoTables());
        QVERIFY(navigator()->isVisible());
        QVERIFY(!navigator()->isShowingSample());
        QAbstractItemModelTester tester(navigator()->sampleView()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);

        QTableView* list = navigator()->tableView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(0, 0)).center());
        QVERIFY(navigator()->isShowingSample());
        QCOMPARE(sample()->table(), &delegate().result()->at(0).second);
        QCOMPARE(sample()->rowCount(), 10);
        QCOMPARE(sample()->columnCount(), 5);  // the widest row, not the first
        QCOMPARE(sample()->index(9, 4).data().toString(), QStringLiteral("9.4"));
        QVERIFY(!sample()->index(0, 4).data().isValid());

        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(sample()->table(), &delegate().result()->at(1).second);
        QCOMPARE(sample()->index(0, 0).data().toString(), QStringLiteral("only"));

        navigator()->selectRow(-1);
        QVERIFY(!navigator()->isShowingSample());
        QCOMPARE(sample()->rowCount(), 0);
    }

    void aRowKeptFromAnEarlierShowingIsPreviewed() {
        fixture->extract(twoTables());
        navigator()->selectRow(1);
        QTest::keyClick(navigator(), Qt::Key_Escape);
        fixture->extract(twoTables());
        QCOMPARE(navigator()->chosenRow(), 1);
        QVERIFY(navigator()->isShowingSample());
        QCOMPARE(sample()->table(), &delegate().result()->at(1).second);
    }

    // After a preview the other tables are one step away, from the same result.
    void anotherTableWithoutExtractingAgain() {
        fixture->extract(QStringLiteral("<table><tr><td>alone</td></tr></table>"));
        QVERIFY(!window()->chooseTableAction()->isEnabled());

        fixture->extract(twoTables());
        navigator()->selectRow(1);
        navigator()->accept();
        fixture->settle();
        QCOMPARE(readFile(previewPath()), QByteArray("\"only\""));
        QVERIFY(window()->chooseTableAction()->isEnabled());
        const Table* big = &delegate().result()->at(0).second;

        window()->chooseTableAction()->trigger();
        QVERIFY(navigator()->isVisible());
        QVERIFY(!delegate().isBusy());
        QCOMPARE(navigator()->chosenRow(), 1);  // the table shown
        navigator()->selectRow(0);
        navigator()->accept();
        fixture->settle();
        QCOMPARE(&delegate().result()->at(0).second, big);
        QVERIFY(readFile(previewPath()).startsWith("\"h1\",\"h2\"\n\"1.0\""));
        QCOMPARE(delegate().shownTableName(), std::optional<Text>(u"big"));
        QVERIFY(window()->statusMessage().contains(u"big"));
    }

    void copyingCells_data() {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("tabSeparated");
        QTest::newRow("all, from the corner")
            << "all"
            << "Name\tNote\tN\nAnn\t\"say \"\"hi\"\"\"\t1\nBob\t<b>\t2";
        QTest::newRow("a row, from its number") << "row 2"
                                                << "Ann\t\"say \"\"hi\"\"\"\t1";
        QTest::newRow("a column, from its letter") << "column C"
                                                   << "N\n1\n2";
        QTest::newRow("a block") << "block"
                                 << "Note\tN\n\"say \"\"hi\"\"\"\t1";
        QTest::newRow("cells picked apart") << "picked"
                                            << "Name\t\t\n\t\t\n\t\t2";
    }
    void copyingCells() {
        QFETCH(QString, selection);
        QFETCH(QString, tabSeparated);
        fixture->extract(notes);
        PreviewView* view = delegate().previewView();
        QVERIFY(view);
        QTRY_COMPARE(view->geometry(), delegate().resultContainer()->rect());
        const auto cell = [view](int row, int column) {
            return view->visualRect(view->model()->index(row, column)).center();
        };
        if (selection == u"all") {
            view->findChild<QAbstractButton*>()->click();  // the corner button
        } else if (selection == u"row 2") {
            QHeaderView* numbers = view->verticalHeader();
            QTest::mouseClick(numbers->viewport(), Qt::LeftButton, {},
                              QPoint(numbers->width() / 2, numbers->sectionViewportPosition(1) +
                                                               numbers->sectionSize(1) / 2));
        } else if (selection == u"column C") {
            QHeaderView* letters = view->horizontalHeader();
            QTest::mouseClick(
                letters->viewport(), Qt::LeftButton, {},
                QPoint(letters->sectionViewportPosition(2) + letters->sectionSize(2) / 2,
                       letters->height() / 2));
        } else if (selection == u"block") {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(0, 1));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, cell(1, 2));
        } else {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(0, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, cell(2, 2));
        }
        view->setFocus();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);

        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(copied->text(), tabSeparated);
        QVERIFY(copied->hasHtml());
        if (selection == u"all") {
            QVERIFY2(copied->html().contains(u"<tr><td>Bob</td><td>&lt;b&gt;</td><td>2</td></tr>"),
                     qPrintable(copied->html()));
            // As CSV the whole table is the preview file, byte for byte.
            window()->copyAsCsvAction()->trigger();
            QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(), readFile(previewPath()));
        }
    }

    // Ctrl+C in the source view still copies its text, not cells.
    void copyInTheSourceViewCopiesText() {
        fixture->extract(notes);
        delegate().sourceView()->selectAll();
        delegate().sourceView()->setFocus();
        QTest::keyClick(delegate().sourceView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), notes);
    }

    void exportSuggestsTheTableNameAndRemembersTheFolder() {
        const Text name = u"sales/2024: \"Q1\"";
        fixture->extract(
            QStringLiteral("<table id=\"sales/2024: &quot;Q1&quot;\"><tr><td>x</td></tr></table>"));
        QCOMPARE(delegate().shownTableName(), std::optional<Text>(name));
        const QString suggested =
            QString::fromStdString(cli::safeFileStem(name)) + QStringLiteral(".csv");

        window()->exportAction()->trigger();
        auto* panel = window()->findChild<QFileDialog*>(QStringLiteral("exportDialog"));
        QVERIFY(panel);
        QCOMPARE(QFileInfo(panel->selectedFiles().value(0)).fileName(), suggested);
        panel->setDirectory(scratch.path());
        panel->selectFile(suggested);
        QMetaObject::invokeMethod(panel, "accept");
        const QString written = scratch.filePath(suggested);
        QCOMPARE(readFile(written), QByteArray("\"x\""));
        QVERIFY2(window()->statusMessage().contains(QDir::toNativeSeparators(written)),
                 qPrintable(window()->statusMessage()));
        QTRY_VERIFY(!window()->findChild<QFileDialog*>(QStringLiteral("exportDialog")));

        window()->exportAction()->trigger();
        panel = window()->findChild<QFileDialog*>(QStringLiteral("exportDialog"));
        QVERIFY(panel);
        QCOMPARE(QDir(panel->directory()).canonicalPath(), QDir(scratch.path()).canonicalPath());
    }

    // The CSV form chosen in either export panel shapes what it writes, is remembered in the
    // settings for both panels, and leaves the preview file in the default form.
    void exportPanelsWriteTheChosenForm_data() {
        QTest::addColumn<bool>("all");
        QTest::newRow("Export") << false;
        QTest::newRow("Export All Tables") << true;
    }
    void exportPanelsWriteTheChosenForm() {
        QFETCH(bool, all);
        fixture->extract(QStringLiteral(
            "<table id=\"t\"><tr><td>a;b</td><td>=1+1</td></tr><tr><td>x</td><td></td></tr>"
            "</table>"));
        const QByteArray preview = readFile(previewPath());
        QCOMPARE(preview, QByteArray("\"a;b\",\"=1+1\"\n\"x\",\"\""));
        const QString panelName =
            all ? QStringLiteral("exportAllDialog") : QStringLiteral("exportDialog");
        (all ? window()->exportAllAction() : window()->exportAction())->trigger();
        auto* panel = window()->findChild<QFileDialog*>(panelName);
        QVERIFY(panel);
        auto* row = panel->findChild<CsvOptionsRow*>(QStringLiteral("csvOptions"));
        QVERIFY(row && row->isVisible());
        QCOMPARE(row->dialect(), CsvDialect());
        row->findChild<QComboBox*>(QStringLiteral("separatorBox"))->setCurrentIndex(1);
        row->findChild<QComboBox*>(QStringLiteral("quotingBox"))->setCurrentIndex(1);
        for (const char* box : {"byteOrderMarkBox", "crlfBox", "guardFormulasBox"}) {
            QTest::mouseClick(row->findChild<QCheckBox*>(QLatin1String(box)), Qt::LeftButton);
        }
        const CsvDialect chosen{';', true, CsvLineEnd::crlf, CsvQuoting::minimal, true};
        QCOMPARE(row->dialect(), chosen);
        QCOMPARE(csvDialectFromDefaults(QSettingsDefaults()), chosen);

        panel->setDirectory(scratch.path());
        panel->selectFile(all ? scratch.path() : QStringLiteral("formed.csv"));
        QMetaObject::invokeMethod(panel, "accept");
        QCOMPARE(readFile(scratch.filePath(all ? QStringLiteral("t.csv")
                                               : QStringLiteral("formed.csv"))),
                 QByteArray("\xEF\xBB\xBF\"a;b\";'=1+1\r\nx;"));
        QCOMPARE(readFile(previewPath()), preview);

        // The other panel opens with the same choice.
        QTRY_VERIFY(!window()->findChild<QFileDialog*>(panelName));
        (all ? window()->exportAction() : window()->exportAllAction())->trigger();
        QFileDialog* other = nullptr;
        for (QFileDialog* open : window()->findChildren<QFileDialog*>()) other = open;
        QVERIFY(other);
        QCOMPARE(other->findChild<CsvOptionsRow*>()->dialect(), chosen);
        other->reject();
    }

    void exportAllWritesEachTable_data() {
        QTest::addColumn<bool>("oneBlocked");  // a folder stands where the second file goes
        QTest::newRow("all written") << false;
        QTest::newRow("one cannot be written") << true;
    }
    void exportAllWritesEachTable() {
        QFETCH(bool, oneBlocked);
        fixture->extract(QStringLiteral(
            "<table id=\"a/b\"><tr><td>1</td></tr></table><table id=\"a_b\"><tr><td>2</td></tr>"
            "</table><table><tr><td>3</td></tr></table>"));
        navigator()->reject();
        QTemporaryDir folder;
        cli::UniqueFileStems stems;
        QStringList files;
        for (const Text& name : *delegate().tableNames()) {
            files << QString::fromStdString(stems.next(name)) + QStringLiteral(".csv");
        }
        if (oneBlocked) QVERIFY(QDir(folder.path()).mkdir(files[1]));

        window()->exportAllAction()->trigger();
        auto* panel = window()->findChild<QFileDialog*>(QStringLiteral("exportAllDialog"));
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(panel->fileMode(), QFileDialog::Directory);
        panel->reject();
        delegate().exportAllCompletion(folder.path());

        for (int i = 0; i < files.size(); ++i) {
            if (oneBlocked && i == 1) continue;
            QCOMPARE(readFile(folder.filePath(files[i])),
                     QStringLiteral("\"%1\"").arg(i + 1).toUtf8());
        }
        QVERIFY2(window()->statusMessage().startsWith(
                     QStringLiteral("Exported %1 table").arg(oneBlocked ? 2 : 3)),
                 qPrintable(window()->statusMessage()));
        QCOMPARE(visibleMessageBox() != nullptr, oneBlocked);
        const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), oneBlocked ? 2 : 3);  // no temporary file stays behind
    }

    // Moving the pointer over the buttons and through a menu shows their tips, and leaves
    // the outcome of the last command where it was.
    void outcomesOutliveThePointer() {
        fixture->extract(QStringLiteral("no table here"));
        const QString outcome = QStringLiteral("No table found");
        QCOMPARE(window()->statusMessage(), outcome);

        for (const char* button : {"extractButton", "exportButton"}) {
            auto* target = window()->findChild<QToolButton*>(QString::fromLatin1(button));
            QVERIFY(target);
            QTest::mouseMove(target, target->rect().center());
            QTRY_COMPARE(window()->statusBar()->currentMessage(), target->statusTip());
            QCOMPARE(window()->statusMessage(), outcome);
            QTest::mouseMove(delegate().sourceView()->viewport(), QPoint(20, 20));
            QTRY_COMPARE(window()->statusBar()->currentMessage(), QString());
            QCOMPARE(window()->statusMessage(), outcome);
        }

        QMenu* file = window()->menuBar()->actions().value(0)->menu();
        QVERIFY(file);
        file->popup(window()->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        QTest::mouseMove(file, file->actionGeometry(window()->openURLAction()).center());
        QTRY_COMPARE(window()->statusBar()->currentMessage(),
                     window()->openURLAction()->statusTip());
        QCOMPARE(window()->statusMessage(), outcome);
        file->hide();
        QCOMPARE(window()->statusMessage(), outcome);
    }

    // Extract scans on a worker: the window answers, shows that it is busy, and can cancel.
    void extractLeavesTheWindowLive_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("to the end") << false;
        QTest::newRow("cancelled") << true;
    }
    void extractLeavesTheWindowLive() {
        QFETCH(bool, cancel);
        QString html = QStringLiteral("<table id=\"wide\">");
        for (int row = 0; row < 20000; ++row)
            html += QStringLiteral("<tr><td>%1</td><td>cell</td></tr>").arg(row);
        delegate().sourceView()->setPlainText(html + QStringLiteral("</table>"));
        delegate().convert();
        QVERIFY(delegate().isBusy());
        QVERIFY(window()->isBusy());
        QVERIFY(!window()->extractAction()->isEnabled());
        QVERIFY(!window()->openFileAction()->isEnabled());
        if (cancel) {
            window()->findChild<QToolButton*>(QStringLiteral("cancelButton"))->click();
            QVERIFY(!delegate().isBusy());
            QCOMPARE(window()->statusMessage(), QStringLiteral("Cancelled"));
            QTest::qWait(200);
            QVERIFY(delegate().previewView() == nullptr);
            QVERIFY(!delegate().result());
        } else {
            fixture->settle();
            QCOMPARE(delegate().previewView()->model()->rowCount(), 20000);
        }
        QVERIFY(!window()->isBusy());
        QVERIFY(window()->extractAction()->isEnabled());
    }

    // A page that arrives while a sheet is up opens once the sheet has closed.
    void aHandedOverPageWaitsForTheSheet() {
        const QString path = scratch.filePath(QStringLiteral("later.html"));
        writeFile(path, "<table><tr><td>later</td></tr></table>");
        fixture->extract(twoTables());
        QVERIFY(navigator()->isVisible());

        delegate().openFileOrAddress(path);
        QVERIFY(delegate().sourceView()->toPlainText().startsWith(u"<table id=\"big\""));
        QVERIFY(navigator()->isVisible());
        QCOMPARE(delegate().tableNames()->size(), size_t{2});

        QTest::keyClick(navigator(), Qt::Key_Escape);
        QTRY_VERIFY(delegate().sourceView()->toPlainText().contains(u"later"));
        fixture->settle();
        QCOMPARE(readFile(previewPath()), QByteArray("\"later\""));
    }
};

GRIDMINT_APP_TEST_MAIN(WindowTest)
#include "WindowTest.moc"
