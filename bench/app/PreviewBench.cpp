// Times the application's preview of a big table on the offscreen platform: from Extract
// (the action that the Extract button triggers) to the first paint of the grid, the steps of
// that road one by one, scrolling through the grid once it is shown, copying all its cells,
// the navigator's preview as its selection moves on a page of many tables, and the longest
// time the event loop waits during the Extract of a big page. Prints one line per
// figure,
//     figure <name> <value> <unit> <what it measures>
// for bench/run-bench to put in its report; lines starting with "#" describe the run. HOME
// and the XDG folders point into a temporary folder while it runs, so the preview file of
// the user's own application is never touched.
#include <sys/resource.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QSaveFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppDelegate.h"
#include "CsvReader.h"
#include "CsvWriter.h"
#include "Defaults.h"
#include "HTMLTableParser.h"
#include "IsolatedHome.h"
#include "MainWindow.h"
#include "OrdersPage.h"
#include "PageLoader.h"
#include "PreviewModel.h"
#include "PreviewView.h"
#include "SelectionDialog.h"
#include "SourceView.h"

using namespace gridmint;

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Times `step` once, in milliseconds.
double timed(const std::function<void()>& step) {
    const auto start = Clock::now();
    step();
    return millisecondsBetween(start, Clock::now());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The value below which `share` (0 to 1) of the values lie, by the nearest rank.
double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(share * static_cast<double>(values.size()) + 0.5);
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

void printFigure(const char* name, double value, const char* unit, const std::string& what) {
    std::printf("figure %s %.2f %s %s\n", name, value, unit, what.c_str());
    std::fflush(stdout);
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "gridmint-preview-bench: %s\n", message.c_str());
    std::exit(1);
}

struct Options {
    size_t rows = 100'000;
    size_t columns = 10;
    int runs = 5;
    int pageDowns = 200;
    int jumps = 20;
    size_t stallPageBytes = 50'000'000;
};

Options parseOptions(const QApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the preview of a big table, from Extract to a drawn grid, and scrolling it."));
    parser.addHelpOption();
    const QCommandLineOption rows(QStringLiteral("rows"),
                                  QStringLiteral("Rows of the table, its heading row included."),
                                  QStringLiteral("n"), QStringLiteral("100000"));
    const QCommandLineOption columns(QStringLiteral("columns"), QStringLiteral("Cells per row."),
                                     QStringLiteral("n"), QStringLiteral("10"));
    const QCommandLineOption runs(QStringLiteral("runs"),
                                  QStringLiteral("Timed Extracts (the median is reported)."),
                                  QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption pageDowns(QStringLiteral("page-downs"),
                                       QStringLiteral("Page Down presses timed one by one."),
                                       QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption jumps(QStringLiteral("jumps"),
                                   QStringLiteral("Times each jump (end, middle, top) is timed."),
                                   QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption stallPage(
        QStringLiteral("stall-page-mb"),
        QStringLiteral("Size of the page whose Extract is watched for event-loop stalls."),
        QStringLiteral("MB"), QStringLiteral("50"));
    parser.addOptions({rows, columns, runs, pageDowns, jumps, stallPage});
    parser.process(application);
    const auto positive = [&parser](const QCommandLineOption& option) {
        bool ok = false;
        const long value = parser.value(option).toLong(&ok);
        if (!ok || value < 1)
            fail("--" + option.names().front().toStdString() + " must be 1 or more");
        return value;
    };
    return {
        static_cast<size_t>(positive(rows)), static_cast<size_t>(positive(columns)),
        static_cast<int>(positive(runs)),    static_cast<int>(positive(pageDowns)),
        static_cast<int>(positive(jumps)),   static_cast<size_t>(positive(stallPage)) * 1'000'000};
}

// The benchmark opens no address.
class NoPageLoader : public PageLoader {
  public:
    PageLoad load(const std::u16string&, const Defaults&, const std::atomic<bool>&) override {
        return PageLoad::failed("the benchmark opens no address");
    }
};

// Runs the event loop until the watched widget has been painted once. The loop ends by a
// queued call, so the paint in progress, and the flush of the window it belongs to, finish
// first.
class PaintWatch : public QObject {
  public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }

    bool wait(int timeoutMilliseconds) {
        if (!painted_) {
            QTimer::singleShot(timeoutMilliseconds, &loop_, &QEventLoop::quit);
            loop_.exec();
        }
        return painted_;
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            QMetaObject::invokeMethod(&loop_, &QEventLoop::quit, Qt::QueuedConnection);
        }
        return false;
    }

  private:
    QEventLoop loop_;
    bool painted_ = false;
};

// Lets the application finish what it left for the event loop (old previews waiting to be
// deleted, layouts, paints), so that no timing pays for the one before.
void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

PreviewView* shownPreview(const AppDelegate& delegate) {
    const auto views =
        delegate.resultContainer()->findChildren<PreviewView*>(Qt::FindDirectChildrenOnly);
    return views.size() == 1 ? views.front() : nullptr;
}

void checkShape(const PreviewView& view, const Options& options) {
    const QAbstractItemModel* model = view.model();
    if (static_cast<size_t>(model->rowCount()) != options.rows ||
        static_cast<size_t>(model->columnCount()) != options.columns) {
        fail("the preview shows " + std::to_string(model->rowCount()) + " x " +
             std::to_string(model->columnCount()) + " instead of " + std::to_string(options.rows) +
             " x " + std::to_string(options.columns));
    }
}

struct ExtractTiming {
    double convert = 0;  // the Extract action, until its scan has handed the preview over
    double paint = 0;    // from then until the new grid has been painted
    double total() const { return convert + paint; }
};

ExtractTiming timeExtract(AppDelegate& delegate, const Options& options) {
    settle();
    ExtractTiming timing;
    const auto start = Clock::now();
    delegate.window()->extractAction()->trigger();
    // The scan runs on a worker; the preview arrives through the event loop.
    while (delegate.isBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const auto converted = Clock::now();
    PreviewView* view = shownPreview(delegate);
    if (view == nullptr) fail("Extract showed no preview");
    PaintWatch watch(view->viewport());
    if (!watch.wait(120'000)) fail("the preview was not painted within two minutes");
    timing.convert = millisecondsBetween(start, converted);
    timing.paint = millisecondsBetween(converted, Clock::now());
    checkShape(*view, options);
    return timing;
}

// The steps that the Extract action takes, each timed on its own with the calls the
// application makes, to show where the time goes.
struct StageTimes {
    std::vector<double> sourceText, scan, keepResult, csv, write, readCsv, view;
};

void timeStagesOnce(const AppDelegate& delegate, const QString& scratchFile, StageTimes& times) {
    InMemoryDefaults defaults;
    QString text;
    times.sourceText.push_back(timed([&] {
        text = delegate.sourceView()->document()->toRawText();
        text.replace(QChar::ParagraphSeparator, u'\n');
    }));
    std::unique_ptr<HTMLTableParser> parser;
    times.scan.push_back(timed([&] {
        const std::u16string_view html(reinterpret_cast<const char16_t*>(text.utf16()),
                                       static_cast<size_t>(text.size()));
        parser = HTMLTableParser::initWithHTMLString(html, defaults);
    }));
    if (!parser || parser->getResultDictionary().size() != 1) fail("the page gave no one table");
    std::optional<ResultDictionary> result;
    times.keepResult.push_back(timed([&] {
        result = parser->takeResultDictionary();
        parser.reset();
    }));
    std::string csv;
    times.csv.push_back(timed([&] { csv = csvUtf8FromArrays(result->at(0).second); }));
    times.write.push_back(timed([&] {
        QSaveFile file(scratchFile);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(csv.data(), static_cast<qint64>(csv.size())) !=
                static_cast<qint64>(csv.size()) ||
            !file.commit()) {
            fail("could not write " + scratchFile.toStdString());
        }
    }));
    CsvRecords records;
    times.readCsv.push_back(timed([&] {
        QFile file(scratchFile);
        if (!file.open(QIODevice::ReadOnly)) fail("could not read " + scratchFile.toStdString());
        const QByteArray bytes = file.readAll();
        records = readCsv(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        if (records.recordCount() == 0) fail("the CSV file read back empty");
    }));
    times.view.push_back(timed([&] { PreviewView view(scratchFile, std::move(records)); }));
}

void sendKey(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// Page Down as the user presses it: the current cell moves a page down and the view follows;
// each press is timed with the repaint of the whole view (grid, headers, scroll bars).
std::vector<double> timePageDowns(PreviewView* view, int presses) {
    view->scrollToTop();
    view->setCurrentIndex(view->model()->index(0, 0));
    view->setFocus();
    view->repaint();
    std::vector<double> times;
    for (int press = 0; press < presses; ++press) {
        times.push_back(timed([view] {
            sendKey(view, Qt::Key_PageDown);
            view->repaint();
        }));
    }
    if (view->verticalScrollBar()->value() == 0) fail("Page Down did not scroll the preview");
    return times;
}

struct JumpTimes {
    std::vector<double> toEnd, toMiddle, toTop;
};

JumpTimes timeJumps(PreviewView* view, int jumps) {
    const QModelIndex middle = view->model()->index(view->model()->rowCount() / 2, 0);
    JumpTimes times;
    for (int jump = 0; jump < jumps; ++jump) {
        times.toEnd.push_back(timed([view] {
            view->scrollToBottom();
            view->repaint();
        }));
        times.toMiddle.push_back(timed([view, &middle] {
            view->scrollTo(middle, QAbstractItemView::PositionAtCenter);
            view->repaint();
        }));
        times.toTop.push_back(timed([view] {
            view->scrollToTop();
            view->repaint();
        }));
    }
    return times;
}

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Pastes `html` into the source view as the user would: through the clipboard, over the
// whole of the text that the view holds.
void paste(AppDelegate& delegate, const std::string& html) {
    auto* mime = new QMimeData;
    mime->setText(QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size())));
    QGuiApplication::clipboard()->setMimeData(mime);
    delegate.sourceView()->selectAll();
    delegate.sourceView()->paste();
    if (delegate.sourceView()->document()->isEmpty()) fail("the paste left the source view empty");
}

void showWindow(AppDelegate& delegate) {
    MainWindow* window = delegate.window();
    window->resize(1280, 800);
    window->show();
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!window->windowHandle()->isExposed()) {
        if (Clock::now() > deadline) fail("the main window was never exposed");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    delegate.applicationDidFinishLaunching();
    settle();
}

std::string perRun(const Options& options) {
    return "median of " + std::to_string(options.runs) + " run(s)";
}

void reportExtract(AppDelegate& delegate, const Options& options) {
    const ExtractTiming first = timeExtract(delegate, options);
    printFigure("extract_first_ms", first.total(), "ms",
                "first Extract of the session, to the first paint of the grid");
    printFigure("extract_first_action_ms", first.convert, "ms",
                "of which the Extract action itself");
    std::vector<double> totals, converts, paints;
    for (int run = 0; run < options.runs; ++run) {
        const ExtractTiming timing = timeExtract(delegate, options);
        totals.push_back(timing.total());
        converts.push_back(timing.convert);
        paints.push_back(timing.paint);
    }
    printFigure(
        "extract_to_paint_ms", median(totals), "ms",
        "Extract to the first paint of the grid, replacing a shown preview, " + perRun(options));
    printFigure("extract_to_paint_max_ms", *std::max_element(totals.begin(), totals.end()), "ms",
                "slowest of those runs");
    printFigure("extract_action_ms", median(converts), "ms",
                "of which the Extract action and its scan on the worker (scan, CSV file, new "
                "preview view)");
    printFigure("extract_event_loop_ms", median(paints), "ms",
                "of which the event loop until the grid is painted (layout, old preview "
                "deleted, paint)");
}

void reportStages(const AppDelegate& delegate, const Options& options) {
    const QString scratchFile = QDir::temp().filePath(QStringLiteral("gridmint-preview-bench.csv"));
    StageTimes times;
    for (int run = 0; run < options.runs; ++run) timeStagesOnce(delegate, scratchFile, times);
    QFile::remove(scratchFile);
    const std::string each = ", each step alone, " + perRun(options);
    printFigure("stage_source_text_ms", median(times.sourceText), "ms",
                "source view's text taken" + each);
    printFigure("stage_scan_ms", median(times.scan), "ms", "text to UTF-8 and scan" + each);
    printFigure("stage_keep_result_ms", median(times.keepResult), "ms",
                "result dictionary taken, parser freed" + each);
    printFigure("stage_csv_ms", median(times.csv), "ms", "CSV text of the table" + each);
    printFigure("stage_write_ms", median(times.write), "ms", "preview file written" + each);
    printFigure("stage_read_csv_ms", median(times.readCsv), "ms",
                "preview file read and parsed into records" + each);
    printFigure("stage_view_ms", median(times.view), "ms",
                "preview view made: file read into the model, columns sized" + each);
}

void reportScrolling(AppDelegate& delegate, const Options& options) {
    settle();
    PreviewView* view = shownPreview(delegate);
    if (view == nullptr) fail("no preview to scroll");
    const std::vector<double> pageDowns = timePageDowns(view, options.pageDowns);
    const std::string presses = std::to_string(options.pageDowns) + " Page Down presses";
    printFigure("page_down_median_ms", median(pageDowns), "ms",
                "Page Down and repaint of the view, median of " + presses);
    printFigure("page_down_p95_ms", percentile(pageDowns, 0.95), "ms",
                "95th percentile of the same presses");
    printFigure("page_down_max_ms", *std::max_element(pageDowns.begin(), pageDowns.end()), "ms",
                "slowest of the same presses");
    const JumpTimes jumps = timeJumps(view, options.jumps);
    const std::string each = " and repaint, median of " + std::to_string(options.jumps);
    printFigure("scroll_to_end_ms", median(jumps.toEnd), "ms", "jump to the last row" + each);
    printFigure("scroll_to_middle_ms", median(jumps.toMiddle), "ms",
                "jump to the middle row" + each);
    printFigure("scroll_to_top_ms", median(jumps.toTop), "ms", "jump to the first row" + each);
    // The grid is drawn by one view over the model: its widgets do not grow with the table.
    printFigure("preview_widgets", static_cast<double>(view->findChildren<QWidget*>().size() + 1),
                "widgets", "widgets making up the preview view, whatever the table's size");
}

// Copies every cell of the shown grid, as Ctrl+C does after selecting all.
void reportCopy(AppDelegate& delegate, const Options& options) {
    settle();
    PreviewView* view = shownPreview(delegate);
    if (view == nullptr) fail("no preview to copy from");
    view->selectAll();
    std::vector<double> times;
    for (int run = 0; run < options.runs; ++run)
        times.push_back(timed([view] { view->copySelection(); }));
    const QString copied = QGuiApplication::clipboard()->text();
    if (static_cast<size_t>(copied.count(u'\n')) + 1 != options.rows) fail("the copy lost rows");
    printFigure("copy_all_cells_ms", median(times), "ms",
                "Ctrl+C of all " + std::to_string(options.rows) + " x " +
                    std::to_string(options.columns) +
                    " cells (tab-separated text and HTML on the clipboard), " + perRun(options));
    view->clearSelection();
}

// A page of `tables` small tables, as a long article's navigation boxes make.
std::string manyTablesPage(int tables) {
    std::string html = "<html><body>";
    for (int table = 0; table < tables; ++table) {
        html += "<table class=\"navbox\">";
        for (int row = 0; row < 12; ++row) {
            html += "<tr>";
            for (int cell = 0; cell < 6; ++cell) {
                html += "<td>box " + std::to_string(table) + " row " + std::to_string(row) +
                        " cell " + std::to_string(cell) + "</td>";
            }
            html += "</tr>";
        }
        html += "</table>";
    }
    return html + "</body></html>";
}

// Moves the navigator's selection down its list of 500 tables, timing each move with the
// repaint of the sample beside the list.
void reportNavigator(AppDelegate& delegate, const Options& options) {
    constexpr int tables = 500;
    paste(delegate, manyTablesPage(tables));
    delegate.window()->extractAction()->trigger();
    while (delegate.isBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    SelectionDialog* navigator = delegate.resultSelectionWindow();
    if (!navigator->isVisible() || navigator->tableView()->model()->rowCount() != tables) {
        fail("the navigator did not list the 500 tables");
    }
    settle();
    std::vector<double> times;
    const int moves = std::min(tables, std::max(50, options.runs * 20));
    for (int row = 0; row < moves; ++row) {
        times.push_back(timed([navigator, row] {
            navigator->selectRow(row);
            navigator->sampleView()->repaint();
        }));
    }
    if (!navigator->isShowingSample()) fail("the navigator showed no sample");
    navigator->reject();
    settle();
    const std::string what =
        "navigator selection moved on a page of 500 tables, sample shown and "
        "painted, " +
        std::to_string(moves) + " moves";
    printFigure("navigator_select_median_ms", median(times), "ms", "median of " + what);
    printFigure("navigator_select_max_ms", *std::max_element(times.begin(), times.end()), "ms",
                "slowest of " + what);
}

// Extract of a big page while a timer asks the event loop to run every 5 ms: the longest gap
// between two of its turns is how long the window would not answer.
void reportStall(AppDelegate& delegate, size_t pageBytes) {
    const size_t columns = 10;
    size_t rows = 1000;
    while (bench::ordersPage(rows, columns).size() < pageBytes / 8) rows *= 2;
    rows = static_cast<size_t>(static_cast<double>(rows) * static_cast<double>(pageBytes) /
                               static_cast<double>(bench::ordersPage(rows, columns).size()));
    const std::string html = bench::ordersPage(rows, columns);
    paste(delegate, html);
    settle();
    double longest = 0;
    auto last = Clock::now();
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longest = std::max(longest, millisecondsBetween(last, now));
        last = now;
    });
    ticker.start();
    QCoreApplication::processEvents();
    const auto start = Clock::now();
    last = start;
    delegate.window()->extractAction()->trigger();
    longest = std::max(longest, millisecondsBetween(start, Clock::now()));
    last = Clock::now();
    while (delegate.isBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    PreviewView* view = shownPreview(delegate);
    if (view == nullptr) fail("the big Extract showed no preview");
    PaintWatch watch(view->viewport());
    if (!watch.wait(120'000)) fail("the big preview was not painted within two minutes");
    const double total = millisecondsBetween(start, Clock::now());
    ticker.stop();
    const std::string page = std::to_string(html.size() / 1'000'000) + " MB page";
    printFigure("extract_big_longest_stall_ms", longest, "ms",
                "longest event-loop stall during Extract of a " + page + " (" +
                    std::to_string(rows) + " rows), to the painted grid");
    printFigure("extract_big_total_ms", total, "ms", "that Extract, to the painted grid");
}

}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    if (!home.isValid()) fail("could not make a temporary home folder");
    test::isolateHome(home);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Gridmint"));
    QApplication::setApplicationName(QStringLiteral("Gridmint"));
    const Options options = parseOptions(application);

    const std::string html = bench::ordersPage(options.rows, options.columns);
    std::printf("# table %zu rows x %zu columns, page %zu bytes, platform %s\n", options.rows,
                options.columns, html.size(), qPrintable(QGuiApplication::platformName()));

    InMemoryDefaults defaults;
    AppDelegate delegate(defaults, std::make_shared<NoPageLoader>());
    int beeps = 0;
    delegate.setBeep([&beeps] { ++beeps; });
    showWindow(delegate);
    printFigure("paste_ms", timed([&] { paste(delegate, html); }), "ms",
                "paste of the page into the source view (before Extract; not in the goal)");

    reportExtract(delegate, options);
    reportStages(delegate, options);
    reportScrolling(delegate, options);
    reportCopy(delegate, options);
    reportNavigator(delegate, options);
    reportStall(delegate, options.stallPageBytes);
    printFigure("peak_rss_mb", peakResidentMegabytes(), "MB",
                "peak resident memory of the whole benchmark process");
    if (beeps != 0) fail("the application beeped");
    return 0;
}
