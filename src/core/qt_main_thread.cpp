#include "core/qt_main_thread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace orvet {

void QtMainThread::wake() {
    // Queued to the application object, which lives on the user-interface thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this] { runPending(); }, Qt::QueuedConnection);
}

}  // namespace orvet
