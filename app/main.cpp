// The program entry of the desktop application: one instance per user, the main window, and
// the page named on the command line (if any) opened at once.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>
#include <memory>

#include "AppDelegate.h"
#include "AppIcon.h"
#include "MainWindow.h"
#include "QSettingsDefaults.h"
#include "SingleInstance.h"
#include "UrlPageLoader.h"

namespace {

// An existing file is handed on as an absolute path, since the instance that opens it may
// run in another folder; a file:// address (the desktop entry passes addresses) becomes its
// path; anything else is an address and goes as typed.
QString sourceArgument(const QCommandLineParser& parser) {
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty()) return QString();
    QString source = arguments.front();
    if (source.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        const QUrl address(source);
        if (address.isLocalFile()) source = address.toLocalFile();
    }
    const QFileInfo file(source);
    return file.isFile() ? file.absoluteFilePath() : source;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Gridmint"));
    QApplication::setApplicationName(QStringLiteral("Gridmint"));
    QApplication::setApplicationVersion(gridmint::AppDelegate::bundleVersionNumber());
    QApplication::setWindowIcon(gridmint::appIcon());
    QApplication::setDesktopFileName(QStringLiteral("gridmint"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds the tables in an HTML page and turns the one you choose into CSV."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE-OR-ADDRESS"),
                                 QStringLiteral("An HTML file or a web address to open."),
                                 QStringLiteral("[FILE-OR-ADDRESS]"));
    parser.process(application);
    const QString source = sourceArgument(parser);

    gridmint::SingleInstance instance(gridmint::SingleInstance::defaultServerName());
    if (instance.handOver(source)) return 0;
    instance.listen();

    gridmint::QSettingsDefaults defaults;
    gridmint::AppDelegate delegate(defaults, std::make_shared<gridmint::UrlPageLoader>());
    gridmint::MainWindow* window = delegate.window();
    QObject::connect(&instance, &gridmint::SingleInstance::messageReceived, &delegate,
                     [&delegate, window](const QString& message) {
                         window->show();
                         window->raise();
                         window->activateWindow();
                         if (!message.isEmpty()) delegate.openFileOrAddress(message);
                     });
    QObject::connect(&application, &QApplication::aboutToQuit, &delegate,
                     &gridmint::AppDelegate::applicationWillTerminate);

    window->show();
    delegate.applicationDidFinishLaunching();
    if (!source.isEmpty()) delegate.openFileOrAddress(source);
    return QApplication::exec();
}
