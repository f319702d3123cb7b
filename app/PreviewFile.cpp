#include "PreviewFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "CsvWriter.h"
#include "Log.h"

namespace gridmint {

namespace {

void log(const QString& message) {
    logLine(message.toStdString());
}

// Copies the file at `from` over `to`; the copy is written beside `to` and takes its place
// only once complete, so a failure leaves whatever stood at `to` as it was.
bool copyFileSafely(const QString& from, const QString& to, QString& error) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        error = source.errorString();
        return false;
    }
    QSaveFile destination(to);
    if (!destination.open(QIODevice::WriteOnly)) {
        error = destination.errorString();
        return false;
    }
    constexpr qint64 chunk = 1 << 16;
    while (!source.atEnd()) {
        const QByteArray bytes = source.read(chunk);
        if (bytes.isEmpty() && source.error() != QFileDevice::NoError) {
            error = source.errorString();
            return false;
        }
        if (destination.write(bytes) != bytes.size()) {
            error = destination.errorString();
            return false;
        }
    }
    if (!destination.commit()) {
        error = destination.errorString();
        return false;
    }
    return true;
}

}  // namespace

// One folder per user, under the platform's folder for application data. No trailing
// separator, so that the test for anything standing there sees a plain file too.
QString PreviewFile::directory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Gridmint/temp");
}

QString PreviewFile::path() {
    return QDir(directory()).filePath(QStringLiteral("mr_preview.csv"));
}

std::optional<QString> PreviewFile::getTempFilePath() const {
    const QString folder = directory();
    // Anything standing at the path counts: a plain file there makes the later write fail.
    if (!QFileInfo::exists(folder)) {
        std::error_code error;
        std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
        if (error) {
            log(QStringLiteral("error creating temp directory: %1: %2")
                    .arg(folder, QString::fromStdString(error.message())));
            return std::nullopt;
        }
    }
    return path();
}

bool PreviewFile::write(const Table& table, QString& error) const {
    const std::string csv = csvUtf8FromArrays(table);
    const auto target = getTempFilePath();
    if (!target) {
        error = QObject::tr("the preview folder %1 could not be made").arg(directory());
        return false;
    }
    QSaveFile file(*target);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.commit()) {
        error = file.errorString();
        log(QStringLiteral("error writing temp file: %1: %2").arg(*target, error));
        return false;
    }
    return true;
}

void PreviewFile::remove() const {
    if (const auto target = getTempFilePath()) QFile::remove(*target);
}

bool PreviewFile::exists() const {
    return QFileInfo(path()).isFile();
}

CsvRecords PreviewFile::readRecords() const {
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return readCsv(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

bool PreviewFile::exportTo(const QString& destination, QString& error) const {
    const auto source = getTempFilePath();
    if (!source) {
        error = QObject::tr("The preview folder %1 could not be made.").arg(directory());
        return false;
    }
    log(QStringLiteral("copyItemAtPath %1 to %2")
            .arg(*source, QUrl::fromLocalFile(destination).toString()));
    if (!QFileInfo(*source).isFile()) {
        error = QObject::tr("The preview file %1 does not exist.").arg(*source);
    } else if (copyFileSafely(*source, destination, error)) {
        return true;
    }
    log(QStringLiteral("error copying temp file: %1").arg(error));
    return false;
}

}  // namespace gridmint
