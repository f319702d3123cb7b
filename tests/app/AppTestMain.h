// The main() of every application test: the offscreen platform, and HOME and the XDG folders
// in a fresh temporary folder, so no test reads or writes the user's own files (settings,
// preview file, instance socket).
#pragma once

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace gridmint::test {

inline void isolateHome(const QTemporaryDir& home) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString root = home.path();
    const auto setFolder = [&root](const char* variable, const QString& relative) {
        const QString path = root + relative;
        QDir().mkpath(path);
        qputenv(variable, QFile::encodeName(path));
    };
    setFolder("HOME", QString());
    setFolder("XDG_CONFIG_HOME", QStringLiteral("/.config"));
    setFolder("XDG_DATA_HOME", QStringLiteral("/.local/share"));
    setFolder("XDG_CACHE_HOME", QStringLiteral("/.cache"));
    setFolder("XDG_STATE_HOME", QStringLiteral("/.local/state"));
    setFolder("XDG_RUNTIME_DIR", QStringLiteral("/run"));
    QFile::setPermissions(root + QStringLiteral("/run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace gridmint::test

#define GRIDMINT_APP_TEST_MAIN(TestClass)              \
    int main(int argc, char* argv[]) {                 \
        QTemporaryDir home;                            \
        gridmint::test::isolateHome(home);             \
        QApplication application(argc, argv);          \
        QApplication::setOrganizationName("Gridmint"); \
        QApplication::setApplicationName("Gridmint");  \
        TestClass test;                                \
        return QTest::qExec(&test, argc, argv);        \
    }
