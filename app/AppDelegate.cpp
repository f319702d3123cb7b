#include "AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

#include "CsvWriter.h"
#include "Log.h"
#include "MainWindow.h"
#include "OpenUrlDialog.h"
#include "PageLoadJob.h"
#include "PageLoader.h"
#include "PreviewView.h"
#include "SelectionDialog.h"
#include "SourceText.h"
#include "SourceView.h"

namespace gridmint {

namespace {

// Selected at launch, so that the first paste replaces it.
const QString placeholderText = QStringLiteral(
    "paste HTML code here then press Extract. Alternatively use File > Open URL or File > Open "
    "File ");

const QString previewFileName = QStringLiteral("mr_preview.csv");

void log(const QString& message) {
    logLine(message.toStdString());
}

// The preview folder: one per user, under the platform's folder for application data. No
// trailing separator, so that the test for anything standing there sees a plain file too.
QString previewDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Gridmint/temp");
}

QString previewFilePath() {
    return QDir(previewDirectory()).filePath(previewFileName);
}

// The names as one list, one name to a line, for the log.
QString describeNames(const std::vector<Text>& names) {
    QStringList lines;
    for (const Text& name : names)
        lines << QStringLiteral("    ") + QString::fromStdU16String(name);
    return QStringLiteral("(\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n)");
}

// The user guide, installed beside the program: next to it in the build tree, in the data
// folder of an installation, in the bundle's resources on macOS.
QString findGuide() {
    const QString programDir = QCoreApplication::applicationDirPath();
    const QStringList candidates{
        programDir + QStringLiteral("/guide.html"),
        programDir + QStringLiteral("/../share/gridmint/guide.html"),
        programDir + QStringLiteral("/../Resources/guide.html"),
        QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                               QStringLiteral("gridmint/guide.html")),
    };
    for (const QString& candidate : candidates) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isFile()) {
            return QFileInfo(candidate).canonicalFilePath();
        }
    }
    return {};
}

// Copies the file at `from` over `to`; the copy is written beside `to` and takes its place
// only once complete, so a failure leaves whatever stood at `to` as it was.
bool copyFileSafely(const QString& from, const QString& to, QString& error) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        error = source.errorString();
        return false;
    }
    QSaveFile destination(to);
    if (!destination.open(QIODevice::WriteOnly)) {
        error = destination.errorString();
        return false;
    }
    constexpr qint64 chunk = 1 << 16;
    while (!source.atEnd()) {
        const QByteArray bytes = source.read(chunk);
        if (bytes.isEmpty() && source.error() != QFileDevice::NoError) {
            error = source.errorString();
            return false;
        }
        if (destination.write(bytes) != bytes.size()) {
            error = destination.errorString();
            return false;
        }
    }
    if (!destination.commit()) {
        error = destination.errorString();
        return false;
    }
    return true;
}

}  // namespace

AppDelegate::AppDelegate(const Defaults& settings, std::shared_ptr<PageLoader> loader,
                         QObject* parent)
    : QObject(parent),
      defaults(settings),
      pageLoader(std::move(loader)),
      window_(std::make_unique<MainWindow>()),
      beep_([] { QApplication::beep(); }) {
    sourceView = window_->sourceView();
    resultContainer = window_->resultContainer();
    resultSelectionWindow = new SelectionDialog(window_.get());
    resultSelectionTableView = resultSelectionWindow->tableView();
    openURLWindow = new OpenUrlDialog(window_.get());
    urlField = openURLWindow->urlField();
    choiceModel = new TableChoiceModel(*this, this);
    resultSelectionTableView->setModel(choiceModel);
    connectWindow();
}

AppDelegate::~AppDelegate() {
    // A load still running is abandoned; its job waits for the worker as it goes.
    delete loadJob.data();
}

void AppDelegate::connectWindow() {
    MainWindow* w = window_.get();
    connect(w->openFileAction(), &QAction::triggered, this, &AppDelegate::openFile);
    connect(w->openURLAction(), &QAction::triggered, this, &AppDelegate::openURL);
    connect(w->extractAction(), &QAction::triggered, this, &AppDelegate::convertButton);
    connect(w->exportAction(), &QAction::triggered, this, &AppDelegate::exportResult);
    connect(w->quitAction(), &QAction::triggered, w, &QWidget::close);
    connect(w->helpAction(), &QAction::triggered, this, &AppDelegate::visitHelp);
    connect(w->homeAction(), &QAction::triggered, this, &AppDelegate::visitHome);
    connect(w->aboutAction(), &QAction::triggered, this, &AppDelegate::showAbout);
    connect(w, &MainWindow::cancelRequested, this, &AppDelegate::cancelLoading);
    connect(w, &MainWindow::sourceDropped, this, &AppDelegate::openDroppedSource);
    connect(resultSelectionWindow, &QDialog::accepted, this, &AppDelegate::closeSelectionWindow);
    connect(openURLWindow, &QDialog::accepted, this, &AppDelegate::closeOpenURLWindow);
    connect(openURLWindow, &QDialog::rejected, this, &AppDelegate::cancelOpenURLWindow);
}

void AppDelegate::beep() const {
    beep_();
}

void AppDelegate::showStatus(const QString& message) const {
    window_->statusBar()->showMessage(message);
}

// Tells the user of a failure in a window-modal box that does not hold up the caller.
void AppDelegate::warnUser(const QString& text, const QString& reason) const {
    auto* box =
        new QMessageBox(QMessageBox::Warning, tr("Gridmint"), text, QMessageBox::Ok, window_.get());
    box->setInformativeText(reason);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// ---- Launch and the Help menu ----

void AppDelegate::applicationDidFinishLaunching() {
    sourceView->setPlainText(placeholderText);
    sourceView->selectAll();
    sourceView->setFocus();
    updateExportEnabled();
}

// The preview file stays on disk, to be exported after the next launch if the user wishes.
void AppDelegate::applicationWillTerminate() {}

QString AppDelegate::bundleVersionNumber() {
    return QStringLiteral("%1 (%2)").arg(QStringLiteral(GRIDMINT_VERSION),
                                         QStringLiteral(GRIDMINT_BUILD_NUMBER));
}

void AppDelegate::visitHelp() {
    const QString guide = findGuide();
    if (guide.isEmpty()) {
        showStatus(tr("The user guide is not installed"));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(guide));
}

void AppDelegate::visitHome() {
    QDesktopServices::openUrl(QUrl(QStringLiteral(GRIDMINT_HOME_PAGE)));
}

void AppDelegate::showAbout() {
    QMessageBox::about(
        window_.get(), tr("About Gridmint"),
        tr("<h3>Gridmint</h3><p>Version %1</p>"
           "<p>Finds the tables in an HTML page and turns the one you choose into CSV.</p>"
           "<p><a href=\"%2\">%2</a></p>")
            .arg(bundleVersionNumber().toHtmlEscaped(), QStringLiteral(GRIDMINT_HOME_PAGE)));
}

// ---- Extract and the choice among several tables ----

void AppDelegate::convertButton() {
    convert();
}

// The source view's text exactly as it holds it: no-break spaces and line separators stay
// what they are (the plain-text view of the document would turn them into spaces and line
// feeds); only the breaks between its blocks become line feeds.
QString AppDelegate::sourceText() const {
    QString text = sourceView->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

void AppDelegate::convert() {
    window_->statusBar()->clearMessage();
    // The old preview file goes first, so that no export can write a table of an earlier page.
    if (const auto path = getTempFilePath()) QFile::remove(*path);
    updateExportEnabled();
    const QString text = sourceText();
    if (text.isEmpty()) {
        beep();
        return;
    }
    // The parser reads the view's text in place: a copy of a big page costs as much as a scan.
    const std::u16string_view html(reinterpret_cast<const char16_t*>(text.utf16()),
                                   static_cast<size_t>(text.size()));
    convertStage2WithParser(HTMLTableParser::initWithHTMLString(html, defaults));
}

void AppDelegate::convertStage2WithParser(std::unique_ptr<HTMLTableParser> parser) {
    if (parser) {
        result = parser->takeResultDictionary();  // the parser is dropped below
        tableNames = result->keys();
    } else {
        result.reset();
        tableNames.reset();
    }
    parser.reset();  // the parser lives for one conversion
    const size_t count = tableNames ? tableNames->size() : 0;
    if (count >= 2) {
        log(QStringLiteral("we have found multiple tables within the page:\n") +
            describeNames(*tableNames));
        showStatus(tr("%n tables found: choose one", nullptr, static_cast<int>(count)));
        showSelectionWindow();
        return;
    }
    if (count == 0) {
        showStatus(tr("No table found"));
        return;
    }
    showTable(tableNames->front());
}

void AppDelegate::showSelectionWindow() {
    // A row still selected from an earlier showing stays selected while the new list reaches
    // that far, as the list's own reload would keep it.
    const QModelIndexList selected = resultSelectionTableView->selectionModel()->selectedRows();
    const int previousRow = selected.isEmpty() ? -1 : selected.front().row();
    choiceModel->reloadData();
    if (previousRow >= 0 && previousRow < choiceModel->rowCount()) {
        resultSelectionTableView->selectRow(previousRow);
    }
    resultSelectionWindow->fitColumns();
    resultSelectionWindow->open();
}

void AppDelegate::closeSelectionWindow() {
    resultSelectionWindow->hide();
    const QModelIndexList selected = resultSelectionTableView->selectionModel()->selectedRows();
    if (selected.isEmpty() || !tableNames || !result) return;
    const auto row = static_cast<size_t>(selected.front().row());
    if (row >= tableNames->size()) return;
    showTable((*tableNames)[row]);
}

long AppDelegate::numberOfRowsInTableView() const {
    return tableNames ? static_cast<long>(tableNames->size()) : 0;
}

QString AppDelegate::objectValueForTableColumn(const QString& identifier, long row) const {
    if (!tableNames || !result || row < 0 || static_cast<size_t>(row) >= tableNames->size()) {
        return QString();
    }
    const Text& name = (*tableNames)[static_cast<size_t>(row)];
    const Table* table = result->find(name);
    if (table == nullptr) return QString();
    if (identifier == u"class") return QString::fromStdU16String(name);
    if (identifier == u"rows") return QString::number(static_cast<long>(table->size()));
    if (identifier == u"cols") {
        // The first row's cells, not the widest row's.
        return table->empty() ? QString()
                              : QString::number(static_cast<long>(table->front().size()));
    }
    return QString();
}

// ---- The preview file, the preview and export ----

std::optional<QString> AppDelegate::getTempFilePath() const {
    const QString directory = previewDirectory();
    // Anything standing at the path counts: a plain file there makes the later write fail.
    if (!QFileInfo::exists(directory)) {
        std::error_code error;
        std::filesystem::create_directories(QFile::encodeName(directory).toStdString(), error);
        if (error) {
            log(QStringLiteral("error creating temp directory: %1: %2")
                    .arg(directory, QString::fromStdString(error.message())));
            return std::nullopt;
        }
    }
    return previewFilePath();
}

// Shows the table stored under `name` in `result`, and names it in the status bar.
void AppDelegate::showTable(const Text& name) {
    const Table* table = result ? result->find(name) : nullptr;
    if (table == nullptr || !displayResult(*table)) return;
    const size_t columns = table->empty() ? 0 : table->front().size();
    showStatus(tr("Previewing \u201C%1\u201D: %2 rows, %3 columns")
                   .arg(QString::fromStdU16String(name))
                   .arg(static_cast<qulonglong>(table->size()))
                   .arg(static_cast<qulonglong>(columns)));
}

bool AppDelegate::displayResult(const Table& table) {
    const std::string csv = csvUtf8FromArrays(table);
    const auto path = getTempFilePath();
    if (!path) {
        showStatus(tr("Could not make the preview folder %1").arg(previewDirectory()));
        return false;
    }
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.commit()) {
        log(QStringLiteral("error writing temp file: %1: %2").arg(*path, file.errorString()));
        showStatus(tr("Could not write the preview file: %1").arg(file.errorString()));
        return false;
    }
    showPreview(*path);
    updateExportEnabled();
    return true;
}

// A new preview for every showing; whatever the container held before goes.
void AppDelegate::showPreview(const QString& previewFile) {
    auto* view = new PreviewView(previewFile);
    const auto children = resultContainer->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        child->hide();
        child->setParent(nullptr);
        child->deleteLater();
    }
    resultContainer->layout()->addWidget(view);
}

void AppDelegate::updateExportEnabled() const {
    window_->exportAction()->setEnabled(QFileInfo(previewFilePath()).isFile());
}

void AppDelegate::exportResult() {
    auto* dialog =
        new QFileDialog(window_.get(), tr("Export CSV"), QString(), tr("CSV files (*.csv)"));
    dialog->setObjectName(QStringLiteral("exportDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &AppDelegate::exportCompletion);
    dialog->open();
}

void AppDelegate::exportCompletion(const QString& destination) {
    const auto path = getTempFilePath();
    if (!path) {
        warnUser(tr("Could not export the table."),
                 tr("The preview folder %1 could not be made.").arg(previewDirectory()));
        return;
    }
    log(QStringLiteral("copyItemAtPath %1 to %2")
            .arg(*path, QUrl::fromLocalFile(destination).toString()));
    QString error;
    if (!QFileInfo(*path).isFile()) {
        error = tr("The preview file %1 does not exist.").arg(*path);
    } else if (copyFileSafely(*path, destination, error)) {
        return;
    }
    log(QStringLiteral("error copying temp file: %1").arg(error));
    warnUser(tr("Could not export the table to %1.").arg(QDir::toNativeSeparators(destination)),
             error);
    updateExportEnabled();
}

// ---- Opening pages ----

void AppDelegate::openURL() {
    openURLWindow->open();
    urlField->selectAll();
    urlField->setFocus();
}

void AppDelegate::cancelOpenURLWindow() {
    openURLWindow->hide();
}

void AppDelegate::closeOpenURLWindow() {
    openURLWindow->hide();
    openAddress(urlField->text());
}

void AppDelegate::openAddress(const QString& typed) {
    if (isLoading()) {
        showStatus(tr("Still loading a page: wait for it or cancel it"));
        return;
    }
    auto* job = new PageLoadJob(pageLoader, typed.toStdU16String(), defaults, this);
    loadJob = job;
    connect(job, &PageLoadJob::finished, this, [this, job, typed] { loadFinished(job, typed); });
    setLoading(true, typed);
    job->start();
}

// While a page loads, the commands that would start another conversion wait.
void AppDelegate::setLoading(bool loading, const QString& typed) {
    for (QAction* action :
         {window_->extractAction(), window_->openFileAction(), window_->openURLAction()}) {
        action->setEnabled(!loading);
    }
    if (loading) {
        window_->showBusy(tr("Loading %1…").arg(typed));
    } else {
        window_->hideBusy();
    }
}

void AppDelegate::cancelLoading() {
    if (!isLoading()) return;
    loadJob->cancel();
    loadJob = nullptr;
    setLoading(false);
    showStatus(tr("Loading cancelled"));
}

void AppDelegate::loadFinished(PageLoadJob* job, const QString& typed) {
    PageLoad outcome = job->takeResult();
    job->deleteLater();
    loadJob = nullptr;
    setLoading(false);
    if (!outcome.parser) {
        showStatus(tr("Could not load %1: %2")
                       .arg(typed.isEmpty() ? tr("an empty address") : typed,
                            QString::fromStdString(outcome.failure)));
        return;
    }
    sourceView->setPlainText(QString::fromStdU16String(pageText(*outcome.parser)));
    convertStage2WithParser(std::move(outcome.parser));
}

void AppDelegate::openFile() {
    auto* dialog = new QFileDialog(window_.get(), tr("Open HTML File"), QString(),
                                   tr("HTML files (*.html *.htm)"));
    dialog->setObjectName(QStringLiteral("openDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &AppDelegate::openFileCompletion);
    dialog->open();
}

void AppDelegate::openFileCompletion(const QString& path) {
    QFile file(path);
    std::optional<DecodedSource> decoded;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError) {
            decoded = decodeHtmlFile(
                std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        }
    }
    log(QStringLiteral("encoding of html file is %1")
            .arg(static_cast<qulonglong>(decoded ? decoded->encoding : encoding::none)));
    if (!decoded) {
        log(QStringLiteral("error getting html string from file: %1: %2")
                .arg(path, file.errorString()));
        beep();
        return;
    }
    sourceView->setPlainText(QString::fromStdU16String(decoded->text));
    convert();
}

void AppDelegate::openFileOrAddress(const QString& source) {
    if (isLoading()) {
        showStatus(tr("Still loading a page: wait for it or cancel it"));
        return;
    }
    if (QFileInfo(source).isFile()) {
        openFileCompletion(source);
    } else {
        urlField->setText(source);
        openAddress(source);
    }
}

void AppDelegate::openDroppedSource(const QUrl& source) {
    openFileOrAddress(source.isLocalFile() ? source.toLocalFile() : source.toString());
}

}  // namespace gridmint
