#include "export/ui/connection_string_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/texts.h"
#include "export/dispatch_database.h"

namespace orvet {
namespace {

// The keys each field is read from; the first is the name it is written with, unless the
// driver wants another.
const QStringList kDriverKeys{QStringLiteral("DRIVER")};
const QStringList kServerKeys{QStringLiteral("Server"), QStringLiteral("Servername")};
const QStringList kPortKeys{QStringLiteral("Port")};
const QStringList kDatabaseKeys{QStringLiteral("Database")};
const QStringList kUserKeys{QStringLiteral("UID"), QStringLiteral("User"),
                            QStringLiteral("Username")};
const QStringList kPasswordKeys{QStringLiteral("PWD"), QStringLiteral("Password")};

bool isKey(const QString& key, const QStringList& keys) {
    return keys.contains(key, Qt::CaseInsensitive);
}

bool hasKey(const ConnectionPairs& pairs, const QString& key) {
    return std::any_of(pairs.begin(), pairs.end(), [&key](const auto& pair) {
        return pair.first.compare(key, Qt::CaseInsensitive) == 0;
    });
}

}  // namespace

QString withoutPassword(QString text, const QString& password) {
    if (!password.isEmpty())
        text.replace(password, QStringLiteral("***"));
    return text;
}

ConnectionPairs parseConnectionString(const QString& text) {
    ConnectionPairs pairs;
    qsizetype at = 0;
    const qsizetype size = text.size();
    while (at < size) {
        const qsizetype equals = text.indexOf(QLatin1Char('='), at);
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), at);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            // An entry without a value: skipped.
            if (semicolon < 0)
                break;
            at = semicolon + 1;
            continue;
        }
        const QString key = text.mid(at, equals - at).trimmed();
        qsizetype valueStart = equals + 1;
        while (valueStart < size && text.at(valueStart).isSpace())
            ++valueStart;
        QString value;
        if (valueStart < size && text.at(valueStart) == QLatin1Char('{')) {
            // A braced value runs to the first "}" that is not doubled.
            qsizetype i = valueStart + 1;
            while (i < size) {
                if (text.at(i) == QLatin1Char('}')) {
                    if (i + 1 < size && text.at(i + 1) == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        i += 2;
                        continue;
                    }
                    break;
                }
                value += text.at(i);
                ++i;
            }
            const qsizetype next = text.indexOf(QLatin1Char(';'), i);
            at = next < 0 ? size : next + 1;
        } else {
            const qsizetype next = text.indexOf(QLatin1Char(';'), valueStart);
            const qsizetype end = next < 0 ? size : next;
            value = text.mid(valueStart, end - valueStart).trimmed();
            at = end + 1;
        }
        if (!key.isEmpty())
            pairs.append({key, value});
    }
    return pairs;
}

QString joinConnectionString(const ConnectionPairs& pairs) {
    QStringList parts;
    for (const auto& [key, value] : pairs) {
        const bool braced = isKey(key, kDriverKeys) || value.contains(QLatin1Char(';')) ||
                            value.contains(QLatin1Char('{')) || value.contains(QLatin1Char('}')) ||
                            value.trimmed() != value;
        if (braced) {
            QString escaped = value;
            escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
            parts << key + QStringLiteral("={") + escaped + QLatin1Char('}');
        } else {
            parts << key + QLatin1Char('=') + value;
        }
    }
    return parts.join(QLatin1Char(';'));
}

bool isSqliteDriver(const QString& driver) {
    return driver.contains(QStringLiteral("SQLite"), Qt::CaseInsensitive);
}

bool isPostgresDriver(const QString& driver) {
    return driver.contains(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive);
}

ConnectionSettings readConnectionString(const QString& text) {
    ConnectionSettings settings;
    const std::pair<const QStringList*, QString ConnectionSettings::*> fields[] = {
        {&kDriverKeys, &ConnectionSettings::driver},
        {&kServerKeys, &ConnectionSettings::server},
        {&kPortKeys, &ConnectionSettings::port},
        {&kDatabaseKeys, &ConnectionSettings::database},
        {&kUserKeys, &ConnectionSettings::user},
        {&kPasswordKeys, &ConnectionSettings::password},
    };
    for (const auto& pair : parseConnectionString(text)) {
        const auto field =
            std::find_if(std::begin(fields), std::end(fields),
                         [&pair](const auto& f) { return isKey(pair.first, *f.first); });
        if (field == std::end(fields))
            settings.others.append(pair);
        else
            settings.*(field->second) = pair.second;
    }
    return settings;
}

QString buildConnectionString(const ConnectionSettings& settings) {
    ConnectionPairs pairs;
    const auto add = [&pairs](const QString& key, const QString& value) {
        if (!value.isEmpty())
            pairs.append({key, value});
    };
    add(QStringLiteral("DRIVER"), settings.driver);
    const bool postgres = isPostgresDriver(settings.driver);
    if (isSqliteDriver(settings.driver)) {
        add(QStringLiteral("Database"), settings.database);
    } else {
        add(QStringLiteral("Server"), settings.server);
        add(QStringLiteral("Port"), settings.port);
        add(QStringLiteral("Database"), settings.database);
        add(postgres ? QStringLiteral("Uid") : QStringLiteral("UID"), settings.user);
        add(postgres ? QStringLiteral("Pwd") : QStringLiteral("PWD"), settings.password);
    }
    pairs += settings.others;
    if (postgres) {
        for (const QString& key : {QStringLiteral("CommLog"), QStringLiteral("Debug")}) {
            if (!hasKey(pairs, key))
                pairs.append({key, QStringLiteral("0")});
        }
    }
    return joinConnectionString(pairs);
}

TConnectionStringDialog::TConnectionStringDialog(Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      DriverBox(new QComboBox),
      ServerEdit(new QLineEdit),
      PortEdit(new QLineEdit),
      DatabaseEdit(new QLineEdit),
      FileEdit(new QLineEdit),
      FileButton(new QToolButton),
      UserEdit(new QLineEdit),
      PasswordEdit(new QLineEdit),
      ButtonCheck(new QPushButton(QStringLiteral("Проверить"))),
      ButtonOK(new QPushButton(QStringLiteral("OK"))),
      ButtonCancel(new QPushButton(QStringLiteral("Отмена"))),
      platform_(platform),
      serverLabel_(new QLabel(QStringLiteral("&Сервер:"))),
      portLabel_(new QLabel(QStringLiteral("П&орт:"))),
      databaseLabel_(new QLabel(QStringLiteral("&База данных:"))),
      fileLabel_(new QLabel(QStringLiteral("&Файл базы данных:"))),
      fileRow_(new QWidget) {
    setObjectName(QStringLiteral("ConnectionStringDialog"));
    setWindowTitle(QStringLiteral("Строка соединения"));
    setMinimumWidth(480);

    const std::pair<QWidget*, const char*> names[] = {
        {DriverBox, "DriverBox"},       {ServerEdit, "ServerEdit"},
        {PortEdit, "PortEdit"},         {DatabaseEdit, "DatabaseEdit"},
        {FileEdit, "FileEdit"},         {FileButton, "FileButton"},
        {UserEdit, "UserEdit"},         {PasswordEdit, "PasswordEdit"},
        {ButtonCheck, "ButtonCheck"},   {ButtonOK, "ButtonOK"},
        {ButtonCancel, "ButtonCancel"},
    };
    for (const auto& [widget, name] : names)
        widget->setObjectName(QString::fromLatin1(name));

    DriverBox->addItems(installedOdbcDrivers());
    PortEdit->setValidator(new QIntValidator(1, 65535, PortEdit));
    PasswordEdit->setEchoMode(QLineEdit::Password);
    FileButton->setText(QStringLiteral("..."));
    FileButton->setToolTip(QStringLiteral("Выбрать файл базы данных"));
    FileButton->setFocusPolicy(Qt::StrongFocus);

    auto* fileLayout = new QHBoxLayout(fileRow_);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(FileEdit, 1);
    fileLayout->addWidget(FileButton);

    auto* form = new QFormLayout;
    auto* driverLabel = new QLabel(QStringLiteral("&Драйвер ODBC:"));
    driverLabel->setBuddy(DriverBox);
    serverLabel_->setBuddy(ServerEdit);
    portLabel_->setBuddy(PortEdit);
    databaseLabel_->setBuddy(DatabaseEdit);
    fileLabel_->setBuddy(FileEdit);
    auto* userLabel = new QLabel(QStringLiteral("&Пользователь:"));
    userLabel->setBuddy(UserEdit);
    auto* passwordLabel = new QLabel(QStringLiteral("Па&роль:"));
    passwordLabel->setBuddy(PasswordEdit);
    form->addRow(driverLabel, DriverBox);
    form->addRow(serverLabel_, ServerEdit);
    form->addRow(portLabel_, PortEdit);
    form->addRow(databaseLabel_, DatabaseEdit);
    form->addRow(fileLabel_, fileRow_);
    form->addRow(userLabel, UserEdit);
    form->addRow(passwordLabel, PasswordEdit);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonCheck);
    buttons->addStretch();
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    ButtonOK->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(DriverBox, &QComboBox::currentTextChanged, this,
            &TConnectionStringDialog::showDriverFields);
    connect(FileButton, &QToolButton::clicked, this, &TConnectionStringDialog::ButtonFileClick);
    connect(ButtonCheck, &QPushButton::clicked, this, &TConnectionStringDialog::ButtonCheckClick);
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    showDriverFields();
}

QString TConnectionStringDialog::build(const QString& text) {
    fill(readConnectionString(text));
    if (exec() != QDialog::Accepted)
        return {};
    return connectionString();
}

void TConnectionStringDialog::fill(const ConnectionSettings& settings) {
    // A driver this machine does not list is kept all the same: the string still names it.
    if (!settings.driver.isEmpty() && DriverBox->findText(settings.driver) < 0)
        DriverBox->addItem(settings.driver);
    if (!settings.driver.isEmpty())
        DriverBox->setCurrentText(settings.driver);
    ServerEdit->setText(settings.server);
    PortEdit->setText(settings.port);
    DatabaseEdit->setText(settings.database);
    FileEdit->setText(settings.database);
    UserEdit->setText(settings.user);
    PasswordEdit->setText(settings.password);
    others_ = settings.others;
    showDriverFields();
}

ConnectionSettings TConnectionStringDialog::settings() const {
    ConnectionSettings result;
    result.driver = DriverBox->currentText();
    result.server = ServerEdit->text().trimmed();
    result.port = PortEdit->text().trimmed();
    result.database =
        isSqliteDriver(result.driver) ? FileEdit->text().trimmed() : DatabaseEdit->text().trimmed();
    result.user = UserEdit->text();
    result.password = PasswordEdit->text();
    result.others = others_;
    return result;
}

QString TConnectionStringDialog::connectionString() const {
    return buildConnectionString(settings());
}

void TConnectionStringDialog::showDriverFields() {
    const bool sqlite = isSqliteDriver(DriverBox->currentText());
    auto* form = findChild<QFormLayout*>();
    for (QWidget* field : {ServerEdit, PortEdit, DatabaseEdit, UserEdit, PasswordEdit})
        form->setRowVisible(field, !sqlite);
    form->setRowVisible(fileRow_, sqlite);
}

void TConnectionStringDialog::ButtonCheckClick() {
    const QString failure = tryConnection(connectionString());
    if (failure.isEmpty())
        platform_.messages.information(kConnected, QString());
    else
        platform_.messages.error(withoutPassword(failure, PasswordEdit->text()), texts::kError);
}

void TConnectionStringDialog::ButtonFileClick() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Файл базы данных"), FileEdit->text(),
        QStringLiteral("Базы данных SQLite (*.db *.sqlite *.sqlite3);;Все файлы (*)"));
    if (!file.isEmpty())
        FileEdit->setText(file);
}

}  // namespace orvet
