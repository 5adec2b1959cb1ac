#include "export/dispatch_database.h"

#include <sql.h>
#include <sqlext.h>
#include <QSqlDatabase>
#include <QSqlError>
#include <atomic>

#include "core/settings.h"
#include "store/store_error.h"

namespace orvet {

const QStringList kUsdColumns = {
    QStringLiteral("ID_USPD"),
    QStringLiteral("ID_Scanner"),
    QStringLiteral("Name"),
    QStringLiteral("NumCOMPort"),
    QStringLiteral("IsWorking"),
    QStringLiteral("TypeCommun"),
    QStringLiteral("Speed"),
    QStringLiteral("TypeUSD"),
    QStringLiteral("ShortLen"),
    QStringLiteral("MainLen"),
    QStringLiteral("TO_FirstByte"),
    QStringLiteral("TO_Byte"),
    QStringLiteral("MaxPacketLen"),
    QStringLiteral("TimeLastAttemp"),
    QStringLiteral("TimeLastAttemp2"),
    QStringLiteral("TimeLastCall"),
    QStringLiteral("TimeLastCall3"),
    QStringLiteral("TimeSizon"),
    QStringLiteral("ModemInitStr"),
    QStringLiteral("PhoneNum"),
    QStringLiteral("NumChanels"),
    QStringLiteral("TimeTable"),
    QStringLiteral("UserPsw"),
    QStringLiteral("OwnerPsw"),
    QStringLiteral("URL"),
    QStringLiteral("Proxy"),
    QStringLiteral("NeedRep"),
    QStringLiteral("FloatParam"),
    QStringLiteral("ID_MainRec"),
    QStringLiteral("ExactTime"),
    QStringLiteral("LastIDEvent"),
    QStringLiteral("WordLen"),
    QStringLiteral("StopBits"),
    QStringLiteral("Parity"),
    QStringLiteral("Time_Bias"),
    QStringLiteral("MaxTimeShift"),
    QStringLiteral("MaxDesinhro"),
    QStringLiteral("NumUSD"),
};

namespace {

const QString kOdbcDriver = QStringLiteral("QODBC");

}  // namespace

DispatchDatabase::DispatchDatabase()
    : ADOConnection2(QStringLiteral("ADOConnection2"), kOdbcDriver),
      tblUSD(ADOConnection2, QStringLiteral("tblUSD"),
             QStringLiteral("select * from USD where HotReservFor=0")),
      tblChannels(ADOConnection2, QStringLiteral("tblChannels"),
                  QStringLiteral("select * from Channels")) {
}

QString DispatchDatabase::storedConnectString(const Settings& settings) {
    return settings.readString(kConnectString, QString());
}

void DispatchDatabase::storeConnectString(const Settings& settings, const QString& connectString) {
    settings.writeString(kConnectString, connectString);
}

void DispatchDatabase::connectTo(const QString& connectString) {
    ADOConnection2.close();
    ADOConnection2.setDatabaseName(connectString);
    tblUSD.open();
    tblChannels.open();
}

bool DispatchDatabase::locateTarget(int idUspd) {
    return tblUSD.isOpen() && tblUSD.locate(u"ID_USPD", idUspd);
}

int DispatchDatabase::currentTarget() {
    if (!tblUSD.isOpen() || tblUSD.isEmpty()) {
        throw StoreError(QStringLiteral(
            "В базе данных диспетчеризации нет УСПД, к которому можно приписать каналы."));
    }
    return tblUSD.fieldByName(u"ID_USPD").asInteger();
}

QString tryConnection(const QString& connectString) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("orvet-connection-check-%1").arg(++counter);
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(kOdbcDriver, name);
        db.setDatabaseName(connectString);
        if (!db.isValid())
            failure = QStringLiteral("Драйвер базы данных %1 недоступен").arg(kOdbcDriver);
        else if (!db.open())
            failure = engineError(db.lastError()).message();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return failure;
}

QStringList installedOdbcDrivers() {
    QStringList drivers;
    SQLHENV environment = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return drivers;
    // ODBC passes an integer attribute in its pointer argument.
    const auto version = reinterpret_cast<SQLPOINTER>(  // NOLINT(performance-no-int-to-ptr)
        static_cast<std::uintptr_t>(SQL_OV_ODBC3));
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, version, 0);
    SQLCHAR description[256];
    SQLCHAR attributes[1024];
    SQLSMALLINT descriptionLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(environment, direction, description, sizeof description,
                                    &descriptionLength, attributes, sizeof attributes,
                                    &attributesLength))) {
        drivers << QString::fromLocal8Bit(reinterpret_cast<const char*>(description));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return drivers;
}

}  // namespace orvet
