// The application object: it owns the main window and its two sheets, holds the tables of the
// latest conversion, and carries every command of the window: Extract and the choice among
// several tables, the preview file and its export, Open File and Open URL, and the small
// commands of the Help menu. Everything here runs on the main thread; only the fetch of an
// address runs on a worker (PageLoadJob) and hands its parser back here.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Defaults.h"
#include "HTMLTableParser.h"
#include "ResultDictionary.h"
#include "TableChoiceModel.h"
#include "Text.h"

class QLineEdit;
class QTableView;
class QUrl;
class QWidget;

namespace gridmint {

class MainWindow;
class OpenUrlDialog;
class PageLoadJob;
class PageLoader;
class SelectionDialog;
class SourceView;

class AppDelegate : public QObject, public TableChoiceDataSource {
    Q_OBJECT
  public:
    // `defaults` must outlive the delegate; `pageLoader` serves Open URL.
    AppDelegate(const Defaults& defaults, std::shared_ptr<PageLoader> pageLoader,
                QObject* parent = nullptr);
    ~AppDelegate() override;

    // The window and its parts. The window and its sheets belong to the delegate.
    MainWindow* window() const { return window_.get(); }
    SourceView* sourceView = nullptr;
    QWidget* resultContainer = nullptr;
    SelectionDialog* resultSelectionWindow = nullptr;
    QTableView* resultSelectionTableView = nullptr;
    OpenUrlDialog* openURLWindow = nullptr;
    QLineEdit* urlField = nullptr;

    // The latest conversion: its tables and their names in the order the choice list shows
    // them. Absent before the first conversion and after one that made no parser.
    std::optional<ResultDictionary> result;
    std::optional<std::vector<Text>> tableNames;

    // Launch and the Help menu.
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    static QString bundleVersionNumber();
    void visitHelp();
    void visitHome();
    void showAbout();

    // Extract and the choice among several tables.
    void convertButton();
    void convert();
    void convertStage2WithParser(std::unique_ptr<HTMLTableParser> parser);
    void showSelectionWindow();
    void closeSelectionWindow();
    long numberOfRowsInTableView() const override;
    QString objectValueForTableColumn(const QString& identifier, long row) const override;

    // The preview file, the preview and export.
    std::optional<QString> getTempFilePath() const;
    // Writes the table's CSV to the preview file and previews it; false when it could not.
    bool displayResult(const Table& table);
    void exportResult();
    void exportCompletion(const QString& destination);

    // Opening pages.
    void openURL();
    void closeOpenURLWindow();
    void cancelOpenURLWindow();
    void openFile();
    void openFileCompletion(const QString& path);
    // Opens `typed` as Open URL does: a web address or a local path.
    void openAddress(const QString& typed);
    // A file that exists opens as Open File, anything else as Open URL.
    void openFileOrAddress(const QString& source);
    void openDroppedSource(const QUrl& source);
    bool isLoading() const { return !loadJob.isNull(); }
    void cancelLoading();

    // Sounds the alert; tests replace it to count alerts.
    void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }

  private:
    void connectWindow();
    void beep() const;
    void showStatus(const QString& message) const;
    void warnUser(const QString& text, const QString& reason) const;
    void setLoading(bool loading, const QString& typed = QString());
    void loadFinished(PageLoadJob* job, const QString& typed);
    void updateExportEnabled() const;
    QString sourceText() const;
    void showPreview(const QString& previewFile);
    void showTable(const Text& name);

    const Defaults& defaults;
    std::shared_ptr<PageLoader> pageLoader;
    std::unique_ptr<MainWindow> window_;
    TableChoiceModel* choiceModel = nullptr;
    QPointer<PageLoadJob> loadJob;
    std::function<void()> beep_;
};

}  // namespace gridmint
