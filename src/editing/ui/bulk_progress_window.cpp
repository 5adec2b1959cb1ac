#include "editing/ui/bulk_progress_window.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QVBoxLayout>

namespace orvet {

Tm_Progress::Tm_Progress(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_ProgBar(new QProgressBar) {
    setObjectName(QStringLiteral("m_Progress"));
    setWindowTitle(QStringLiteral("Добавление каналов УСО"));
    m_ProgBar->setObjectName(QStringLiteral("m_ProgBar"));
    m_ProgBar->setMinimum(0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_ProgBar);
    setFixedSize(320, m_ProgBar->sizeHint().height() + 16);
}

void Tm_Progress::start(int maximum) {
    m_ProgBar->setMaximum(maximum);
    m_ProgBar->setValue(0);
    if (!isVisible()) {
        if (QWidget* owner = parentWidget())
            move(owner->geometry().center() - rect().center());
        show();
    }
    repaint();
}

void Tm_Progress::step() {
    m_ProgBar->setValue(m_ProgBar->value() + 1);
}

void Tm_Progress::moduleDone() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace orvet
