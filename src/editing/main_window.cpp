#include "editing/main_window.h"

#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>

namespace orvet {

TMainForm::TMainForm(Platform& platform, QWidget* parent)
    : QMainWindow(parent), platform_(platform), startPanel_(new QFrame(this)) {
    setWindowTitle(QStringLiteral("Конфигурирование УСПД ORVET-4410"));
    const QSize size(700, 520);
    resize(size);
    setMinimumSize(size);

    startPanel_->setObjectName(QStringLiteral("startPanel"));
    startPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    startPanel_->setAutoFillBackground(true);
    QPalette palette = startPanel_->palette();
    palette.setColor(QPalette::Window, Qt::black);
    startPanel_->setPalette(palette);
    setCentralWidget(startPanel_);

    statusBar()->setFixedHeight(19);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    // Centred on the desktop with its frame, which is known only once the window is shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace orvet
