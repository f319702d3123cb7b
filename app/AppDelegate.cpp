#include "AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>

#include "CsvOptionsRow.h"
#include "CsvWriter.h"
#include "HelpCommands.h"
#include "Log.h"
#include "MainWindow.h"
#include "OpenUrlDialog.h"
#include "OutputFile.h"
#include "PageLoadWork.h"
#include "PageLoader.h"
#include "PreviewView.h"
#include "SafeFileName.h"
#include "SelectionDialog.h"
#include "SourceText.h"
#include "SourceView.h"
#include "TableChoiceModel.h"

namespace gridmint {

namespace {

// Selected at launch, so that the first paste replaces it.
const QString placeholderText = QStringLiteral(
    "paste HTML code here then press Extract. Alternatively use File > Open URL or File > Open "
    "File ");

// The settings key of the folder the last export went to.
const QString exportFolderKey = QStringLiteral("lastExportFolder");

void log(const QString& message) {
    logLine(message.toStdString());
}

// The names as one list, one name to a line, for the log.
QString describeNames(const std::vector<Text>& names) {
    QStringList lines;
    for (const Text& name : names)
        lines << QStringLiteral("    ") + QString::fromStdU16String(name);
    return QStringLiteral("(\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n)");
}

// Stores a setting that the engine reads under `key`.
void storeSetting(std::string_view key, const QVariant& value) {
    QSettings().setValue(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())), value);
}

QString quotedName(const Text& name) {
    return QStringLiteral("\u201C%1\u201D").arg(QString::fromStdU16String(name));
}

}  // namespace

AppDelegate::AppDelegate(const Defaults& settings, std::shared_ptr<PageLoader> loader,
                         QObject* parent)
    : QObject(parent),
      defaults(settings),
      pageLoader(std::move(loader)),
      window_(std::make_unique<MainWindow>()),
      exportDialect_(csvDialectFromDefaults(settings)),
      beep_([] { QApplication::beep(); }) {
    sourceView_ = window_->sourceView();
    resultContainer_ = window_->resultContainer();
    resultSelectionWindow_ = new SelectionDialog(window_.get());
    openURLWindow_ = new OpenUrlDialog(window_.get());
    choiceModel_ = new TableChoiceModel(this);
    resultSelectionWindow_->setChoiceModel(choiceModel_);
    connectWindow();
}

AppDelegate::~AppDelegate() {
    // A job still running is abandoned; it waits for its worker as it goes.
    delete job_.data();
}

void AppDelegate::connectWindow() {
    MainWindow* w = window_.get();
    connect(w->openFileAction(), &QAction::triggered, this, &AppDelegate::openFile);
    connect(w->openURLAction(), &QAction::triggered, this, &AppDelegate::openURL);
    connect(w->extractAction(), &QAction::triggered, this, &AppDelegate::convertButton);
    connect(w->chooseTableAction(), &QAction::triggered, this, &AppDelegate::chooseAnotherTable);
    connect(w->exportAction(), &QAction::triggered, this, &AppDelegate::exportResult);
    connect(w->exportAllAction(), &QAction::triggered, this, &AppDelegate::exportAllTables);
    connect(w->copyAction(), &QAction::triggered, this, &AppDelegate::copyCells);
    connect(w->copyAsCsvAction(), &QAction::triggered, this, &AppDelegate::copyCellsAsCsv);
    connect(w->quitAction(), &QAction::triggered, w, &QWidget::close);
    connect(w->helpAction(), &QAction::triggered, this, &AppDelegate::visitHelp);
    connect(w->homeAction(), &QAction::triggered, this, &AppDelegate::visitHome);
    connect(w->aboutAction(), &QAction::triggered, this, [w] { showAboutBox(w); });
    w->browserReadingAction()->setChecked(defaults.boolForKey(defaultsKey::browserReading));
    connect(w->browserReadingAction(), &QAction::toggled, this, &AppDelegate::chooseBrowserReading);
    w->keepLinksAction()->setChecked(defaults.boolForKey(defaultsKey::extractLinks));
    connect(w->keepLinksAction(), &QAction::toggled, this,
            [](bool chosen) { storeSetting(defaultsKey::extractLinks, chosen); });
    connect(w, &MainWindow::cancelRequested, this, &AppDelegate::cancelLoading);
    connect(w, &MainWindow::sourceDropped, this, &AppDelegate::openDroppedSource);
    connect(resultSelectionWindow_, &QDialog::accepted, this, &AppDelegate::closeSelectionWindow);
    connect(resultSelectionWindow_, &SelectionDialog::chosenRowChanged, this,
            &AppDelegate::showSampleOfRow);
    connect(openURLWindow_, &QDialog::accepted, this, &AppDelegate::closeOpenURLWindow);
    connect(openURLWindow_, &QDialog::rejected, this, &AppDelegate::cancelOpenURLWindow);
    watchSheet(resultSelectionWindow_);
    watchSheet(openURLWindow_);
}

void AppDelegate::beep() const {
    beep_();
}

void AppDelegate::showStatus(const QString& message) const {
    window_->showStatus(message);
}

// Tells the user of a failure in a window-modal box that does not hold up the caller.
void AppDelegate::warnUser(const QString& text, const QString& reason) const {
    auto* box =
        new QMessageBox(QMessageBox::Warning, tr("Gridmint"), text, QMessageBox::Ok, window_.get());
    box->setInformativeText(reason);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    const_cast<AppDelegate*>(this)->watchSheet(box);
    box->open();
}

// ---- Launch and the Help menu ----

void AppDelegate::applicationDidFinishLaunching() {
    sourceView_->setPlainText(placeholderText);
    sourceView_->selectAll();
    sourceView_->setFocus();
    updateCommandsEnabled();
}

// The preview file stays on disk, to be exported after the next launch if the user wishes.
void AppDelegate::applicationWillTerminate() {}

QString AppDelegate::bundleVersionNumber() {
    return gridmint::bundleVersionNumber();
}

void AppDelegate::visitHelp() {
    if (!openGuide()) showStatus(tr("The user guide is not installed"));
}

void AppDelegate::visitHome() {
    openHomePage();
}

// ---- Extract and the choice among several tables ----

void AppDelegate::convertButton() {
    convert();
}

void AppDelegate::convert() {
    if (isBusy()) {
        showStatus(tr("Still busy with a page: wait for it or cancel it"));
        return;
    }
    showStatus(QString());
    // The old preview file goes first, so that no export can write a table of an earlier page.
    previewFile_.remove();
    updateCommandsEnabled();
    if (sourceView_->document()->isEmpty()) {
        beep();
        return;
    }
    // The view's text is read once, here; the worker owns that copy.
    auto outcome = std::make_shared<PageLoad>();
    startJob(pageLoadWork(scanOfText(sourceView_->document()->toRawText()), defaults,
                          readingChoice(readsAsBrowser()), outcome),
             tr("Extracting tables…"), [this, outcome] { tablesRead(*outcome); });
}

bool AppDelegate::readsAsBrowser() const {
    return window_->browserReadingAction()->isChecked();
}

ReadingChoice AppDelegate::readingChoice(bool browser) const {
    return {browser, browser && window_->keepLinksAction()->isChecked()};
}

// The choice is stored at once, so the next launch reads pages the same way.
void AppDelegate::chooseBrowserReading(bool chosen) {
    storeSetting(defaultsKey::browserReading, chosen);
}

void AppDelegate::tablesRead(PageLoad& outcome) {
    if (!outcome.browser) {
        convertStage2WithParser(std::move(outcome.parser));
        return;
    }
    browser::BrowserResult& reading = outcome.browser->reading;
    if (reading.outputTooLarge) {
        presentTables(std::nullopt, true);
        showStatus(tr("The page's tables would need more than 64 M cells: none shown"));
        return;
    }
    // The window shows text only: kept links become columns of their tables.
    browser::moveLinksIntoColumns(reading);
    presentTables(std::move(reading.tables), true);
}

void AppDelegate::convertStage2WithParser(std::unique_ptr<HTMLTableParser> parser) {
    std::optional<ResultDictionary> tables;
    if (parser) tables = parser->takeResultDictionary();
    parser.reset();  // the parser lives for one conversion
    presentTables(std::move(tables), false);
}

void AppDelegate::presentTables(std::optional<ResultDictionary> tables, bool readAsBrowser) {
    result_ = std::move(tables);
    resultReadAsBrowser_ = readAsBrowser;
    if (result_) {
        tableNames_ = result_->keys();
    } else {
        tableNames_.reset();
    }
    shownTableName_.reset();
    updateCommandsEnabled();
    const size_t count = tableNames_ ? tableNames_->size() : 0;
    if (count >= 2) {
        log(QStringLiteral("we have found multiple tables within the page:\n") +
            describeNames(*tableNames_));
        showStatus(tr("%n tables found: choose one", nullptr, static_cast<int>(count)));
        showSelectionWindow();
        return;
    }
    if (count == 0) {
        showStatus(tr("No table found"));
        return;
    }
    showTable(tableNames_->front());
}

void AppDelegate::showSelectionWindow() {
    // A row still selected from an earlier showing stays selected while the new list reaches
    // that far, as the list's own reload would keep it.
    const int previousRow = resultSelectionWindow_->chosenRow();
    choiceModel_->setResult(result_ ? &*result_ : nullptr, tableNames_ ? &*tableNames_ : nullptr);
    if (previousRow >= 0 && previousRow < choiceModel_->rowCount()) {
        resultSelectionWindow_->selectRow(previousRow);
    }
    showSampleOfRow(resultSelectionWindow_->chosenRow());
    resultSelectionWindow_->fitColumns();
    resultSelectionWindow_->open();
}

void AppDelegate::showSampleOfRow(int row) {
    resultSelectionWindow_->showSample(choiceModel_->tableAt(row));
}

void AppDelegate::closeSelectionWindow() {
    resultSelectionWindow_->hide();
    const int row = resultSelectionWindow_->chosenRow();
    if (row < 0 || !tableNames_ || !result_) return;
    if (static_cast<size_t>(row) >= tableNames_->size()) return;
    showTable((*tableNames_)[static_cast<size_t>(row)]);
}

void AppDelegate::chooseAnotherTable() {
    if (!tableNames_ || tableNames_->size() < 2 || isBusy()) return;
    int shownRow = -1;
    for (size_t row = 0; row < tableNames_->size(); ++row) {
        if (shownTableName_ && (*tableNames_)[row] == *shownTableName_) {
            shownRow = static_cast<int>(row);
        }
    }
    resultSelectionWindow_->selectRow(shownRow);
    showSelectionWindow();
}

long AppDelegate::numberOfRowsInTableView() const {
    return choiceModel_->numberOfRows();
}

QString AppDelegate::objectValueForTableColumn(const QString& identifier, long row) const {
    return choiceModel_->objectValueForTableColumn(identifier, row);
}

// ---- The preview file, the preview, copying and export ----

// Shows the table stored under `name` in `result`, and names it in the status bar.
void AppDelegate::showTable(const Text& name) {
    const Table* found = result_ ? result_->find(name) : nullptr;
    if (found == nullptr) return;
    const size_t rows = found->size();
    const size_t columns = rows == 0 ? 0 : (*found)[0].size();
    displayResult(*found, [this, name, rows, columns] {
        shownTableName_ = name;
        showStatus(
            tr("Previewing %1: %2 rows, %3 columns, %4")
                .arg(quotedName(name))
                .arg(static_cast<qulonglong>(rows))
                .arg(static_cast<qulonglong>(columns))
                .arg(resultReadAsBrowser_ ? tr("read as a browser does") : tr("read tag by tag")));
    });
}

namespace {

struct PreparedPreview {
    bool written = false;
    QString error;
    CsvRecords records;
};

}  // namespace

// The job cannot be cancelled: it takes as long as the table's size, not the network's, and a
// preview file left to a cancelled worker could be replaced after a newer one.
void AppDelegate::displayResult(const Table& table, std::function<void()> shown) {
    auto prepared = std::make_shared<PreparedPreview>();
    auto work = [file = previewFile_, &table, prepared](const std::atomic<bool>&) {
        prepared->written = file.write(table, prepared->error);
        if (prepared->written) prepared->records = file.readRecords();
    };
    auto done = [this, prepared, shown = std::move(shown)] {
        if (!prepared->written) {
            showStatus(tr("Could not write the preview file: %1").arg(prepared->error));
            return;
        }
        showPreview(PreviewFile::path(), std::move(prepared->records));
        updateCommandsEnabled();
        if (shown) shown();
    };
    startJob(std::move(work), tr("Preparing the preview…"), std::move(done), false);
}

// A new preview for every showing; whatever the container held before goes.
void AppDelegate::showPreview(const QString& previewFile, CsvRecords records) {
    auto* view = new PreviewView(previewFile, std::move(records));
    const auto children = resultContainer_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        child->hide();
        child->setParent(nullptr);
        child->deleteLater();
    }
    resultContainer_->layout()->addWidget(view);
}

PreviewView* AppDelegate::previewView() const {
    return resultContainer_->findChild<PreviewView*>(QString(), Qt::FindDirectChildrenOnly);
}

void AppDelegate::copyCells() const {
    if (PreviewView* view = previewView()) view->copySelection();
}

void AppDelegate::copyCellsAsCsv() const {
    if (PreviewView* view = previewView()) view->copySelectionAsCsv();
}

void AppDelegate::updateCommandsEnabled() const {
    const bool busy = isBusy();
    for (QAction* action :
         {window_->extractAction(), window_->openFileAction(), window_->openURLAction()}) {
        action->setEnabled(!busy);
    }
    window_->exportAction()->setEnabled(previewFile_.exists());
    window_->exportAllAction()->setEnabled(!busy && result_ && !result_->empty());
    window_->chooseTableAction()->setEnabled(!busy && tableNames_ && tableNames_->size() >= 2);
}

QString AppDelegate::exportFolder() const {
    const QString folder = QSettings().value(exportFolderKey).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void AppDelegate::rememberExportFolder(const QString& folder) const {
    QSettings().setValue(exportFolderKey, folder);
}

// The options are stored as soon as they change, as the reading's are.
void AppDelegate::chooseExportDialect(const CsvDialect& dialect) {
    exportDialect_ = dialect;
    for (const auto& [key, value] : csvDialectAsSettings(dialect)) {
        storeSetting(key, QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    }
}

void AppDelegate::exportResult() {
    auto* dialog =
        new QFileDialog(window_.get(), tr("Export CSV"), exportFolder(), tr("CSV files (*.csv)"));
    dialog->setObjectName(QStringLiteral("exportDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    connect(CsvOptionsRow::addTo(dialog, exportDialect_), &CsvOptionsRow::dialectChanged, this,
            &AppDelegate::chooseExportDialect);
    if (shownTableName_) {
        dialog->selectFile(QString::fromStdString(cli::safeFileStem(*shownTableName_)) +
                           QStringLiteral(".csv"));
    }
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &AppDelegate::exportCompletion);
    watchSheet(dialog);
    dialog->open();
}

// In the default form the export is a copy of the preview file; in any other, the table
// shown is written again in that form.
void AppDelegate::exportCompletion(const QString& destination) {
    QString error;
    if (exportDialect_ == CsvDialect() ? previewFile_.exportTo(destination, error)
                                       : writeShownTable(destination, error)) {
        rememberExportFolder(QFileInfo(destination).absolutePath());
        showStatus(tr("Exported %1 to %2")
                       .arg(shownTableName_ ? quotedName(*shownTableName_) : tr("the table"),
                            QDir::toNativeSeparators(destination)));
        return;
    }
    warnUser(tr("Could not export the table to %1.").arg(QDir::toNativeSeparators(destination)),
             error);
    updateCommandsEnabled();
}

// Streams the table's CSV in the export form into `path`, which is replaced only once it has
// all of it; the CSV is never held whole in memory.
bool AppDelegate::writeCsvFile(const QString& path, const Table& table, std::string& error) const {
    return cli::writeFileAtomically(
        QFile::encodeName(path).toStdString(),
        [&](const OutputSink& sink) { return writeCsvUtf8FromArrays(table, sink, exportDialect_); },
        error);
}

bool AppDelegate::writeShownTable(const QString& destination, QString& error) const {
    const Table* table = result_ && shownTableName_ ? result_->find(*shownTableName_) : nullptr;
    if (table == nullptr) {
        error = tr("No table is shown.");
        return false;
    }
    std::string why;
    if (writeCsvFile(destination, *table, why)) {
        return true;
    }
    error = QString::fromStdString(why);
    log(QStringLiteral("error exporting table: ") + error);
    return false;
}

void AppDelegate::exportAllTables() {
    auto* dialog =
        new QFileDialog(window_.get(), tr("Export All Tables to a Folder"), exportFolder());
    dialog->setObjectName(QStringLiteral("exportAllDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    connect(CsvOptionsRow::addTo(dialog, exportDialect_), &CsvOptionsRow::dialectChanged, this,
            &AppDelegate::chooseExportDialect);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &AppDelegate::exportAllCompletion);
    watchSheet(dialog);
    dialog->open();
}

// One CSV per table, in page order, named as the tool's --all names them; a file that cannot
// be written is reported and the others are still written.
void AppDelegate::exportAllCompletion(const QString& folder) {
    if (!result_ || result_->empty()) {
        showStatus(tr("No tables to export"));
        return;
    }
    cli::UniqueFileStems stems;
    int written = 0;
    QStringList failures;
    const QDir directory(folder);
    for (const auto& [name, table] : *result_) {
        const QString path =
            directory.filePath(QString::fromStdString(stems.next(name)) + QStringLiteral(".csv"));
        std::string error;
        if (writeCsvFile(path, table, error)) {
            ++written;
        } else {
            failures << QString::fromStdString(error);
        }
    }
    rememberExportFolder(directory.absolutePath());
    const QString where = QDir::toNativeSeparators(directory.absolutePath());
    showStatus(tr("Exported %n table(s) to %1", nullptr, written).arg(where));
    if (!failures.isEmpty()) {
        log(QStringLiteral("error exporting tables: ") + failures.join(QStringLiteral("; ")));
        warnUser(
            tr("Could not export %n table(s) to %1.", nullptr, static_cast<int>(failures.size()))
                .arg(where),
            failures.join(u'\n'));
    }
}

// ---- Opening pages ----

void AppDelegate::openURL() {
    openURLWindow_->showForInput();
}

void AppDelegate::cancelOpenURLWindow() {
    openURLWindow_->hide();
}

void AppDelegate::closeOpenURLWindow() {
    openURLWindow_->hide();
    openAddress(openURLWindow_->address());
}

void AppDelegate::openAddress(const QString& typed) {
    if (isBusy()) {
        showStatus(tr("Still busy with a page: wait for it or cancel it"));
        return;
    }
    auto outcome = std::make_shared<PageLoad>();
    startJob(pageLoadWork(loadThrough(pageLoader, typed.toStdU16String()), defaults,
                          readingChoice(readsAsBrowser()), outcome),
             tr("Loading %1…").arg(typed), [this, outcome, typed] { pageLoaded(*outcome, typed); });
}

void AppDelegate::startJob(WorkerJob::Work work, const QString& message, std::function<void()> done,
                           bool cancellable) {
    auto* job = new WorkerJob(std::move(work), this);
    job_ = job;
    jobCancellable_ = cancellable;
    connect(job, &WorkerJob::finished, this, [this, job, done = std::move(done)] {
        job->deleteLater();
        job_ = nullptr;
        setBusy(false);
        done();
    });
    setBusy(true, message, cancellable);
    job->start();
}

// While a page loads or is scanned, the commands that would start another conversion wait.
void AppDelegate::setBusy(bool busy, const QString& message, bool cancellable) {
    if (busy) {
        window_->showBusy(message, cancellable);
    } else {
        window_->hideBusy();
    }
    updateCommandsEnabled();
}

void AppDelegate::cancelLoading() {
    if (!isBusy() || !jobCancellable_) return;
    job_->cancel();
    job_ = nullptr;
    setBusy(false);
    showStatus(tr("Cancelled"));
}

void AppDelegate::pageLoaded(PageLoad& outcome, const QString& typed) {
    if (!outcome.loaded()) {
        showStatus(tr("Could not load %1: %2")
                       .arg(typed.isEmpty() ? tr("an empty address") : typed,
                            QString::fromStdString(outcome.failure)));
        return;
    }
    replaceSourceText(QString::fromStdU16String(outcome.browser ? outcome.browser->text
                                                                : pageText(*outcome.parser)));
    tablesRead(outcome);
}

// One undoable edit, so that Undo brings back the text the page replaced.
void AppDelegate::replaceSourceText(const QString& text) {
    QTextCursor cursor(sourceView_->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.endEditBlock();
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
    watchSheet(dialog);
    dialog->open();
}

void AppDelegate::openFileCompletion(const QString& path) {
    if (readsAsBrowser()) {
        openFileAsBrowser(path);
        return;
    }
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
    replaceSourceText(QString::fromStdU16String(decoded->text));
    convert();
}

// The browser reading decodes the file as it settles the encoding, so the file is read, shown
// and scanned in one job on the worker.
void AppDelegate::openFileAsBrowser(const QString& path) {
    if (isBusy()) {
        showStatus(tr("Still busy with a page: wait for it or cancel it"));
        return;
    }
    showStatus(QString());
    previewFile_.remove();
    auto outcome = std::make_shared<PageLoad>();
    startJob(pageLoadWork(browserReadingOfFile(path), defaults, readingChoice(true), outcome),
             tr("Opening %1…").arg(QFileInfo(path).fileName()), [this, outcome, path] {
                 if (!outcome->loaded()) {
                     log(QStringLiteral("error getting html string from file: %1: %2")
                             .arg(path, QString::fromStdString(outcome->failure)));
                     beep();
                     return;
                 }
                 replaceSourceText(QString::fromStdU16String(outcome->browser->text));
                 tablesRead(*outcome);
             });
}

bool AppDelegate::isSheetOpen() const {
    const auto sheets = window_->findChildren<QDialog*>();
    return std::any_of(sheets.begin(), sheets.end(),
                       [](const QDialog* sheet) { return sheet->isVisible(); });
}

// A page handed over while the sheet is up is opened once it has closed.
void AppDelegate::watchSheet(QDialog* sheet) {
    connect(sheet, &QDialog::finished, this,
            [this] { QTimer::singleShot(0, this, &AppDelegate::openPendingSource); });
}

void AppDelegate::openPendingSource() {
    if (!pendingSource_ || isSheetOpen()) return;
    const QString source = *pendingSource_;
    pendingSource_.reset();
    openFileOrAddress(source);
}

void AppDelegate::openFileOrAddress(const QString& source) {
    if (isSheetOpen()) {
        pendingSource_ = source;
        showStatus(tr("%1 opens when the dialog closes").arg(source));
        return;
    }
    if (isBusy()) {
        showStatus(tr("Still busy with a page: wait for it or cancel it"));
        return;
    }
    if (QFileInfo(source).isFile()) {
        openFileCompletion(source);
    } else {
        openURLWindow_->setAddress(source);
        openAddress(source);
    }
}

void AppDelegate::openDroppedSource(const QUrl& source) {
    openFileOrAddress(source.isLocalFile() ? source.toLocalFile() : source.toString());
}

}  // namespace gridmint
