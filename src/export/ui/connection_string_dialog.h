#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <utility>

#include "core/platform.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace orvet {

// The KEY=VALUE pairs of an ODBC connection string, in their order. Values in braces
// ("{PostgreSQL Unicode}", "}}" standing for "}") are given without them; keys and
// unbraced values lose their surrounding spaces; empty entries are skipped.
using ConnectionPairs = QList<std::pair<QString, QString>>;
ConnectionPairs parseConnectionString(const QString& text);
// The pairs as a connection string; a value that holds ';', a brace or surrounding spaces,
// and every driver name, is put in braces.
QString joinConnectionString(const ConnectionPairs& pairs);

// What the builder's fields hold.
struct ConnectionSettings {
    QString driver;
    QString server;
    QString port;
    QString database;  // the database's name, or its file for an SQLite driver
    QString user;
    QString password;
    ConnectionPairs others;  // keys the builder does not know, kept as they were
};

// Reads the builder's fields out of `text` (keys matched without regard to case).
ConnectionSettings readConnectionString(const QString& text);
// The connection string of `settings` in the key names `settings.driver` understands:
// psqlODBC Server, Port, Database, Uid, Pwd and CommLog=0;Debug=0 (it writes a
// communication log to /tmp otherwise) unless given; SQLite Database only; FreeTDS and
// the others Server, Port, Database, UID, PWD. Empty fields are left out, unknown keys follow.
QString buildConnectionString(const ConnectionSettings& settings);

// `text` with every occurrence of `password` masked: what a driver says may echo it.
QString withoutPassword(QString text, const QString& password);

// Kinds of driver the builder lays its fields out for.
bool isSqliteDriver(const QString& driver);
bool isPostgresDriver(const QString& driver);

// "Построить...": builds a dispatch database connection string from a driver of this
// machine and its fields, seeded with the string it is given; "Проверить" tries it.
class TConnectionStringDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString kConnected = QStringLiteral("Соединение установлено.");

    explicit TConnectionStringDialog(Platform& platform, QWidget* parent = nullptr);

    // Fills the fields from `text` and shows the dialog modally; the built string when closed
    // by "OK", otherwise an empty string.
    QString build(const QString& text);
    // The string the fields describe now.
    QString connectionString() const;
    // "Проверить": tries the string, then says whether it connected or what the driver said
    // (never the password).
    void ButtonCheckClick();
    // "...": chooses the SQLite database file.
    void ButtonFileClick();

    QComboBox* DriverBox;
    QLineEdit* ServerEdit;
    QLineEdit* PortEdit;
    QLineEdit* DatabaseEdit;
    QLineEdit* FileEdit;
    QToolButton* FileButton;
    QLineEdit* UserEdit;
    QLineEdit* PasswordEdit;
    QPushButton* ButtonCheck;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

private:
    // Shows the fields the chosen driver takes.
    void showDriverFields();
    void fill(const ConnectionSettings& settings);
    ConnectionSettings settings() const;

    Platform& platform_;
    QLabel* serverLabel_;
    QLabel* portLabel_;
    QLabel* databaseLabel_;
    QLabel* fileLabel_;
    QWidget* fileRow_;
    ConnectionPairs others_;
};

}  // namespace orvet
