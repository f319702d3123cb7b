// HOME and the XDG folders inside a temporary folder, and the offscreen platform unless
// another is asked for, so a test or benchmark of the application never reads or writes the
// user's own files (settings, preview file, instance socket). Call it before the
// application object exists, which reads them.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
