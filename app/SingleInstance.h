// Keeps one Gridmint per user. The preview file has one fixed name per user, so two windows
// would overwrite each other's preview (and export the other's table). The first instance
// listens on a per-user local socket; a later launch hands its file or address to it and
// exits, and the running window comes forward and opens what it was given.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace gridmint {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `serverName` is the socket to meet on; defaultServerName() gives the per-user one.
    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultServerName();

    // Hands `message` (a file or address, or empty) to a running instance. True when one took
    // it: the caller should exit. False when none runs: the caller should listen().
    bool handOver(const QString& message) const;

    // Becomes the running instance. False when the socket cannot be made; the application
    // then still runs, only without handing over.
    bool listen();

  signals:
    // A later launch handed over `message` (empty when it was started without one).
    void messageReceived(const QString& message);

  private:
    void acceptConnection();

    QString serverName_;
    QLocalServer* server_ = nullptr;
};

}  // namespace gridmint
