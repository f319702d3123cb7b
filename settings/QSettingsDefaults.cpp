// QSettings is made for each read: naming the organisation and application on the
// constructor needs no QCoreApplication, and a fresh object sees the file as it is now.
#include "QSettingsDefaults.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace gridmint {

namespace {

QVariant readSetting(std::string_view key) {
    const QSettings settings(QStringLiteral("Gridmint"), QStringLiteral("Gridmint"));
    return settings.value(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())));
}

}  // namespace

long QSettingsDefaults::integerForKey(std::string_view key) const {
    bool ok = false;
    const long long value = readSetting(key).toLongLong(&ok);
    return ok ? static_cast<long>(value) : 0;
}

bool QSettingsDefaults::boolForKey(std::string_view key) const {
    const QVariant value = readSetting(key);
    return value.isValid() && value.toBool();
}

std::optional<std::string> QSettingsDefaults::stringForKey(std::string_view key) const {
    const QVariant value = readSetting(key);
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
}

}  // namespace gridmint
