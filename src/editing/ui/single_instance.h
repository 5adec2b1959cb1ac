#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace orvet {

// One running configurator per user. The first instance holds a lock file and listens on
// a local socket; a later one finds the lock taken, asks the first to come forward and
// ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` names the lock and the socket; the program uses one key per user.
    explicit SingleInstance(const QString& key);
    ~SingleInstance() override;

    // True when this is the first instance (it then serves later ones). False when another
    // instance runs: it has been asked to come forward.
    bool acquire();

    static QString defaultKey();

signals:
    // A later instance asked this one to restore and raise its window.
    void activationRequested();

private:
    QString key_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace orvet
