// orvet-cli check: "Проверить конфигурацию" on a store, with the check the window runs.
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "core/settings.h"
#include "editing/config_check.h"
#include "link/link_settings.h"
#include "store/store_error.h"
#include "store_session.h"

namespace orvet::cli {
namespace {

int run(const CommandLine& args) {
    StoreArguments store;
    std::optional<int> pakLen;
    if (!store.parse(args) || !args.readNumber(QStringLiteral("paklen"), &pakLen))
        return 2;
    LinkSettings link = LinkSettings::load(Settings::forUser());
    if (pakLen)
        link.PakLen = *pakLen;
    if (const QString reason = link.validate(); !reason.isEmpty()) {
        args.refuse(reason);
        return 2;
    }
    try {
        StoreSession session("check");
        if (!session.open(store))
            return 2;
        const QList<Finding> findings = checkConfiguration(session.data(), link.PakLen);
        for (const Finding& finding : findings)
            std::puts(finding.text().toUtf8().constData());
        return hasErrors(findings) ? 1 : 0;
    } catch (const StoreError& error) {
        report("check", error.message());
        return 2;
    }
}

const CommandRegistration registration({
    .name = "check",
    .synopsis = "[--store STORE] [--uspd ID] [--paklen N]",
    .summary = "list the mistakes in a USPD's configuration",
    .description =
        "Looks over the USPD as \"Проверить конфигурацию\" does and prints one finding a\n"
        "line: its severity (ошибка / предупреждение), the interface, module or channel it\n"
        "concerns, what is wrong and what to do. Changes nothing beyond opening the USPD\n"
        "(which gives it its Headline and archive rows when missing). Exit status 0\n"
        "without errors (warnings allowed), 1 with errors, 2 when the check could not run.",
    .options =
        {
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
            {"uspd", "id_uspd of the USPD (default the smallest).", "ID"},
            {"paklen", "Image bytes per upload block (default from the settings).", "N"},
        },
    .run = run,
});

}  // namespace
}  // namespace orvet::cli
