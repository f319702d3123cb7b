#include "HelpCommands.h"
#include "Version.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

namespace gridmint {

QString bundleVersionNumber() {
    return QStringLiteral("%1 (%2)").arg(QStringLiteral(GRIDMINT_VERSION),
                                         QStringLiteral(GRIDMINT_BUILD_NUMBER));
}

// Next to the program in the build tree, in the data folder of an installation, in the
// bundle's resources on macOS.
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

bool openGuide() {
    const QString guide = findGuide();
    if (guide.isEmpty()) return false;
    QDesktopServices::openUrl(QUrl::fromLocalFile(guide));
    return true;
}

void openHomePage() {
    QDesktopServices::openUrl(QUrl(QStringLiteral(GRIDMINT_HOME_PAGE)));
}

void showAboutBox(QWidget* parent) {
    QMessageBox::about(
        parent, QCoreApplication::translate("HelpCommands", "About Gridmint"),
        QCoreApplication::translate(
            "HelpCommands",
            "<h3>Gridmint</h3><p>Version %1</p>"
            "<p>Finds the tables in an HTML page and turns the one you choose into CSV.</p>"
            "<p><a href=\"%2\">%2</a></p>")
            .arg(bundleVersionNumber().toHtmlEscaped(), QStringLiteral(GRIDMINT_HOME_PAGE)));
}

}  // namespace gridmint
