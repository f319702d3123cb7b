// One Gridmint per user: a later launch hands its argument to the running instance.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestMain.h"
#include "SingleInstance.h"

using gridmint::SingleInstance;

class SingleInstanceTest : public QObject {
    Q_OBJECT

    QTemporaryDir sockets;
    int serial = 0;
    QString freshName() { return sockets.filePath(QStringLiteral("instance-%1").arg(++serial)); }

  private slots:
    void aLaterLaunchHandsOverItsArgument_data() {
        QTest::addColumn<QString>("argument");
        QTest::newRow("a file") << "/home/someone/Tables/page.html";
        QTest::newRow("an address") << "https://example.org/stats?year=2024&lang=fr";
        QTest::newRow("nothing") << "";
        QTest::newRow("non-ASCII path") << "/tmp/Übersicht – 東京.html";
    }
    void aLaterLaunchHandsOverItsArgument() {
        QFETCH(QString, argument);
        const QString name = freshName();
        SingleInstance running(name);
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::messageReceived);

        SingleInstance later(name);
        QVERIFY(later.handOver(argument));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.front().front().toString(), argument);
    }

    void withNoInstanceRunningTheLaunchGoesOn() {
        SingleInstance first(freshName());
        QVERIFY(!first.handOver(QStringLiteral("page.html")));
    }

    // A crashed instance leaves its socket file behind; the next launch takes the name over.
    void aLeftoverSocketIsTakenOver() {
        const QString name = freshName();
        QFile leftover(name);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        SingleInstance running(name);
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::messageReceived);
        QVERIFY(SingleInstance(name).handOver(QStringLiteral("x")));
        QTRY_COMPARE(received.size(), 1);
    }
};

GRIDMINT_APP_TEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
