// What the application tests share: a delegate with counted beeps and captured log lines,
// the preview file's place, and small file helpers.
#pragma once

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QtTest>
#include <memory>
#include <mutex>

#include "AppDelegate.h"
#include "Defaults.h"
#include "Log.h"
#include "PageLoader.h"
#include "PreviewView.h"
#include "SourceView.h"

namespace gridmint::test {

inline QString dataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Gridmint");
}
inline QString previewPath() {
    return dataFolder() + QStringLiteral("/temp/mr_preview.csv");
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A loader for tests that never open an address.
class NoPageLoader : public PageLoader {
  public:
    PageLoad load(const std::u16string&, const Defaults&, const std::atomic<bool>&) override {
        return PageLoad::failed("no network in this test");
    }
};

// Log lines are captured from the moment it is made; beeps are counted.
class DelegateFixture {
  public:
    explicit DelegateFixture(std::shared_ptr<PageLoader> loader = std::make_shared<NoPageLoader>())
        : delegate(defaults, std::move(loader)) {
        setLogSink([this](std::string_view message) {
            std::lock_guard lock(mutex);
            lines << QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
        });
        delegate.setBeep([this] { ++beeps; });
    }
    ~DelegateFixture() { setLogSink({}); }

    QStringList logLines() const {
        std::lock_guard lock(mutex);
        return lines;
    }
    QStringList logLinesStartingWith(const QString& prefix) const {
        QStringList matching;
        for (const QString& line : logLines()) {
            if (line.startsWith(prefix)) matching << line;
        }
        return matching;
    }
    QList<PreviewView*> previewViews() const {
        return delegate.resultContainer()->findChildren<PreviewView*>(Qt::FindDirectChildrenOnly);
    }
    QList<QWidget*> containerChildren() const {
        return delegate.resultContainer()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    }
    // Waits for a scan or a load that runs on its worker to hand its result back.
    void settle(int timeoutMs = 20000) { QTRY_VERIFY_WITH_TIMEOUT(!delegate.isBusy(), timeoutMs); }
    void extract(const QString& html) {
        delegate.sourceView()->setPlainText(html);
        delegate.convert();
        settle();
    }

    InMemoryDefaults defaults;
    AppDelegate delegate;
    int beeps = 0;

  private:
    mutable std::mutex mutex;
    QStringList lines;
};

// Removes everything the application keeps on disk, so each test starts as on a new machine.
inline void removeAppData() {
    const QString folder = dataFolder();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (QFileInfo(folder).isDir()) {
        QDir(folder).removeRecursively();
    } else {
        QFile::remove(folder);
    }
}

}  // namespace gridmint::test
