#include "store_session.h"

#include <QDir>
#include <QFileInfo>

#include "command.h"
#include "command_line.h"
#include "core/settings.h"
#include "store/store_location.h"

namespace orvet::cli {

bool StoreArguments::parse(const CommandLine& args) {
    args.readText(QStringLiteral("store"), &store);
    if (args.isSet(QStringLiteral("uspd"))) {
        const QString value = args.value(QStringLiteral("uspd"));
        int id = 0;
        if (!parseDecimal(value, &id)) {
            args.refuse(QStringLiteral("'%1' не является номером УСПД (id_uspd)").arg(value));
            return false;
        }
        uspd = id;
    }
    return true;
}

StoreSession::StoreSession(const char* command)
    : command_(command),
      messages_(QStringLiteral("orvet-cli ") + QLatin1String(command)),
      platform_{clock_, mainThread_, messages_, Settings::forUser()} {
}

bool StoreSession::open(const StoreArguments& arguments) {
    return openStore(arguments.store) && openUspd(arguments.uspd);
}

bool StoreSession::openStore(const QString& location) {
    if (!StoreLocation::parse(location).isServer() && !QFileInfo(location).isFile()) {
        report(command_, QStringLiteral("файл базы конфигурации «%1» не найден")
                             .arg(QDir::toNativeSeparators(location)));
        return false;
    }
    data_.emplace(platform_, location);
    return true;
}

bool StoreSession::openUspd(std::optional<qint64> wanted) {
    Dataset& uspds = data_->tblUSPD;
    uspds.open();
    if (!wanted) {
        for (uspds.first(); !uspds.eof(); uspds.next()) {
            const qint64 id = uspds.fieldByName(u"ID_USPD").asInteger();
            if (!wanted || id < *wanted)
                wanted = id;
        }
        if (!wanted) {
            report(command_, QStringLiteral("в базе конфигурации нет ни одного УСПД"));
            return false;
        }
    }
    if (!uspds.locate(u"ID_USPD", *wanted)) {
        report(command_, QStringLiteral("в базе конфигурации нет УСПД с id_uspd %1").arg(*wanted));
        return false;
    }
    data_->openDatasets();
    data_->refreshModuleLists();
    return true;
}

}  // namespace orvet::cli
