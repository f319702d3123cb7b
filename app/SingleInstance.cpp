#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <memory>

namespace gridmint {

namespace {

// How long a launch waits for a running instance to take its message. The running instance
// answers from its event loop, so this only runs out when it hangs.
constexpr int handOverTimeoutMs = 3000;

}  // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName() {
    // The runtime folder belongs to the user alone; without one, the socket goes to the shared
    // temporary folder under a name made from the user's home folder.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) return QDir(runtime).filePath(QStringLiteral("gridmint.socket"));
    const QByteArray home = QDir::homePath().toUtf8();
    return QStringLiteral("gridmint-") +
           QString::fromLatin1(QCryptographicHash::hash(home, QCryptographicHash::Sha1).toHex());
}

bool SingleInstance::handOver(const QString& message) const {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(handOverTimeoutMs)) return false;
    socket.write(message.toUtf8());
    socket.flush();
    // Closing tells the running instance that the message is complete.
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(handOverTimeoutMs);
    }
    return true;
}

bool SingleInstance::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    if (server_->listen(serverName_)) return true;
    // A socket left behind by an instance that crashed: nobody answers on it, so take it over.
    if (server_->serverError() == QAbstractSocket::AddressInUseError && !handOver({})) {
        QLocalServer::removeServer(serverName_);
        return server_->listen(serverName_);
    }
    return false;
}

void SingleInstance::acceptConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        socket->setParent(this);
        auto message = std::make_shared<QByteArray>();
        auto finish = [this, socket, message] {
            message->append(socket->readAll());
            socket->deleteLater();
            emit messageReceived(QString::fromUtf8(*message));
        };
        connect(socket, &QLocalSocket::readyRead, socket,
                [socket, message] { message->append(socket->readAll()); });
        // A launch that wrote and hung up before we got here has nothing left to signal.
        if (socket->state() == QLocalSocket::UnconnectedState) {
            finish();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, this, finish);
    }
}

}  // namespace gridmint
