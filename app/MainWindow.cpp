#include "MainWindow.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>

#include "SourceView.h"
#include "ui_MainWindow.h"

namespace gridmint {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
    ui->setupUi(this);
    createActions();
    createButtons();
    createStatusBar();
    setAcceptDrops(true);
    ui->splitter->setStretchFactor(0, 1);
    ui->splitter->setStretchFactor(1, 1);
    connect(ui->sourceView, &SourceView::sourceDropped, this, &MainWindow::sourceDropped);
}

MainWindow::~MainWindow() = default;

SourceView* MainWindow::sourceView() const {
    return ui->sourceView;
}
QWidget* MainWindow::resultContainer() const {
    return ui->resultContainer;
}
QAction* MainWindow::openFileAction() const {
    return ui->actionOpenFile;
}
QAction* MainWindow::openURLAction() const {
    return ui->actionOpenURL;
}
QAction* MainWindow::extractAction() const {
    return ui->actionExtract;
}
QAction* MainWindow::exportAction() const {
    return ui->actionExport;
}
QAction* MainWindow::quitAction() const {
    return ui->actionQuit;
}
QAction* MainWindow::helpAction() const {
    return ui->actionHelp;
}
QAction* MainWindow::homeAction() const {
    return ui->actionHome;
}
QAction* MainWindow::aboutAction() const {
    return ui->actionAbout;
}

void MainWindow::createActions() {
    // The platform's own keys where it has them (Cmd on macOS); the .ui gives the others.
    ui->actionOpenFile->setShortcut(QKeySequence::Open);
    ui->actionQuit->setShortcut(QKeySequence::Quit);
    ui->actionHelp->setShortcut(QKeySequence::HelpContents);
    // The window's actions work wherever the focus is, the source view included.
    for (QAction* action : {ui->actionOpenFile, ui->actionOpenURL, ui->actionExtract,
                            ui->actionExport, ui->actionQuit, ui->actionHelp}) {
        action->setShortcutContext(Qt::WindowShortcut);
    }
}

void MainWindow::createButtons() {
    ui->extractButton->setDefaultAction(ui->actionExtract);
    ui->exportButton->setDefaultAction(ui->actionExport);
}

void MainWindow::createStatusBar() {
    busyIndicator = new QProgressBar(this);
    busyIndicator->setRange(0, 0);  // no known end: an indicator that only shows activity
    busyIndicator->setMaximumWidth(120);
    busyIndicator->setTextVisible(false);
    busyIndicator->hide();
    cancelButton = new QToolButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setText(tr("Cancel"));
    cancelButton->setToolTip(tr("Stop loading the page"));
    cancelButton->hide();
    statusBar()->addPermanentWidget(busyIndicator);
    statusBar()->addPermanentWidget(cancelButton);
    connect(cancelButton, &QToolButton::clicked, this, &MainWindow::cancelRequested);
}

void MainWindow::showBusy(const QString& message) {
    statusBar()->showMessage(message);
    busyIndicator->show();
    cancelButton->show();
}

void MainWindow::hideBusy() {
    statusBar()->clearMessage();
    busyIndicator->hide();
    cancelButton->hide();
}

bool MainWindow::isBusy() const {
    return !busyIndicator->isHidden();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedSource(event->mimeData()).isValid()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedSource(event->mimeData()).isValid()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QUrl source = droppedSource(event->mimeData());
    if (!source.isValid()) return;
    event->acceptProposedAction();
    emit sourceDropped(source);
}

}  // namespace gridmint
