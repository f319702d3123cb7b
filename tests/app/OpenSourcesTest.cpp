// Bringing pages in: Open File and its decoding, Open URL on a worker (with a stand-in loader
// and over a local HTTP server), drops, HTML paste and the page named at launch.
#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <condition_variable>
#include <mutex>

#include "AppTestMain.h"
#include "AppTestSupport.h"
#include "FetchSettings.h"
#include "MainWindow.h"
#include "OpenUrlDialog.h"
#include "PreviewView.h"
#include "SourceText.h"
#include "TestHttpServer.h"
#include "UrlPageLoader.h"

using namespace gridmint;
using namespace gridmint::test;

namespace {

const QString table = QStringLiteral("<table id=\"t\"><tr><td>Zürich</td></tr></table>");
const QByteArray tableCsv = "\"Z\xC3\xBCrich\"";

// Holds every load until the test opens the gate or the load is cancelled, then answers
// with a page made from `html`.
class GatedLoader : public PageLoader {
  public:
    PageLoad load(const std::u16string& typed, const Defaults& defaults,
                  const std::atomic<bool>& cancelled) override {
        std::unique_lock lock(mutex);
        typedAddresses << QString::fromStdU16String(typed);
        while (!open && !cancelled) gate.wait_for(lock, std::chrono::milliseconds(5));
        if (cancelled) {
            sawCancel = true;
            return PageLoad::failed("cancelled");
        }
        if (html.empty()) return PageLoad::failed("not an HTML page");
        return PageLoad::of(
            HTMLTableParser::initWithData(ByteBuffer(html), encoding::utf8, defaults));
    }
    void release() {
        std::lock_guard lock(mutex);
        open = true;
        gate.notify_all();
    }
    QStringList typed() {
        std::lock_guard lock(mutex);
        return typedAddresses;
    }
    bool cancelSeen() {
        std::lock_guard lock(mutex);
        return sawCancel;
    }

    std::string html;  // empty: the load fails

  private:
    std::mutex mutex;
    std::condition_variable gate;
    bool open = false;
    bool sawCancel = false;
    QStringList typedAddresses;
};

// A response of `body` as `type`, sent whole.
ScriptedResponse html(std::string body, std::string type = "text/html") {
    ScriptedResponse response;
    response.headers = {{"Content-Type", std::move(type)}};
    response.body = std::move(body);
    return response;
}

QList<bool> conversionCommandsEnabled(MainWindow* window) {
    return {window->extractAction()->isEnabled(), window->openFileAction()->isEnabled(),
            window->openURLAction()->isEnabled()};
}

}  // namespace

class OpenSourcesTest : public QObject {
    Q_OBJECT

    std::shared_ptr<GatedLoader> loader;
    std::unique_ptr<DelegateFixture> fixture;
    QTemporaryDir scratch;

    AppDelegate& delegate() { return fixture->delegate; }
    QString rawText() { return delegate().sourceView()->document()->toRawText(); }
    QString statusText() { return delegate().window()->statusMessage(); }
    QString writeScratch(const QString& name, const QByteArray& bytes) {
        const QString path = scratch.filePath(name);
        writeFile(path, bytes);
        return path;
    }
    void useLoader(std::shared_ptr<PageLoader> pageLoader) {
        fixture.reset();
        fixture = std::make_unique<DelegateFixture>(std::move(pageLoader));
        delegate().window()->show();
        delegate().applicationDidFinishLaunching();
    }

  private slots:
    void init() {
        removeAppData();
        loader = std::make_shared<GatedLoader>();
        useLoader(loader);
    }
    void cleanup() {
        loader->release();
        fixture.reset();
    }

    void decodeHtmlFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qulonglong>("encoding");
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF<p>\xC3\xA9") << "<p>é" << 4ull;
        QTest::newRow("UTF-16LE mark") << QByteArray("\xFF\xFE<\0p\0\xE9\0", 8) << "<pé" << 10ull;
        QTest::newRow("UTF-16BE mark") << QByteArray("\xFE\xFF\0<\0p\0\xE9", 8) << "<pé" << 10ull;
        QTest::newRow("declared windows-1252")
            << QByteArray("<meta charset=windows-1252>caf\xE9 \x80")
            << "<meta charset=windows-1252>café €" << 12ull;
        QTest::newRow("declared Shift_JIS")
            << QByteArray("<meta charset=shift_jis>\x93\xFA\x96\x7B")
            << "<meta charset=shift_jis>日本" << 8ull;
        QTest::newRow("declared UTF-8, bytes are not")
            << QByteArray("<meta charset=utf-8>\xE9t\xE9") << "<meta charset=utf-8>été" << 5ull;
        QTest::newRow("declared UTF-16 in ASCII bytes")
            << QByteArray("<meta charset=utf-16><p>ok") << "<meta charset=utf-16><p>ok" << 4ull;
        QTest::newRow("undeclared UTF-8") << QByteArray("<p>\xE2\x82\xAC") << "<p>€" << 4ull;
        QTest::newRow("undeclared, not UTF-8") << QByteArray("<p>\xE9") << "<p>é" << 5ull;
        QTest::newRow("empty") << QByteArray() << "" << 4ull;
    }
    void decodeHtmlFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(qulonglong, encoding);
        const DecodedSource decoded =
            gridmint::decodeHtmlFile(std::string_view(bytes.constData(), bytes.size()));
        QCOMPARE(QString::fromStdU16String(decoded.text), text);
        QCOMPARE(qulonglong{decoded.encoding}, encoding);
    }

    void openFileWithAWindows1252Page() {
        const QString path = writeScratch(
            QStringLiteral("cp1252.html"),
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=windows-1252\"></head><body><table><tr><td>caf\xE9 \x80</td></tr></table>");
        delegate().openFileCompletion(path);
        fixture->settle();
        QCOMPARE(fixture->logLinesStartingWith(QStringLiteral("encoding of html file is ")),
                 QStringList{QStringLiteral("encoding of html file is 12")});
        QVERIFY(rawText().contains(QStringLiteral("café €")));
        QCOMPARE(readFile(previewPath()), QByteArray("\"caf\xC3\xA9 \xE2\x82\xAC\""));
    }

    void openFileThatCannotBeRead_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << scratch.filePath(QStringLiteral("missing.html"));
        QTest::newRow("a folder") << scratch.path();
    }
    void openFileThatCannotBeRead() {
        QFETCH(QString, path);
        const QString before = rawText();
        delegate().openFileCompletion(path);
        QCOMPARE(fixture->beeps, 1);
        QCOMPARE(rawText(), before);
        const QStringList lines = fixture->logLines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("encoding of html file is 0"));
        QVERIFY(lines[1].startsWith(QStringLiteral("error getting html string from file: ")));
    }

    void openAnEmptyFileBeeps() {
        delegate().openFileCompletion(writeScratch(QStringLiteral("empty.html"), {}));
        QCOMPARE(rawText(), QString());
        QCOMPARE(fixture->beeps, 1);
    }

    void openFilePanel() {
        const QString path = writeScratch(QStringLiteral("page.html"), table.toUtf8());
        const auto panel = [this] {
            delegate().window()->openFileAction()->trigger();
            return delegate().window()->findChild<QFileDialog*>(QStringLiteral("openDialog"));
        };
        QFileDialog* cancelled = panel();
        QVERIFY(cancelled && cancelled->isVisible());
        QCOMPARE(cancelled->windowModality(), Qt::WindowModal);
        QCOMPARE(cancelled->nameFilters(),
                 QStringList{QStringLiteral("HTML files (*.html *.htm)")});
        QMetaObject::invokeMethod(cancelled, "reject");
        QCOMPARE(fixture->beeps, 0);  // Cancel does nothing
        QVERIFY(fixture->logLines().isEmpty());
        QTRY_VERIFY(!delegate().window()->findChild<QFileDialog*>(QStringLiteral("openDialog")));

        QFileDialog* chosen = panel();
        chosen->setDirectory(scratch.path());
        chosen->selectFile(path);
        QMetaObject::invokeMethod(chosen, "accept");
        fixture->settle();
        QCOMPARE(rawText(), table);
        QCOMPARE(readFile(previewPath()), tableCsv);
    }

    void openUrlSheet() {
        delegate().window()->openURLAction()->trigger();
        OpenUrlDialog* sheet = delegate().openURLWindow();
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QTest::keyClicks(delegate().openURLWindow()->urlField(),
                         QStringLiteral("example.org/cities"));
        QTest::keyClick(sheet, Qt::Key_Escape);
        QVERIFY(!sheet->isVisible());
        QVERIFY(!delegate().isBusy());
        delegate().openURL();
        QCOMPARE(delegate().openURLWindow()->urlField()->text(),
                 QStringLiteral("example.org/cities"));

        QTest::keyClick(sheet, Qt::Key_Return);
        QVERIFY(!sheet->isVisible());
        QVERIFY(delegate().isBusy());
        QTRY_COMPARE(loader->typed(), QStringList{QStringLiteral("example.org/cities")});
    }

    // The window keeps working while a page loads; the commands that would start another
    // conversion wait, and the page arrives through the same second stage.
    void aSlowLoadKeepsTheWindowLive() {
        loader->html = table.toStdString();
        delegate().openAddress(QStringLiteral("slow.example/page"));
        QVERIFY(delegate().isBusy());
        QVERIFY(delegate().window()->isBusy());
        QCOMPARE(conversionCommandsEnabled(delegate().window()),
                 (QList<bool>{false, false, false}));
        QVERIFY(statusText().contains(u"slow.example/page"));
        bool eventsRan = false;
        QTimer::singleShot(0, this, [&eventsRan] { eventsRan = true; });
        QTRY_VERIFY(eventsRan);
        QVERIFY(delegate().isBusy());
        QTRY_COMPARE(loader->typed(), QStringList{QStringLiteral("slow.example/page")});
        delegate().openAddress(QStringLiteral("second.example"));  // refused while loading
        QVERIFY(statusText().startsWith(u"Still busy"));
        QCOMPARE(loader->typed(), QStringList{QStringLiteral("slow.example/page")});

        loader->release();
        QTRY_VERIFY(!delegate().isBusy());
        QVERIFY(!delegate().window()->isBusy());
        QCOMPARE(conversionCommandsEnabled(delegate().window()), (QList<bool>{true, true, true}));
        QCOMPARE(rawText(), table);
        QCOMPARE(readFile(previewPath()), tableCsv);
        QCOMPARE(fixture->previewViews().size(), 1);
    }

    void cancelAbandonsTheLoad() {
        loader->html = table.toStdString();
        delegate().openAddress(QStringLiteral("stalled.example"));
        const QString before = rawText();
        delegate().window()->findChild<QToolButton*>(QStringLiteral("cancelButton"))->click();
        QVERIFY(!delegate().isBusy());
        QVERIFY(!delegate().window()->isBusy());
        QCOMPARE(conversionCommandsEnabled(delegate().window()), (QList<bool>{true, true, true}));
        QCOMPARE(statusText(), QStringLiteral("Cancelled"));
        QTRY_VERIFY(loader->cancelSeen());
        QTest::qWait(0);
        QCOMPARE(rawText(), before);
        QVERIFY(fixture->previewViews().isEmpty());
    }

    void aFailedLoadSaysWhy() {
        loader->release();  // the empty page: the loader answers with its failure
        const QString before = rawText();
        delegate().openAddress(QStringLiteral("plain.example"));
        QTRY_VERIFY(!delegate().isBusy());
        QCOMPARE(statusText(), QStringLiteral("Could not load plain.example: not an HTML page"));
        QCOMPARE(fixture->beeps, 0);
        QCOMPARE(rawText(), before);
    }

    void overHttp() {
        TestHttpServer server;
        server.route("/latin1.html",
                     html("<head><meta charset=iso-8859-1></head><table id=c><tr><td>Z\xFCrich"
                          "</td></tr></table>",
                          "text/html; charset=iso-8859-1"));
        server.route("/notes.txt", html("<table><tr><td>x</td></tr></table>", "text/plain"));
        ScriptedResponse slow = html(table.toStdString() + std::string(4000, ' '));
        slow.pieceSize = 400;
        slow.pause = std::chrono::milliseconds(30);
        server.route("/slow.html", slow);
        useLoader(std::make_shared<UrlPageLoader>());

        // A page that is not UTF-8 shows in the encoding its parser used, not as nothing.
        delegate().openAddress(QString::fromStdString(server.url("/latin1.html")));
        QTRY_VERIFY_WITH_TIMEOUT(!delegate().isBusy(), 20000);
        QVERIFY(rawText().contains(QStringLiteral("Zürich")));
        QCOMPARE(readFile(previewPath()), tableCsv);

        const QString notes = QString::fromStdString(server.url("/notes.txt"));
        delegate().openAddress(notes);
        QTRY_VERIFY_WITH_TIMEOUT(!delegate().isBusy(), 20000);
        QCOMPARE(statusText(), QStringLiteral("Could not load %1: not an HTML page "
                                              "(Content-Type: text/plain)")
                                   .arg(notes));

        delegate().openAddress(QString::fromStdString(server.url("/slow.html")));
        bool eventsRan = false;
        QTimer::singleShot(0, this, [&eventsRan] { eventsRan = true; });
        QTRY_VERIFY(eventsRan);
        QTRY_VERIFY_WITH_TIMEOUT(!delegate().isBusy(), 20000);
        QVERIFY(rawText().startsWith(table));
        QCOMPARE(readFile(previewPath()), tableCsv);

        // The fetch limits of the settings bind the window as they bind the tool.
        fixture->defaults.set(defaultsKey::fetchMaxBodyBytes, 1000L);
        delegate().openAddress(QString::fromStdString(server.url("/slow.html")));
        QTRY_VERIFY_WITH_TIMEOUT(!delegate().isBusy(), 20000);
        QVERIFY2(statusText().contains(u"too large"), qPrintable(statusText()));
    }

    // Options > Read Tables as a Browser Does binds Extract, Open File and Open URL alike: the
    // bytes are decoded as a browser settles them (a page labelled iso-8859-1 is read as
    // windows-1252), and the cells are what a browser shows.
    void browserReading_data() {
        QTest::addColumn<QString>("route");
        QTest::newRow("Extract") << "extract";
        QTest::newRow("Open File") << "file";
        QTest::newRow("Open URL") << "address";
    }
    void browserReading() {
        QFETCH(QString, route);
        const QByteArray page =
            "<meta charset=iso-8859-1><table><tr><td>F2<sup>[2]</sup> "
            "\x93q\x94<td>b</table>";
        const QString shown = QStringLiteral("F2<sup>[2]</sup> \u201Cq\u201D<td>b");
        TestHttpServer server;
        server.route("/page.html", html(page.toStdString(), "text/html; charset=iso-8859-1"));
        useLoader(std::make_shared<UrlPageLoader>());
        QAction* option = delegate().window()->browserReadingAction();
        QVERIFY(!option->isChecked());
        option->trigger();
        QVERIFY(QSettings().value(QStringLiteral("browserReading")).toBool());

        if (route == u"extract") {
            fixture->extract(
                QStringLiteral("<table><tr><td>F2<sup>[2]</sup> \u201Cq\u201D<td>b"
                               "</table>"));
        } else if (route == u"file") {
            delegate().openFileCompletion(writeScratch(QStringLiteral("page.html"), page));
        } else {
            delegate().openAddress(QString::fromStdString(server.url("/page.html")));
        }
        fixture->settle();
        QVERIFY2(rawText().contains(shown), qPrintable(rawText()));
        QCOMPARE(readFile(previewPath()), QByteArray("\"F2[2] \xE2\x80\x9Cq\xE2\x80\x9D\",\"b\""));
        QVERIFY2(statusText().endsWith(u"read as a browser does"), qPrintable(statusText()));

        option->trigger();
        delegate().convert();
        fixture->settle();
        // Read tag by tag, a cell needs its end tag.
        QCOMPARE(statusText(), QStringLiteral("No table found"));
        QVERIFY(!QSettings().value(QStringLiteral("browserReading")).toBool());
    }

    // Options > Keep Links as Columns, with the browser reading, puts each cell's first link in
    // a column of its own; the preview and the preview file show it. A link is made absolute
    // against <base href>, else against the address the page came from; a pasted page without
    // <base> keeps it as written.
    void keptLinksBecomeColumns_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<bool>("withBase");
        QTest::newRow("pasted, with <base>") << "extract" << true;
        QTest::newRow("pasted, no <base>") << "extract" << false;
        QTest::newRow("fetched, no <base>") << "address" << false;
    }
    void keptLinksBecomeColumns() {
        QFETCH(QString, route);
        QFETCH(bool, withBase);
        const QString page =
            QStringLiteral(
                "%1<table><tr><th>Doc</th><th>N</th></tr><tr><td><a href=\"a.pdf\">A</a>"
                "</td><td>1</td></tr><tr><td>none</td><td>2</td></tr></table>")
                .arg(withBase ? QStringLiteral("<base href=\"https://ex.org/d/\">") : QString());
        TestHttpServer server;
        server.route("/docs/list.html", html(page.toStdString()));
        useLoader(std::make_shared<UrlPageLoader>());
        QAction* links = delegate().window()->keepLinksAction();
        QVERIFY(!links->isEnabled());  // it needs the browser reading
        delegate().window()->browserReadingAction()->trigger();
        QVERIFY(links->isEnabled());
        links->trigger();
        QVERIFY(QSettings().value(QStringLiteral("extractLinks")).toBool());

        if (route == u"extract") {
            fixture->extract(page);
        } else {
            delegate().openAddress(QString::fromStdString(server.url("/docs/list.html")));
        }
        fixture->settle();
        const QByteArray href = withBase ? QByteArray("https://ex.org/d/a.pdf")
                                : route == u"address"
                                    ? QByteArray::fromStdString(server.url("/docs/a.pdf"))
                                    : QByteArray("a.pdf");
        QCOMPARE(readFile(previewPath()),
                 "\"Doc\",\"Doc (link)\",\"N\"\n\"A\",\"" + href + "\",\"1\"\n\"none\",\"\",\"2\"");
        QVERIFY(delegate().previewView());
        QCOMPARE(delegate().previewView()->model()->columnCount(), 3);

        // Without the browser reading, the option is kept but has no effect.
        delegate().window()->browserReadingAction()->trigger();
        QVERIFY(!links->isEnabled());
        fixture->extract(QStringLiteral("<table><tr><td><a href=\"x\">X</a></td></tr></table>"));
        fixture->settle();
        QCOMPARE(readFile(previewPath()), QByteArray("\"X\""));
    }

    // Opening a file replaces the text as one edit, which Undo takes back.
    void openFileKeepsTheUndoHistory() {
        delegate().sourceView()->setPlainText(QString());
        QTest::keyClicks(delegate().sourceView(), QStringLiteral("typed by hand"));
        delegate().openFileCompletion(writeScratch(QStringLiteral("undo.html"), table.toUtf8()));
        fixture->settle();
        QCOMPARE(rawText(), table);
        delegate().sourceView()->undo();
        QCOMPARE(rawText(), QStringLiteral("typed by hand"));
        delegate().sourceView()->redo();
        QCOMPARE(rawText(), table);
    }

    void droppedSource_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QUrl>("opened");
        const QUrl page = QUrl::fromLocalFile(QStringLiteral("/tmp/page.html"));
        const QUrl upper = QUrl::fromLocalFile(QStringLiteral("/tmp/PAGE.HTM"));
        const QUrl notes = QUrl::fromLocalFile(QStringLiteral("/tmp/notes.txt"));
        const QUrl web(QStringLiteral("https://example.org/stats"));
        QTest::newRow("HTML file") << QList<QUrl>{page} << page;
        QTest::newRow("upper-case .HTM") << QList<QUrl>{upper} << upper;
        QTest::newRow("text file") << QList<QUrl>{notes} << QUrl();
        QTest::newRow("web address") << QList<QUrl>{web} << web;
        QTest::newRow("ftp address")
            << QList<QUrl>{QUrl(QStringLiteral("ftp://x/a.html"))} << QUrl();
        QTest::newRow("first openable of several") << QList<QUrl>{notes, page} << page;
        QTest::newRow("no address") << QList<QUrl>{} << QUrl();
    }
    void droppedSource() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QUrl, opened);
        QMimeData mime;
        mime.setText(QStringLiteral("some text"));
        if (!urls.isEmpty()) mime.setUrls(urls);
        QCOMPARE(gridmint::droppedSource(&mime), opened);
    }

    void droppingAFileOpensIt() {
        const QString path = writeScratch(QStringLiteral("dropped.html"), table.toUtf8());
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QWidget* target = delegate().sourceView()->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        fixture->settle();
        QCOMPARE(rawText(), table);  // the file's text, not its name
        QCOMPARE(readFile(previewPath()), tableCsv);
    }

    void pastePrefersTheClipboardsHtml() {
        auto* mime = new QMimeData;
        mime->setHtml(table);
        mime->setText(QStringLiteral("Zürich"));
        QGuiApplication::clipboard()->setMimeData(mime);
        delegate().sourceView()->paste();  // replaces the selected placeholder
        QCOMPARE(rawText(), table);

        QGuiApplication::clipboard()->setText(QStringLiteral("plain"));
        delegate().sourceView()->selectAll();
        delegate().sourceView()->paste();
        QCOMPARE(rawText(), QStringLiteral("plain"));
    }

    void theLaunchArgumentIsAFileOrAnAddress() {
        delegate().openFileOrAddress(writeScratch(QStringLiteral("arg.html"), table.toUtf8()));
        fixture->settle();
        QCOMPARE(readFile(previewPath()), tableCsv);
        QVERIFY(!delegate().isBusy());

        delegate().openFileOrAddress(QStringLiteral("example.org/no-such-file.html"));
        QVERIFY(delegate().isBusy());
        QCOMPARE(delegate().openURLWindow()->urlField()->text(),
                 QStringLiteral("example.org/no-such-file.html"));
        QTRY_COMPARE(loader->typed(), QStringList{QStringLiteral("example.org/no-such-file.html")});
    }
};

GRIDMINT_APP_TEST_MAIN(OpenSourcesTest)
#include "OpenSourcesTest.moc"
