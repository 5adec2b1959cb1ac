#pragma once

#include <QString>
#include <optional>

#include "core/qt_clock.h"
#include "core/qt_main_thread.h"
#include "printed_messages.h"
#include "store/data_module.h"

namespace orvet::cli {

class CommandLine;

// The store options every store command reads: --store PATH|URL (default ./Config.db) and
// --uspd ID (default the USPD with the smallest id_uspd).
struct StoreArguments {
    QString store = TDataModule1::kStoreFile;
    std::optional<qint64> uspd;

    // Reads the options; false (with the reason reported) when they are not usable.
    bool parse(const CommandLine& args);
};

// A command's platform and its configuration store, with one USPD open as opening it in the
// program does. Boxes are printed as "orvet-cli COMMAND: ...".
class StoreSession {
public:
    explicit StoreSession(const char* command);

    // Opens the store (an existing file only: a missing one is not created here) and makes
    // the USPD current; false, with the reason reported, when that is not possible. Throws
    // StoreError when the store cannot be used.
    bool open(const StoreArguments& arguments);
    // Opens the store at `location` (an existing file only, or a server address) with no
    // USPD chosen; false, with the reason reported, when there is no such file. Throws
    // StoreError like open().
    bool openStore(const QString& location);
    TDataModule1& data() { return *data_; }
    PrintedMessages& messages() { return messages_; }

private:
    bool openUspd(std::optional<qint64> wanted);

    const char* command_;
    QtClock clock_;
    QtMainThread mainThread_;
    PrintedMessages messages_;
    Platform platform_;
    std::optional<TDataModule1> data_;
};

}  // namespace orvet::cli
