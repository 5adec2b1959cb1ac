#include "core/ui/owner_activation.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace orvet {

OwnerActivation::OwnerActivation(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

bool OwnerActivation::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Hide || !watched->isWidgetType())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    // An application that the user has left is not brought back.
    if (!window->isWindow() || !window->parentWidget() ||
        QGuiApplication::applicationState() != Qt::ApplicationActive)
        return false;
    // Once the platform has handled the hide, which may move the activation only then; a
    // window activated meanwhile (by a window manager, or another dialog) keeps the keyboard.
    QWidget* owner = window->parentWidget()->window();
    QTimer::singleShot(0, owner, [owner] {
        const QWidget* active = QApplication::activeWindow();
        if (owner->isVisible() && (!active || !active->isVisible()))
            owner->activateWindow();
    });
    return false;
}

}  // namespace orvet
