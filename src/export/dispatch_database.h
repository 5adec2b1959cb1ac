#pragma once

#include <QString>

#include "store/connection.h"
#include "store/dataset.h"

namespace orvet {

class Settings;

// The dispatch database: the external database of the supervisory system, reached through
// Qt's ODBC driver with an ODBC connection string ("DRIVER={PostgreSQL Unicode};Server=…",
// "DRIVER=SQLite3;Database=…", "DRIVER=FreeTDS;Server=…"). Each USPD is a row of its table
// USD, each channel a row of Channels. The configuration store keeps its own connection.
class DispatchDatabase {
public:
    // The user's connection string, kept in the settings group "1.0".
    static inline const QString kConnectString = QStringLiteral("ConnectString");

    DispatchDatabase();
    DispatchDatabase(const DispatchDatabase&) = delete;
    DispatchDatabase& operator=(const DispatchDatabase&) = delete;

    // The stored connection string; empty when none was stored.
    static QString storedConnectString(const Settings& settings);
    // Keeps `connectString` as "ConnectString"; "Соединиться" does so before it tries the
    // string. Throws SettingsError when it cannot be stored.
    static void storeConnectString(const Settings& settings, const QString& connectString);

    // Closes the connection, takes `connectString` and opens tblUSD (which connects) and
    // tblChannels. Throws StoreError with the driver's text when the database cannot be
    // reached or lacks a table.
    void connectTo(const QString& connectString);
    // Makes the tblUSD row whose ID_USPD is `idUspd` current; false when the list (USPDs that
    // are not hot-reserve units) has no such row.
    bool locateTarget(int idUspd);
    // ID_USPD of tblUSD's current row; throws StoreError when the list is empty.
    int currentTarget();

    Connection ADOConnection2;
    // The dispatch database's USPDs that are not hot-reserve units (HotReservFor=0).
    QueryDataset tblUSD;
    QueryDataset tblChannels;
};

// The columns of USD that the target list shows, in order, as the dispatch system declares
// them; a database may lack some of them.
extern const QStringList kUsdColumns;

// Tries `connectString` on a connection of its own that is closed again at once; empty when
// it opened, otherwise the driver's text. The connection string itself is never part of
// the text.
QString tryConnection(const QString& connectString);

// The ODBC drivers installed on this machine (the driver manager's list), by name.
QStringList installedOdbcDrivers();

}  // namespace orvet
