// The main window: the source view, the Extract button, the preview's container and the
// Export button, the File, Edit, Options and Help menus, and a status bar whose permanent label
// reports outcomes (the tips that menus and buttons show on the left never erase it) and that shows
// a busy indicator with a Cancel button while a page loads or is scanned. It holds no logic of the
// application's own: the application object connects to its actions.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <memory>

class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;

namespace Ui {
class MainWindow;
}

namespace gridmint {

class SourceView;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    SourceView* sourceView() const;
    QWidget* resultContainer() const;

    QAction* openFileAction() const;
    QAction* openURLAction() const;
    QAction* extractAction() const;
    QAction* exportAction() const;
    QAction* exportAllAction() const;
    QAction* chooseTableAction() const;
    QAction* copyAction() const;
    QAction* copyAsCsvAction() const;
    // Checkable: the next Extract, Open File and Open URL read the page as a browser does.
    QAction* browserReadingAction() const;
    // Checkable, and enabled while the browser reading is chosen: each cell's first link
    // becomes a column beside it.
    QAction* keepLinksAction() const;
    QAction* quitAction() const;
    QAction* helpAction() const;
    QAction* homeAction() const;
    QAction* aboutAction() const;

    // The Options menu, made (before Help) the first time it is asked for.
    QMenu* optionsMenu();

    // The outcome of the latest command, kept until the next one.
    void showStatus(const QString& message);
    QString statusMessage() const;

    // Shows `message` with a busy indicator, and a Cancel button when the work may be
    // cancelled; or takes them away.
    void showBusy(const QString& message, bool cancellable = true);
    void hideBusy();
    bool isBusy() const;

  signals:
    void cancelRequested();
    void sourceDropped(const QUrl& source);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createActions();
    void createMenus();
    void createButtons();
    void createStatusBar();

    std::unique_ptr<Ui::MainWindow> ui;
    QAction* exportAll = nullptr;
    QAction* chooseTable = nullptr;
    QAction* copy = nullptr;
    QAction* copyAsCsv = nullptr;
    QAction* browserReading = nullptr;
    QAction* keepLinks = nullptr;
    QMenu* options = nullptr;
    QLabel* outcomeLabel = nullptr;
    QProgressBar* busyIndicator = nullptr;
    QToolButton* cancelButton = nullptr;
};

}  // namespace gridmint
