// The conversion flow, the choice among several tables, the preview and export, driven
// through the application object on the offscreen platform.
#include <unistd.h>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestMain.h"
#include "AppTestSupport.h"
#include "FileSizeLimit.h"
#include "MainWindow.h"
#include "SelectionDialog.h"
#include "SourceView.h"

using namespace gridmint;
using namespace gridmint::test;

namespace {

const QString placeholder = QStringLiteral(
    "paste HTML code here then press Extract. Alternatively use File > Open URL or File > Open "
    "File ");

// A literal no-break space inside a cell, as pages copied from a browser hold them.
const QString oneTable = QStringLiteral(
    "<table id=\"prices\"><tr><td>Item</td><td>Price</td></tr>"
    "<tr><td>Café</td><td>1\u00A0000 €</td></tr></table>");
const QByteArray oneTableCsv = QByteArray(
    "\"Item\",\"Price\"\n\"Caf\xC3\xA9\",\"1\xC2\xA0"
    "000 \xE2\x82\xAC\"");

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
const QByteArray smallCsv = "\"only\"";

// A table whose CSV (about 300 KB) is far beyond the file-size limit of the disk-full cases.
QString bigTable() {
    QString html = QStringLiteral("<table id=\"big\">");
    for (int row = 0; row < 2000; ++row) {
        html += QStringLiteral("<tr>");
        for (int cell = 0; cell < 5; ++cell)
            html += QStringLiteral("<td>row %1, cell %2, a little text</td>").arg(row).arg(cell);
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}
constexpr rlim_t diskFullAt = 16 * 1024;

// The files in `folder` other than `kept`, hidden ones included.
QStringList filesBeside(const QString& folder, const QString& kept) {
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(kept);
    return files;
}

QString threeTables() {
    return QStringLiteral(
        "<table id=\"t1\"><tr><td>1</td></tr></table><table id=\"t2\"><tr><td>2</td></tr></table>"
        "<table id=\"t3\"><tr><td>3</td></tr></table>");
}

// Records the addresses handed to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened << url; }
};

}  // namespace

class AppDelegateTest : public QObject {
    Q_OBJECT

    std::unique_ptr<DelegateFixture> fixture;
    QTemporaryDir scratch;

    AppDelegate& delegate() { return fixture->delegate; }
    QMessageBox* visibleMessageBox() {
        for (QMessageBox* box : delegate().window()->findChildren<QMessageBox*>()) {
            if (box->isVisible()) return box;
        }
        return nullptr;
    }

  private slots:
    void init() {
        removeAppData();
        fixture = std::make_unique<DelegateFixture>();
        delegate().window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(delegate().window()));
        delegate().applicationDidFinishLaunching();
    }
    void cleanup() { fixture.reset(); }

    void launchShowsThePlaceholderSelected() {
        QCOMPARE(delegate().sourceView()->toPlainText(), placeholder);
        QCOMPARE(delegate().sourceView()->textCursor().selectedText(), placeholder);
        QVERIFY(!delegate().window()->exportAction()->isEnabled());

        delegate().window()->extractAction()->trigger();
        fixture->settle();
        QCOMPARE(delegate().window()->statusMessage(), QStringLiteral("No table found"));
        QCOMPARE(fixture->beeps, 0);
        QVERIFY(fixture->previewViews().isEmpty());
        QVERIFY(!QFile::exists(previewPath()));
    }

    void extractOnEmptyTextBeepsAfterDeletingThePreview() {
        fixture->extract(oneTable);
        QVERIFY(QFile::exists(previewPath()));
        QVERIFY(delegate().window()->exportAction()->isEnabled());

        fixture->extract(QString());
        QCOMPARE(fixture->beeps, 1);
        QVERIFY(!QFile::exists(previewPath()));
        QVERIFY(!delegate().window()->exportAction()->isEnabled());
    }

    void oneTableIsShownAtOnce() {
        delegate().sourceView()->setPlainText(oneTable);
        delegate().window()->extractAction()->trigger();
        fixture->settle();

        QCOMPARE(readFile(previewPath()), oneTableCsv);
        QVERIFY(fixture->logLinesStartingWith(QStringLiteral("we have found")).isEmpty());
        QVERIFY(!delegate().resultSelectionWindow()->isVisible());
        // The preview replaced the container's placeholder and fills the container.
        QCOMPARE(fixture->containerChildren().size(), 1);
        const QList<PreviewView*> views = fixture->previewViews();
        QCOMPARE(views.size(), 1);
        QCOMPARE(views.front()->previewItem(), previewPath());
        QCOMPARE(views.front()->model()->index(1, 1).data().toString(),
                 QStringLiteral("1\u00A0000 €"));
        QTRY_COMPARE(views.front()->geometry(), delegate().resultContainer()->rect());
        delegate().window()->resize(delegate().window()->size() + QSize(80, 60));
        QTRY_COMPARE(views.front()->geometry(), delegate().resultContainer()->rect());
        QVERIFY(delegate().window()->exportAction()->isEnabled());
        QCOMPARE(fixture->beeps, 0);
    }

    void controlReturnExtractsFromTheSourceView() {
        delegate().window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(delegate().window()));
        delegate().sourceView()->setPlainText(oneTable);
        delegate().sourceView()->setFocus();
        QTest::keyClick(delegate().sourceView(), Qt::Key_Return, Qt::ControlModifier);
        fixture->settle();
        QCOMPARE(readFile(previewPath()), oneTableCsv);
        QCOMPARE(delegate().sourceView()->document()->toRawText(), oneTable);  // no line typed
    }

    void twoTablesLogOnceAndOfferAChoice() {
        fixture->extract(twoTables());

        const QStringList lines = fixture->logLinesStartingWith(
            QStringLiteral("we have found multiple tables within the page:\n"));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.front().contains(u"big") && lines.front().contains(u"small"),
                 qPrintable(lines.front()));
        QVERIFY(delegate().resultSelectionWindow()->isVisible());
        QCOMPARE(delegate().resultSelectionWindow()->windowModality(), Qt::WindowModal);
        QVERIFY(fixture->previewViews().isEmpty());

        QAbstractItemModel* model = delegate().resultSelectionWindow()->tableView()->model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QStringList identifiers{"class", "rows", "cols"};
        const QStringList titles{"Table", "Rows", "Columns"};
        for (int column = 0; column < 3; ++column) {
            QCOMPARE(model->headerData(column, Qt::Horizontal, Qt::UserRole).toString(),
                     identifiers[column]);
            QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), titles[column]);
        }
        QCOMPARE(model->rowCount(), 2);
        const QList<QStringList> expected{{"big", "10", "2"}, {"small", "1", "1"}};
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 3; ++column) {
                QCOMPARE(model->index(row, column).data().toString(), expected[row][column]);
            }
        }
        QCOMPARE(delegate().objectValueForTableColumn(QStringLiteral("other"), 0), QString());
        QCOMPARE(delegate().objectValueForTableColumn(QStringLiteral("Class"), 0), QString());
        QCOMPARE(delegate().objectValueForTableColumn(QStringLiteral("class"), 2), QString());
        QCOMPARE(delegate().objectValueForTableColumn(QStringLiteral("class"), -1), QString());
    }

    void choosingATable_data() {
        QTest::addColumn<int>("row");  // -1: none selected
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("shown");  // the preview file afterwards; empty: none
        QTest::newRow("button, second row") << 1 << "button" << smallCsv;
        QTest::newRow("button, no selection") << -1 << "button" << QByteArray();
        QTest::newRow("double click, second row") << 1 << "double click" << smallCsv;
        QTest::newRow("Return, second row") << 1 << "return" << smallCsv;
        QTest::newRow("Escape, second row selected") << 1 << "escape" << QByteArray();
    }
    void choosingATable() {
        QFETCH(int, row);
        QFETCH(QString, how);
        QFETCH(QByteArray, shown);
        fixture->extract(twoTables());
        SelectionDialog* sheet = delegate().resultSelectionWindow();
        QTableView* list = delegate().resultSelectionWindow()->tableView();
        QVERIFY(sheet->isVisible());
        if (row >= 0) list->selectRow(row);

        if (how == u"button") {
            sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        } else if (how == u"double click") {
            const QPoint centre = list->visualRect(list->model()->index(row, 0)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        } else if (how == u"return") {
            QTest::keyClick(sheet, Qt::Key_Return);
        } else {
            QTest::keyClick(sheet, Qt::Key_Escape);
        }

        QVERIFY(!sheet->isVisible());
        fixture->settle();
        QCOMPARE(readFile(previewPath()), shown);
        QCOMPARE(fixture->previewViews().size(), shown.isEmpty() ? 0 : 1);
        // Declining keeps the conversion's tables as they were.
        QVERIFY(delegate().tableNames() && delegate().result());
        QCOMPARE(delegate().tableNames()->size(), size_t{2});
        QCOMPARE(delegate().result()->size(), size_t{2});
    }

    void aSelectionPastTheNewListShowsNothing() {
        fixture->extract(threeTables());
        delegate().resultSelectionWindow()->tableView()->selectRow(2);
        delegate().closeSelectionWindow();
        fixture->settle();
        QCOMPARE(readFile(previewPath()), QByteArray("\"3\""));

        fixture->extract(twoTables());
        delegate().closeSelectionWindow();
        fixture->settle();
        QVERIFY(!QFile::exists(previewPath()));
    }

    void aSecondShowingReplacesTheFirst() {
        fixture->extract(oneTable);
        QPointer<PreviewView> first = fixture->previewViews().value(0);
        QVERIFY(first);
        fixture->extract(QStringLiteral("<table><tr><td>second</td></tr></table>"));
        const QList<PreviewView*> views = fixture->previewViews();
        QCOMPARE(views.size(), 1);
        QVERIFY(views.front() != first.data());
        QCOMPARE(views.front()->model()->index(0, 0).data().toString(), QStringLiteral("second"));
        QCOMPARE(readFile(previewPath()), QByteArray("\"second\""));
        QTRY_VERIFY(first.isNull());
    }

    void exportWritesThePreviewFile_data() {
        QTest::addColumn<bool>("destinationExists");
        QTest::newRow("new file") << false;
        QTest::newRow("over an existing file") << true;
    }
    void exportWritesThePreviewFile() {
        QFETCH(bool, destinationExists);
        fixture->extract(oneTable);
        const QString destination = scratch.filePath(QStringLiteral("prices.csv"));
        QFile::remove(destination);
        if (destinationExists)
            writeFile(destination, "old contents that are longer than the table");

        delegate().exportCompletion(destination);

        QCOMPARE(readFile(destination), readFile(previewPath()));
        QCOMPARE(readFile(destination), oneTableCsv);
        QCOMPARE(fixture->logLinesStartingWith(QStringLiteral("copyItemAtPath ")),
                 QStringList{QStringLiteral("copyItemAtPath %1 to %2")
                                 .arg(previewPath(), QUrl::fromLocalFile(destination).toString())});
        QVERIFY(fixture->logLinesStartingWith(QStringLiteral("error")).isEmpty());
        QVERIFY(!visibleMessageBox());
    }

    void exportThroughTheSavePanel() {
        fixture->extract(oneTable);
        delegate().window()->exportAction()->trigger();
        auto* panel = delegate().window()->findChild<QFileDialog*>(QStringLiteral("exportDialog"));
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(panel->windowModality(), Qt::WindowModal);
        QCOMPARE(panel->nameFilters(), QStringList{QStringLiteral("CSV files (*.csv)")});
        QCOMPARE(panel->defaultSuffix(), QStringLiteral("csv"));
        QCOMPARE(panel->acceptMode(), QFileDialog::AcceptSave);
        panel->setDirectory(scratch.path());
        panel->selectFile(QStringLiteral("through-panel"));
        QMetaObject::invokeMethod(panel, "accept");
        QCOMPARE(readFile(scratch.filePath(QStringLiteral("through-panel.csv"))), oneTableCsv);
    }

    // A failed export leaves what stood at the destination and tells the user.
    void exportFailure_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("no preview file") << "no preview file";
        QTest::newRow("destination is a folder") << "destination is a folder";
        QTest::newRow("folder is a plain file") << "folder is a plain file";
        QTest::newRow("read-only folder") << "read-only folder";
        QTest::newRow("read-only destination") << "read-only destination";
        QTest::newRow("folder vanished after the panel") << "folder vanished";
        QTest::newRow("disk full") << "disk full";
    }
    void exportFailure() {
        QFETCH(QString, situation);
        if (situation.startsWith(u"read-only") && geteuid() == 0) {
            QSKIP("permissions do not bind the superuser");
        }
        fixture->extract(situation == u"disk full" ? bigTable() : oneTable);
        QTemporaryDir folder;
        QString destination = folder.filePath(QStringLiteral("kept.csv"));
        QString kept = destination;  // the file whose contents must survive
        const QString vanished = folder.filePath(QStringLiteral("chosen"));
        if (situation == u"no preview file") {
            fixture->extract(QString());  // an Extract that beeps deletes the preview
        } else if (situation == u"destination is a folder") {
            QVERIFY(QDir().mkdir(destination));
            kept = destination + QStringLiteral("/inside.csv");
        } else if (situation == u"folder is a plain file") {
            destination = kept + QStringLiteral("/new.csv");
        } else if (situation == u"folder vanished") {
            QVERIFY(QDir().mkdir(vanished));
            destination = vanished + QStringLiteral("/new.csv");
            QVERIFY(QDir().rmdir(vanished));
        }
        writeFile(kept, "the user's data");
        if (situation == u"read-only folder") {
            QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
        } else if (situation == u"read-only destination") {
            QFile::setPermissions(kept, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        }

        {
            std::optional<FileSizeLimit> diskFull;
            if (situation == u"disk full") diskFull.emplace(diskFullAt);
            delegate().exportCompletion(destination);
        }

        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(readFile(kept), QByteArray("the user's data"));
        QVERIFY(!QFileInfo::exists(vanished));  // a vanished folder is not made anew
        QCOMPARE(fixture->logLinesStartingWith(QStringLiteral("copyItemAtPath ")).size(), 1);
        QCOMPARE(fixture->logLinesStartingWith(QStringLiteral("error copying temp file: ")).size(),
                 1);
        QMessageBox* box = visibleMessageBox();
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        // No half-written copy is left beside the destination either.
        QCOMPARE(filesBeside(folder.path(), QStringLiteral("kept.csv")), QStringList());
    }

    // A preview file that cannot be written leaves the last good preview: on screen, and on
    // disk where one stood, so that Export still writes the table that is shown.
    void previewWriteFailureKeepsTheLastPreview_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("a folder where the preview file goes") << "folder in its place";
        QTest::newRow("disk full") << "disk full";
    }
    void previewWriteFailureKeepsTheLastPreview() {
        QFETCH(QString, situation);
        fixture->extract(oneTable);
        const QPointer<PreviewView> shown = fixture->previewViews().value(0);
        QVERIFY(shown);
        if (situation == u"folder in its place") {
            QVERIFY(QFile::remove(previewPath()));
            QVERIFY(QDir().mkdir(previewPath()));
        }
        const auto parser =
            HTMLTableParser::initWithHTMLString(bigTable().toStdU16String(), fixture->defaults);
        QVERIFY(parser && parser->getResultDictionary().size() == 1);
        const Table& big = parser->getResultDictionary().at(0).second;

        bool shownAnyway = false;
        {
            std::optional<FileSizeLimit> diskFull;
            if (situation == u"disk full") diskFull.emplace(diskFullAt);
            delegate().displayResult(big, [&shownAnyway] { shownAnyway = true; });
            fixture->settle();
        }

        QVERIFY(!shownAnyway);
        QCOMPARE(fixture->logLinesStartingWith(QStringLiteral("error writing temp file: ")).size(),
                 1);
        QCOMPARE(fixture->previewViews(), QList<PreviewView*>{shown.data()});
        QVERIFY(delegate().window()->statusMessage().contains(u"preview file"));
        if (situation == u"disk full") {
            QCOMPARE(readFile(previewPath()), oneTableCsv);
            const QString exported = scratch.filePath(QStringLiteral("after-disk-full.csv"));
            delegate().exportCompletion(exported);
            QCOMPARE(readFile(exported), oneTableCsv);
        } else {
            QVERIFY(QFileInfo(previewPath()).isDir());
        }
        const QString previewFolder = QFileInfo(previewPath()).path();
        QCOMPARE(filesBeside(previewFolder, QStringLiteral("mr_preview.csv")), QStringList());
    }

    void aPlainFileWhereThePreviewFolderBelongs() {
        QVERIFY(QDir().mkpath(dataFolder()));
        writeFile(dataFolder() + QStringLiteral("/temp"), "not a folder");
        fixture->extract(oneTable);
        QCOMPARE(fixture->logLinesStartingWith(QStringLiteral("error writing temp file: ")).size(),
                 1);
        QVERIFY(fixture->previewViews().isEmpty());
        QVERIFY(delegate().resultContainer()->findChild<QLabel*>());  // the screen is unchanged
        QVERIFY(!delegate().window()->exportAction()->isEnabled());
        QVERIFY(delegate().window()->statusMessage().contains(u"preview file"));

        // One level up the folder cannot even be made: nothing is deleted or shown.
        removeAppData();
        writeFile(dataFolder(), "not a folder either");
        fixture->extract(oneTable);
        QVERIFY(!fixture->logLinesStartingWith(QStringLiteral("error creating temp directory: "))
                     .isEmpty());
        QCOMPARE(readFile(dataFolder()), QByteArray("not a folder either"));
        QVERIFY(fixture->previewViews().isEmpty());
    }

    void quittingLeavesThePreviewFile() {
        fixture->extract(oneTable);
        delegate().applicationWillTerminate();
        fixture.reset();
        QCOMPARE(readFile(previewPath()), oneTableCsv);
    }

    void helpOpensTheGuideAndHomeTheHomePage() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
        delegate().window()->helpAction()->trigger();
        delegate().window()->homeAction()->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

        QCOMPARE(recorder.opened.size(), 2);
        QVERIFY(recorder.opened[0].isLocalFile());
        QVERIFY(readFile(recorder.opened[0].toLocalFile()).contains("userAgentString"));
        QCOMPARE(recorder.opened[1], QUrl(QStringLiteral(GRIDMINT_HOME_PAGE)));
    }
};

GRIDMINT_APP_TEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
