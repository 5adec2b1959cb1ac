#include "link/ui/link_parameters_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/conversion.h"
#include "core/guarded.h"

namespace orvet {

Tm_CParam::Tm_CParam(Platform& platform, LinkSettings& inUse, QWidget* parent)
    : QDialog(parent),
      edPakLen(new QLineEdit(this)),
      edToAnswer(new QLineEdit(this)),
      OKBtn(new QPushButton(QStringLiteral("OK"), this)),
      CancelBtn(new QPushButton(QStringLiteral("Отмена"), this)),
      platform_(platform),
      inUse_(inUse) {
    setObjectName(QStringLiteral("m_CParam"));
    setWindowTitle(QStringLiteral("Параметры связи"));
    edPakLen->setObjectName(QStringLiteral("edPakLen"));
    edToAnswer->setObjectName(QStringLiteral("edToAnswer"));
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Длина пакета"), this), 0, 0);
    fields->addWidget(edPakLen, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("байт"), this), 0, 2);
    fields->addWidget(new QLabel(QStringLiteral("Таймаут ответа"), this), 1, 0);
    fields->addWidget(edToAnswer, 1, 1);
    fields->addWidget(new QLabel(QStringLiteral("мс"), this), 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    OKBtn->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &Tm_CParam::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void Tm_CParam::showEvent(QShowEvent* event) {
    // The dialog shows what is stored, not the copies in use.
    const LinkSettings stored = LinkSettings::load(platform_.settings);
    edPakLen->setText(QString::number(stored.PakLen));
    edToAnswer->setText(QString::number(stored.TOAnswer));
    QDialog::showEvent(event);
}

bool Tm_CParam::store() {
    const Settings& settings = platform_.settings;
    const int pakLen =
        edPakLen->text().isEmpty() ? LinkSettings::kDefaultPakLen : strToInt(edPakLen->text());
    if (pakLen > LinkSettings::kMaxPakLen) {
        platform_.messages.warning(QStringLiteral("Длина пакета не может превышать 1024 байта"),
                                   QStringLiteral("Ошибка"));
        return false;
    }
    // A packet cannot carry less than one byte of the image.
    if (pakLen < 1) {
        platform_.messages.warning(QStringLiteral("Длина пакета должна быть не меньше 1 байта"),
                                   QStringLiteral("Ошибка"));
        return false;
    }
    settings.writeInteger(QStringLiteral("PakLen"), pakLen);
    const int toAnswer = edToAnswer->text().isEmpty() ? LinkSettings::kDefaultTOAnswer
                                                      : strToInt(edToAnswer->text());
    if (toAnswer < 0) {
        platform_.messages.warning(QStringLiteral("Таймаут ответа не может быть отрицательным"),
                                   QStringLiteral("Ошибка"));
        return false;
    }
    settings.writeInteger(QStringLiteral("TOAnswer"), toAnswer);
    inUse_ = LinkSettings::load(settings);
    return true;
}

void Tm_CParam::OKBtnClick() {
    bool stored = false;
    if (guarded(platform_.messages, [&] { stored = store(); }) && stored)
        accept();
}

}  // namespace orvet
