// The application object: it owns the main window and its sheets, holds the tables of the
// latest conversion, and carries the window's commands: Extract and the choice among several
// tables, the preview and its export, Open File and Open URL. The preview file's reading and
// writing is PreviewFile's, the Help menu's commands HelpCommands', the dialogs only hand
// over what the user chose. Everything here runs on the main thread; a scan of the source
// text, the fetch of an address and the writing of the preview file run on a worker
// (WorkerJob) and hand their outcome back.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "CsvDialect.h"
#include "CsvReader.h"
#include "Defaults.h"
#include "HTMLTableParser.h"
#include "PageLoadWork.h"
#include "PageLoader.h"
#include "PreviewFile.h"
#include "ResultDictionary.h"
#include "Table.h"
#include "Text.h"
#include "WorkerJob.h"

class QDialog;
class QUrl;
class QWidget;

namespace gridmint {

class MainWindow;
class OpenUrlDialog;
class PreviewView;
class SelectionDialog;
class SourceView;
class TableChoiceModel;

class AppDelegate : public QObject {
    Q_OBJECT
  public:
    // `defaults` must outlive the delegate; `pageLoader` serves Open URL.
    AppDelegate(const Defaults& defaults, std::shared_ptr<PageLoader> pageLoader,
                QObject* parent = nullptr);
    ~AppDelegate() override;

    // The window and its parts, which belong to the delegate.
    MainWindow* window() const { return window_.get(); }
    SourceView* sourceView() const { return sourceView_; }
    QWidget* resultContainer() const { return resultContainer_; }
    SelectionDialog* resultSelectionWindow() const { return resultSelectionWindow_; }
    OpenUrlDialog* openURLWindow() const { return openURLWindow_; }
    // The preview shown, or nullptr.
    PreviewView* previewView() const;

    // The latest conversion: its tables and their names in the order the choice list shows
    // them. Absent before the first conversion and after one that made no parser.
    const std::optional<ResultDictionary>& result() const { return result_; }
    const std::optional<std::vector<Text>>& tableNames() const { return tableNames_; }
    // The name of the table previewed, while one is.
    const std::optional<Text>& shownTableName() const { return shownTableName_; }

    // Launch and the Help menu.
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    static QString bundleVersionNumber();
    void visitHelp();
    void visitHome();

    // Extract and the choice among several tables. Extract scans on a worker: the outcome
    // arrives through the event loop (isBusy() is true until then).
    void convertButton();
    void convert();
    void convertStage2WithParser(std::unique_ptr<HTMLTableParser> parser);
    // Whether the next Extract, Open File and Open URL read the page as a browser does
    // (Options > Read Tables as a Browser Does, stored under `browserReading`).
    bool readsAsBrowser() const;
    // The reading to ask of the worker: `browser` and, with it, Options > Keep Links as
    // Columns.
    ReadingChoice readingChoice(bool browser) const;
    void showSelectionWindow();
    void closeSelectionWindow();
    // Reopens the navigator on the latest conversion, with the table shown selected.
    void chooseAnotherTable();
    long numberOfRowsInTableView() const;
    QString objectValueForTableColumn(const QString& identifier, long row) const;

    // The preview file, the preview, copying and export.
    std::optional<QString> getTempFilePath() const { return previewFile_.getTempFilePath(); }
    // Writes the table's CSV to the preview file and previews it. The file is written and read
    // back on a worker, so the outcome arrives through the event loop (isBusy() is true until
    // then); `shown` runs once the preview is up, and nothing changes when the file could not
    // be written. The table must stay in place until then.
    void displayResult(const Table& table, std::function<void()> shown = {});
    // The export panels carry the CSV form (CsvOptionsRow), remembered in the settings; the
    // preview file keeps the default form.
    void exportResult();
    void exportCompletion(const QString& destination);
    void exportAllTables();
    void exportAllCompletion(const QString& folder);
    const CsvDialect& exportDialect() const { return exportDialect_; }
    void copyCells() const;
    void copyCellsAsCsv() const;

    // Opening pages.
    void openURL();
    void closeOpenURLWindow();
    void cancelOpenURLWindow();
    void openFile();
    void openFileCompletion(const QString& path);
    // Opens `typed` as Open URL does: a web address or a local path.
    void openAddress(const QString& typed);
    // A file that exists opens as Open File, anything else as Open URL. While a sheet or
    // panel is open the page waits and opens once it has closed.
    void openFileOrAddress(const QString& source);
    void openDroppedSource(const QUrl& source);
    // True while a page loads, the source text is scanned or the preview file is written.
    bool isBusy() const { return !job_.isNull(); }
    void cancelLoading();

    // Sounds the alert; tests replace it to count alerts.
    void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }

  private:
    void connectWindow();
    void beep() const;
    void showStatus(const QString& message) const;
    void warnUser(const QString& text, const QString& reason) const;
    // Runs `work` on a worker; `done` runs on this thread when it has finished, unless it was
    // cancelled. A job that may not be cancelled shows no Cancel button.
    void startJob(WorkerJob::Work work, const QString& message, std::function<void()> done,
                  bool cancellable = true);
    void setBusy(bool busy, const QString& message = QString(), bool cancellable = true);
    void pageLoaded(PageLoad& outcome, const QString& typed);
    void chooseBrowserReading(bool chosen);
    void chooseExportDialect(const CsvDialect& dialect);
    bool writeCsvFile(const QString& path, const Table& table, std::string& error) const;
    bool writeShownTable(const QString& destination, QString& error) const;
    // Hands a page's tables, by either reading, to presentTables.
    void tablesRead(PageLoad& outcome);
    // Keeps the tables as the latest conversion and shows them: one is previewed, several
    // open the navigator.
    void presentTables(std::optional<ResultDictionary> tables, bool readAsBrowser);
    void openFileAsBrowser(const QString& path);
    void updateCommandsEnabled() const;
    void replaceSourceText(const QString& text);
    void showPreview(const QString& previewFile, CsvRecords records);
    void showTable(const Text& name);
    void showSampleOfRow(int row);
    bool isSheetOpen() const;
    void watchSheet(QDialog* sheet);
    void openPendingSource();
    QString exportFolder() const;
    void rememberExportFolder(const QString& folder) const;

    const Defaults& defaults;
    std::shared_ptr<PageLoader> pageLoader;
    std::unique_ptr<MainWindow> window_;
    CsvDialect exportDialect_;
    SourceView* sourceView_ = nullptr;
    QWidget* resultContainer_ = nullptr;
    SelectionDialog* resultSelectionWindow_ = nullptr;
    OpenUrlDialog* openURLWindow_ = nullptr;
    TableChoiceModel* choiceModel_ = nullptr;
    PreviewFile previewFile_;
    std::optional<ResultDictionary> result_;
    std::optional<std::vector<Text>> tableNames_;
    std::optional<Text> shownTableName_;
    bool resultReadAsBrowser_ = false;
    std::optional<QString> pendingSource_;
    QPointer<WorkerJob> job_;
    bool jobCancellable_ = true;
    std::function<void()> beep_;
};

}  // namespace gridmint
