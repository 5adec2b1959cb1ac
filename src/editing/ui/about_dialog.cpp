#include "editing/ui/about_dialog.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "editing/ui/icons.h"

namespace orvet {

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      email_(new QLabel(kEmail, this)),
      web_(new QLabel(kWeb, this)) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));

    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("Конфигуратор УСПД ORVET-4410"), this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    name->setFont(bold);

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(new QLabel(QStringLiteral("Версия 2.20"), this));
    text->addWidget(new QLabel(QStringLiteral("Разработка и поддержка: Зоремакс"), this));
    for (QLabel* link : {email_, web_}) {
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
        setHovered(link, false);
        text->addWidget(link);
    }

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(text);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TAboutBox::mailUrl() {
    return QStringLiteral("mailto:") + kEmail + QStringLiteral("?subject=Support ORVET-4410");
}

void TAboutBox::setHovered(QLabel* link, bool hovered) {
    QFont font = link->font();
    font.setUnderline(hovered);
    link->setFont(font);
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, hovered ? QColor(Qt::blue) : QColor(0, 0, 128));
    link->setPalette(palette);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    auto* link = qobject_cast<QLabel*>(watched);
    if (link == email_ || link == web_) {
        switch (event->type()) {
            case QEvent::Enter:
                setHovered(link, true);
                break;
            case QEvent::Leave:
                setHovered(link, false);
                break;
            case QEvent::MouseButtonRelease:
                QDesktopServices::openUrl(QUrl(link == email_ ? mailUrl() : kWeb));
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace orvet
