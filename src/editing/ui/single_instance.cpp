#include "editing/ui/single_instance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace orvet {
namespace {

constexpr char kActivate[] = "activate\n";

}  // namespace

SingleInstance::SingleInstance(const QString& key)
    : key_(key), lock_(QDir::temp().filePath(key + QStringLiteral(".lock"))) {
    // A lock left by a crashed instance is taken over (its process is gone).
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey() {
    const QByteArray user = qgetenv("USER") + qgetenv("USERNAME");
    return QStringLiteral("orvet-config-") +
           QString::fromLatin1(
               QCryptographicHash::hash(user, QCryptographicHash::Sha1).toHex().left(12));
}

bool SingleInstance::acquire() {
    if (lock_.tryLock(0)) {
        server_ = std::make_unique<QLocalServer>();
        // A socket file left by a crashed instance would make listen() fail.
        QLocalServer::removeServer(key_);
        server_->listen(key_);
        connect(server_.get(), &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* peer = server_->nextPendingConnection()) {
                connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                    if (peer->readAll().contains("activate"))
                        emit activationRequested();
                    peer->disconnectFromServer();
                });
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            }
        });
        return true;
    }
    // The first instance may still be starting: give it a moment to listen.
    const QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(key_);
        if (socket.waitForConnected(200)) {
            socket.write(kActivate);
            socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            break;
        }
        QThread::msleep(100);
    }
    return false;
}

}  // namespace orvet
