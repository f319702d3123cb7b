#include "MainWindow.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
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
    createMenus();
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
QAction* MainWindow::exportAllAction() const {
    return exportAll;
}
QAction* MainWindow::chooseTableAction() const {
    return chooseTable;
}
QAction* MainWindow::copyAction() const {
    return copy;
}
QAction* MainWindow::copyAsCsvAction() const {
    return copyAsCsv;
}
QAction* MainWindow::browserReadingAction() const {
    return browserReading;
}
QAction* MainWindow::keepLinksAction() const {
    return keepLinks;
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
    exportAll = new QAction(tr("Export &All Tables…"), this);
    exportAll->setShortcut(QKeySequence(tr("Ctrl+Shift+E")));
    exportAll->setStatusTip(tr("Save every table of the page as a CSV file in a folder"));
    chooseTable = new QAction(tr("&Choose Another Table…"), this);
    chooseTable->setShortcut(QKeySequence(tr("Ctrl+T")));
    chooseTable->setStatusTip(tr("Show another table of the same page, without extracting again"));
    copy = new QAction(tr("&Copy"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setStatusTip(tr("Copy the selected cells, ready to paste into a spreadsheet"));
    copyAsCsv = new QAction(tr("Copy as C&SV"), this);
    copyAsCsv->setShortcut(QKeySequence(tr("Ctrl+Shift+C")));
    copyAsCsv->setStatusTip(tr("Copy the selected cells (or the whole table) as CSV text"));
    browserReading = new QAction(tr("Read Tables as a &Browser Does"), this);
    browserReading->setCheckable(true);
    browserReading->setStatusTip(
        tr("Find the tables and the cell text that a browser shows; otherwise the page is read "
           "tag by tag"));
    keepLinks = new QAction(tr("Keep &Links as Columns"), this);
    keepLinks->setCheckable(true);
    keepLinks->setEnabled(false);
    keepLinks->setStatusTip(
        tr("Add a column after each column with links, holding each cell's first link; needs "
           "the browser reading"));
    connect(browserReading, &QAction::toggled, keepLinks, &QAction::setEnabled);
    // The window's actions work wherever the focus is, the source view included.
    for (QAction* action :
         {ui->actionOpenFile, ui->actionOpenURL, ui->actionExtract, ui->actionExport, exportAll,
          chooseTable, copyAsCsv, ui->actionQuit, ui->actionHelp}) {
        action->setShortcutContext(Qt::WindowShortcut);
    }
    // Ctrl+C copies cells only from the preview; in the source view it copies text.
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ui->resultContainer->addAction(copy);
}

void MainWindow::createMenus() {
    const QList<QAction*> fileActions = ui->fileMenu->actions();
    QAction* afterExport = fileActions.value(fileActions.indexOf(ui->actionExport) + 1);
    ui->fileMenu->insertAction(ui->actionExport, chooseTable);
    ui->fileMenu->insertAction(afterExport, exportAll);
    QMenu* edit = new QMenu(tr("&Edit"), this);
    edit->addAction(copy);
    edit->addAction(copyAsCsv);
    menuBar()->insertMenu(ui->helpMenu->menuAction(), edit);
    optionsMenu()->addAction(browserReading);
    optionsMenu()->addAction(keepLinks);
}

QMenu* MainWindow::optionsMenu() {
    if (options == nullptr) {
        options = new QMenu(tr("&Options"), this);
        options->setObjectName(QStringLiteral("optionsMenu"));
        menuBar()->insertMenu(ui->helpMenu->menuAction(), options);
    }
    return options;
}

void MainWindow::createButtons() {
    ui->extractButton->setDefaultAction(ui->actionExtract);
    ui->exportButton->setDefaultAction(ui->actionExport);
}

void MainWindow::createStatusBar() {
    outcomeLabel = new QLabel(this);
    outcomeLabel->setObjectName(QStringLiteral("outcomeLabel"));
    outcomeLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addPermanentWidget(outcomeLabel);
    busyIndicator = new QProgressBar(this);
    busyIndicator->setRange(0, 0);  // no known end: an indicator that only shows activity
    busyIndicator->setMaximumWidth(120);
    busyIndicator->setTextVisible(false);
    busyIndicator->hide();
    cancelButton = new QToolButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setText(tr("Cancel"));
    cancelButton->setToolTip(tr("Stop loading or scanning the page"));
    cancelButton->hide();
    statusBar()->addPermanentWidget(busyIndicator);
    statusBar()->addPermanentWidget(cancelButton);
    connect(cancelButton, &QToolButton::clicked, this, &MainWindow::cancelRequested);
}

void MainWindow::showStatus(const QString& message) {
    outcomeLabel->setText(message);
}

QString MainWindow::statusMessage() const {
    return outcomeLabel->text();
}

void MainWindow::showBusy(const QString& message, bool cancellable) {
    showStatus(message);
    busyIndicator->show();
    cancelButton->setVisible(cancellable);
}

void MainWindow::hideBusy() {
    showStatus(QString());
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
