#include "support/throwaway_postgres.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QVersionNumber>

namespace orvet::testing {
namespace {

// The bin folder of the newest PostgreSQL that Debian installed.
QString serverBinaries() {
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QString best;
    QVersionNumber bestVersion;
    for (const QString& version : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (QFile::exists(root.filePath(version + QStringLiteral("/bin/initdb"))) &&
            number > bestVersion) {
            bestVersion = number;
            best = root.filePath(version + QStringLiteral("/bin"));
        }
    }
    return best;
}

}  // namespace

ThrowawayPostgres::ThrowawayPostgres() : bin_(serverBinaries()) {
    if (bin_.isEmpty()) {
        why_ = QStringLiteral(
            "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb); "
            "scripts/install-deps installs it");
        return;
    }
    if (!dir_.isValid()) {
        why_ = QStringLiteral("no temporary folder: ") + dir_.errorString();
        return;
    }
    // The server as "nobody" must write into the folder.
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::WriteOther | QFileDevice::ExeOther);
    // The port only names the socket file in the private folder; it needs no free TCP port.
    port_ = 50000 + int(QCoreApplication::applicationPid() % 10000);
    const QString data = dir_.filePath(QStringLiteral("data"));
    if (!run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"),
              QStringLiteral("-U"), QStringLiteral("orvet"), QStringLiteral("--no-sync"),
              QStringLiteral("-E"), QStringLiteral("UTF8")}))
        return;
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses='' -c fsync=off")
                                .arg(port_)
                                .arg(dir_.path());
    if (!run(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), data, QStringLiteral("-o"), options, QStringLiteral("-l"),
              dir_.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
              QStringLiteral("start")})) {
        QFile log(dir_.filePath(QStringLiteral("server.log")));
        if (log.open(QIODevice::ReadOnly))
            why_ += QStringLiteral("\nserver log:\n") + QString::fromLocal8Bit(log.readAll());
        return;
    }
    running_ = true;
}

ThrowawayPostgres::~ThrowawayPostgres() {
    if (running_) {
        run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
    }
}

QString ThrowawayPostgres::odbcString(const QString& database) const {
    return QStringLiteral(
               "DRIVER={PostgreSQL Unicode};Servername=%1;Port=%2;Database=%3;"
               "Uid=orvet;Pwd=orvet;CommLog=0;Debug=0")
        .arg(dir_.path())
        .arg(port_)
        .arg(database);
}

QString ThrowawayPostgres::storeAddress(const QString& database) const {
    return QStringLiteral("postgresql://orvet@/%1?host=%2&port=%3")
        .arg(database, dir_.path())
        .arg(port_);
}

bool ThrowawayPostgres::createDatabase(const QString& database) {
    return run(
        QStringLiteral("createdb"),
        {QStringLiteral("-h"), dir_.path(), QStringLiteral("-p"), QString::number(port_),
         QStringLiteral("-U"), QStringLiteral("orvet"), QStringLiteral("-E"),
         QStringLiteral("UTF8"), QStringLiteral("-T"), QStringLiteral("template0"), database});
}

bool ThrowawayPostgres::run(const QString& tool, const QStringList& args) {
    QProcess process;
    QString program = bin_ + QLatin1Char('/') + tool;
    QStringList arguments = args;
    if (geteuid() == 0) {
        arguments.prepend(program);
        arguments.prepend(QStringLiteral("--"));
        arguments.prepend(QStringLiteral("nobody"));
        arguments.prepend(QStringLiteral("-u"));
        program = QStringLiteral("runuser");
    }
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        why_ = QStringLiteral("%1 failed (%2): %3")
                   .arg(tool, process.errorString(),
                        QString::fromLocal8Bit(process.readAll()).trimmed());
        return false;
    }
    return true;
}

}  // namespace orvet::testing
