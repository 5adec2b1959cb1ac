#include "support/dispatch_server.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace orvet::testing {
namespace {

// The tables as the dispatch system declares them; %KEY% is the dialect's auto-increment key.
const char* const kUsdTable =
    "CREATE TABLE USD (ID_USPD %KEY%, ID_Scanner INTEGER, Name CHAR(30), NumCOMPort SMALLINT, "
    "IsWorking BOOLEAN, TypeCommun CHAR(10), Speed INTEGER, TypeUSD CHAR(10), ShortLen FLOAT, "
    "MainLen FLOAT, TO_FirstByte FLOAT, TO_Byte FLOAT, MaxPacketLen INTEGER, "
    "TimeLastAttemp TIMESTAMP, TimeLastAttemp2 TIMESTAMP, TimeLastCall TIMESTAMP, "
    "TimeLastCall3 TIMESTAMP, TimeSizon TIMESTAMP, ModemInitStr VARCHAR(100), PhoneNum CHAR(20), "
    "NumChanels SMALLINT, TimeTable VARCHAR(50), UserPsw VARCHAR(50), OwnerPsw VARCHAR(50), "
    "URL VARCHAR(150), Proxy VARCHAR(150), NeedRep INTEGER, FloatParam FLOAT, ID_MainRec INTEGER, "
    "ExactTime INTEGER, LastIDEvent INTEGER, WordLen INTEGER, StopBits INTEGER, Parity INTEGER, "
    "Time_Bias FLOAT, MaxTimeShift INTEGER, MaxDesinhro FLOAT, NumUSD VARCHAR(50), "
    "HotReservFor INTEGER DEFAULT 0)";
const char* const kChannelsTable =
    "CREATE TABLE Channels (ID_Channel %KEY%, ID_USPD INTEGER, Name CHAR(40), TypeChan CHAR(1), "
    "NumChan INTEGER, NeedMain INTEGER, NeedShort INTEGER, NeedSumm INTEGER, "
    "NeedCurrent INTEGER, NeedEvents INTEGER, NeedCurrDiskret INTEGER, NeedTimeCurr INTEGER, "
    "ID_Units INTEGER, ProtocolMask SMALLINT, WaitMask SMALLINT, uTypeDevice INTEGER, "
    "uNumIFace INTEGER, uNumDevice INTEGER, uNumChanDev INTEGER, ID_Schetch INTEGER, "
    "TimeLastShort TIMESTAMP, TimeLastMain TIMESTAMP, StoreCurrInterval INTEGER DEFAULT 1, "
    "StoreSummInterval INTEGER DEFAULT 1, LastNeedArcCurr INTEGER, LastNeedArcSumm INTEGER, "
    "ArcDiffRelative FLOAT, ArcDiffAbsolute FLOAT, AutoCalcArcInterval INTEGER, "
    "ID_ValueType INTEGER DEFAULT 1, LastStateMain INTEGER, LastStateShort INTEGER, "
    "LastStateCurrent INTEGER, LastStateSumm INTEGER, ID_Granit INTEGER, Module INTEGER, "
    "NumInModule INTEGER, ModuleType INTEGER)";

}  // namespace

DispatchServer::DispatchServer(Kind kind) : kind_(kind) {
    if (kind_ == Postgres) {
        postgres_ = std::make_unique<ThrowawayPostgres>();
        if (!postgres_->running())
            why_ = QStringLiteral("PostgreSQL could not start: ") + postgres_->why();
    } else if (!dir_.isValid()) {
        why_ = QStringLiteral("no temporary folder: ") + dir_.errorString();
    }
}

DispatchServer::~DispatchServer() = default;

QString DispatchServer::kindName() const {
    return kind_ == Postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite");
}

bool DispatchServer::ready() const {
    return kind_ == Postgres ? postgres_->running() : dir_.isValid();
}

QString DispatchServer::newDatabase() {
    if (!ready())
        return {};
    const QString name = QStringLiteral("dispatch%1").arg(++made_);
    QString connectString;
    QString key;
    if (kind_ == Postgres) {
        if (!run(postgres_->odbcString(),
                 {QStringLiteral("CREATE DATABASE ") + name + QStringLiteral(" ENCODING 'UTF8'")}))
            return {};
        connectString = postgres_->odbcString(name);
        key = QStringLiteral("SERIAL PRIMARY KEY");
    } else {
        connectString = QStringLiteral("DRIVER=SQLite3;Database=") + dir_.filePath(name + ".db");
        key = QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    }
    QStringList tables;
    for (const char* table : {kUsdTable, kChannelsTable})
        tables << QString::fromLatin1(table).replace(QStringLiteral("%KEY%"), key);
    if (!run(connectString, tables))
        return {};
    return connectString;
}

bool DispatchServer::run(const QString& connectString, const QStringList& statements) {
    const QString connection = QStringLiteral("dispatch-server-setup");
    bool done = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), connection);
        db.setDatabaseName(connectString);
        if (!db.open()) {
            why_ = db.lastError().text();
            done = false;
        }
        QSqlQuery query(db);
        for (const QString& statement : statements) {
            if (done && !query.exec(statement)) {
                why_ = statement + QStringLiteral(": ") + query.lastError().text();
                done = false;
            }
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return done;
}

}  // namespace orvet::testing
