#include <QApplication>
#include <memory>

#include "core/qt_clock.h"
#include "core/qt_main_thread.h"
#include "core/ui/message_box_dialog.h"
#include "editing/ui/main_window.h"
#include "editing/ui/single_instance.h"
#include "serial/posix_line.h"
#include "sim/simulated_ports.h"
#include "store/data_module.h"
#include "store/store_error.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Конфигуратор УСПД i-4410"));

    // A second start brings the running window forward and ends.
    orvet::SingleInstance instance(orvet::SingleInstance::defaultKey());
    if (!instance.acquire())
        return 0;

    orvet::QtClock clock;
    orvet::QtMainThread mainThread;
    orvet::QtMessageBoxes messages;
    orvet::Platform platform{clock, mainThread, messages, orvet::Settings::forUser()};

    // The store opens before the main window, whose editors bind to its datasets; a store
    // that cannot be used ends the program with an error. The settings value "Store" names
    // a store elsewhere: another file or a postgresql:// address.
    std::unique_ptr<orvet::TDataModule1> DataModule1;
    try {
        DataModule1 = std::make_unique<orvet::TDataModule1>(
            platform,
            platform.settings.readString(QStringLiteral("Store"), orvet::TDataModule1::kStoreFile));
    } catch (const orvet::StoreError& error) {
        messages.error(error.message(), QApplication::applicationName());
        return 1;
    }
    // A port mapped to "sim" or "sim:modem" opens the training USPD, which keeps what it
    // receives in a folder of temporary files.
    orvet::sim::SimulatedPorts training(clock, orvet::sim::SimulatedPorts::defaultImageFolder());
    orvet::TMainForm mainForm(platform, *DataModule1, training.opener(&orvet::PosixLine::open));
    messages.setParent(&mainForm);
    QObject::connect(&instance, &orvet::SingleInstance::activationRequested, &mainForm, [&] {
        mainForm.setWindowState(mainForm.windowState() & ~Qt::WindowMinimized);
        mainForm.show();
        mainForm.raise();
        mainForm.activateWindow();
    });
    mainForm.show();
    return QApplication::exec();
}
