// The main window: the source view, the Extract button, the preview's container and the
// Export button, the File and Help menus, and a status bar that reports outcomes and shows a
// busy indicator with a Cancel button while a page loads. It holds no logic of the
// application's own: the application object connects to its actions.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <memory>

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
    QAction* quitAction() const;
    QAction* helpAction() const;
    QAction* homeAction() const;
    QAction* aboutAction() const;

    // Shows `message` with a busy indicator and a Cancel button, or takes them away.
    void showBusy(const QString& message);
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
    void createButtons();
    void createStatusBar();

    std::unique_ptr<Ui::MainWindow> ui;
    QProgressBar* busyIndicator = nullptr;
    QToolButton* cancelButton = nullptr;
};

}  // namespace gridmint
