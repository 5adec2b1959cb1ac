#include <QApplication>

#include "core/message_box_dialog.h"
#include "core/qt_clock.h"
#include "core/qt_main_thread.h"
#include "editing/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Конфигуратор УСПД i-4410"));

    orvet::QtClock clock;
    orvet::QtMainThread mainThread;
    orvet::QtMessageBoxes messages;
    orvet::Platform platform{clock, mainThread, messages, orvet::Settings::forUser()};

    orvet::TMainForm mainForm(platform);
    messages.setParent(&mainForm);
    mainForm.show();
    return QApplication::exec();
}
