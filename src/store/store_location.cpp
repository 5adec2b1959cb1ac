#include "store/store_location.h"

#include <QDir>
#include <QUrl>
#include <QUrlQuery>

#include "store/connection.h"
#include "store/store_error.h"
#include "store/store_file.h"
#include "store/store_server.h"

namespace orvet {
namespace {

bool isServerAddress(const QString& text) {
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

}  // namespace

StoreLocation StoreLocation::parse(const QString& text) {
    StoreLocation location;
    if (!isServerAddress(text)) {
        location.path = text;
        return location;
    }
    const auto refused = [&](const QString& why) {
        return StoreError(
            QStringLiteral("Адрес базы конфигурации «%1» не подходит: %2").arg(text, why));
    };
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        throw refused(url.errorString());
    if (!url.password().isEmpty()) {
        // The address is kept in the settings and shown in messages: a password there
        // would be written down in plain text.
        throw StoreError(
            QStringLiteral("Адрес базы конфигурации не должен содержать пароль. "
                           "Укажите пароль в файле ~/.pgpass или в переменной "
                           "окружения PGPASSWORD."));
    }
    location.kind = Kind::Server;
    location.host = url.host();
    location.port = url.port(-1);
    location.user = url.userName();
    location.database = url.path().mid(1);
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host") && location.host.isEmpty()) {
            location.host = value;
        } else if (key == QLatin1String("port") && location.port < 0) {
            bool ok = false;
            location.port = value.toInt(&ok);
            if (!ok || location.port <= 0 || location.port > 65535)
                throw refused(QStringLiteral("порт «%1» не является номером порта").arg(value));
        } else {
            throw refused(QStringLiteral("неизвестный параметр «%1»").arg(key));
        }
    }
    if (location.database.isEmpty() || location.database.contains(u'/'))
        throw refused(QStringLiteral("не указано имя базы данных"));
    return location;
}

QString StoreLocation::shown() const {
    if (!isServer())
        return QDir::toNativeSeparators(path);
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user);
    url.setPath(u'/' + database);
    if (host.startsWith(u'/')) {
        // A socket folder cannot stand in the host part of an address.
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("host"), host);
        if (port > 0)
            query.addQueryItem(QStringLiteral("port"), QString::number(port));
        url.setQuery(query);
    } else {
        url.setHost(host);
        url.setPort(port);
    }
    return url.toString();
}

bool openStore(Connection& connection, const StoreLocation& location) {
    if (location.isServer()) {
        openServerStore(connection, location);
        return false;
    }
    connection.setDriver(QStringLiteral("QSQLITE"));
    return openStoreFile(connection, location.path);
}

}  // namespace orvet
