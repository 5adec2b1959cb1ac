// orvet-cli channels export|import: one channel kind of a USPD to and from a CSV file.
#include <QFile>
#include <QSaveFile>
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "editing/channel_csv.h"
#include "store/channel_kinds.h"
#include "store/store_error.h"
#include "store_session.h"

namespace orvet::cli {
namespace {

const ChannelKind* kindOfLetter(const QString& letter) {
    for (const ChannelKind* kind : kChannelKinds) {
        if (letter == QLatin1String(kind->letter))
            return kind;
    }
    return nullptr;
}

int exportTo(const QString& path, const QByteArray& csv) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        report("channels", QStringLiteral("файл %1 не записан: %2").arg(path, file.errorString()));
        return 1;
    }
    return 0;
}

int runChannels(const CommandLine& args) {
    StoreArguments store;
    if (!store.parse(args))
        return 2;
    const QString action = args.arguments().at(0);
    const QString path = args.arguments().at(1);
    const ChannelKind* kind = kindOfLetter(args.value(QStringLiteral("kind")));
    if (action != QLatin1String("export") && action != QLatin1String("import")) {
        args.refuse(QStringLiteral("действие %1 не предусмотрено: export или import").arg(action));
        return 2;
    }
    if (!kind) {
        args.refuse(QStringLiteral("укажите --kind одной буквой: G, C, K, E, R, L или B"));
        return 2;
    }
    try {
        StoreSession session("channels");
        if (!session.open(store))
            return 1;
        TDataModule1& data = session.data();
        const int uspd = data.currentUspd();
        if (action == QLatin1String("export"))
            return exportTo(path, exportChannelsCsv(data.ADOConnection1, *kind, uspd));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            report("channels",
                   QStringLiteral("файл %1 не прочитан: %2").arg(path, file.errorString()));
            return 1;
        }
        const int added = importChannelsCsv(data.ADOConnection1, *kind, uspd, file.readAll(),
                                            args.isSet(QStringLiteral("replace")));
        std::printf("imported %d channels\n", added);
        return 0;
    } catch (const StoreError& error) {
        report("channels", error.message());
        return 1;
    }
}

const CommandRegistration registration({
    .name = "channels",
    .synopsis = "export|import --kind G|C|K|E|R|L|B [--store STORE] [--uspd ID] [--replace] FILE",
    .summary = "write one channel kind of a USPD to a CSV file, or add it from one",
    .description =
        "export writes the USPD's channels of a kind to FILE: UTF-8, a header of the table's\n"
        "column names, fields separated by ';', RFC 4180 quoting, decimal comma. import adds\n"
        "the file's channels (with --replace, in place of the kind's channels) in one\n"
        "transaction; a file with an unknown column, a value a column cannot hold or a module\n"
        "the USPD does not have is refused whole, naming line and column, exit status 1.",
    .options =
        {
            {"kind", "Channel kind letter: G, C, K, E, R, L or B.", "LETTER"},
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
            {"uspd", "id_uspd of the USPD (default the smallest).", "ID"},
            {"replace", "import: replace the kind's channels instead of adding."},
        },
    .arguments = {{"ACTION", "export or import."}, {"FILE", "The CSV file."}},
    .run = runChannels,
});

}  // namespace
}  // namespace orvet::cli
