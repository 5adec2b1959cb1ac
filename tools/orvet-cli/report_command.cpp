// orvet-cli report: the commissioning report of a USPD, as "Отчёт о конфигурации…" writes it.
#include <QDir>
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "core/settings.h"
#include "link/link_settings.h"
#include "report/config_report.h"
#include "store/store_error.h"
#include "store_session.h"

namespace orvet::cli {
namespace {

int run(const CommandLine& args) {
    StoreArguments store;
    QString output;
    args.readText(QStringLiteral("output"), &output);
    if (!store.parse(args))
        return 2;
    if (output.isEmpty()) {
        args.refuse(QStringLiteral("укажите файл отчёта: --output FILE.odt|FILE.pdf|FILE.html"));
        return 2;
    }
    const std::optional<ReportFormat> format = reportFormatFor(output);
    if (!format) {
        args.refuse(QStringLiteral("файл отчёта «%1»: формат не известен, допустимы .odt, .pdf "
                                   "и .html")
                        .arg(QDir::toNativeSeparators(output)));
        return 2;
    }
    const LinkSettings link = LinkSettings::load(Settings::forUser());
    if (const QString reason = link.validate(); !reason.isEmpty()) {
        report("report", reason);
        return 1;
    }
    try {
        StoreSession session("report");
        if (!session.open(store))
            return 1;
        const ReportWriteResult written =
            writeReport(configurationReport(session.data(), link.PakLen), *format, output);
        if (!written.written()) {
            report("report", written.failure);
            return 1;
        }
        std::puts(QDir::toNativeSeparators(output).toUtf8().constData());
        return 0;
    } catch (const StoreError& error) {
        report("report", error.message());
        return 1;
    }
}

const CommandRegistration registration({
    .name = "report",
    .synopsis = "[--store STORE] [--uspd ID] --output FILE.odt|FILE.pdf|FILE.html",
    .summary = "write the configuration report of a USPD",
    .description =
        "Writes the USPD's configuration report: its name and enterprise, settings,\n"
        "interfaces, modules, channels, archive depths, callback phones, the size and\n"
        "CRC-16 of its image and the findings of \"Проверить конфигурацию\". The format\n"
        "follows the extension of FILE: .odt (opens in Word), .pdf or .html. The image is\n"
        "compiled into a temporary file, which renumbers the store as writing into the\n"
        "USPD does. Prints the file's name; exit status 0 once written, 1 when the store,\n"
        "the USPD or the file fails, 2 for unusable arguments.",
    .options =
        {
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
            {"uspd", "id_uspd of the USPD (default the smallest).", "ID"},
            {"output", "Report to write: FILE.odt, FILE.pdf or FILE.html.", "FILE"},
        },
    .run = run,
});

}  // namespace
}  // namespace orvet::cli
