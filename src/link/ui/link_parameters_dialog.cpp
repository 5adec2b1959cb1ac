#include "link/ui/link_parameters_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/conversion.h"
#include "core/guarded.h"
#include "core/texts.h"

namespace orvet {

Tm_CParam::Tm_CParam(Platform& platform, LinkSettings& inUse, QWidget* parent)
    : QDialog(parent),
      edPakLen(new QLineEdit(this)),
      edToAnswer(new QLineEdit(this)),
      cbFastExchange(new QCheckBox(QStringLiteral("Быстрый обмен"), this)),
      OKBtn(new QPushButton(QStringLiteral("OK"), this)),
      CancelBtn(new QPushButton(QStringLiteral("Отмена"), this)),
      platform_(platform),
      inUse_(inUse) {
    setObjectName(QStringLiteral("m_CParam"));
    setWindowTitle(QStringLiteral("Параметры связи"));
    edPakLen->setObjectName(QStringLiteral("edPakLen"));
    edToAnswer->setObjectName(QStringLiteral("edToAnswer"));
    cbFastExchange->setObjectName(QStringLiteral("cbFastExchange"));
    cbFastExchange->setToolTip(
        QStringLiteral("Принимать ответ УСПД сразу, как только пришёл весь кадр с верной "
                       "контрольной суммой, не дожидаясь конца окна приёма 100 мс; порт "
                       "проверяет приём каждую миллисекунду, а не каждые 50 мс"));
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Длина пакета"), this), 0, 0);
    fields->addWidget(edPakLen, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("байт"), this), 0, 2);
    fields->addWidget(new QLabel(QStringLiteral("Таймаут ответа"), this), 1, 0);
    fields->addWidget(edToAnswer, 1, 1);
    fields->addWidget(new QLabel(QStringLiteral("мс"), this), 1, 2);
    fields->addWidget(cbFastExchange, 2, 0, 1, 3);

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
    cbFastExchange->setChecked(stored.FastExchange);
    QDialog::showEvent(event);
}

bool Tm_CParam::store() {
    // Both fields are read and checked before anything is stored: a refused value stores
    // neither, and an empty field stands for its default.
    const auto number = [](QLineEdit* edit, int empty) {
        return edit->text().isEmpty() ? empty : strToInt(edit->text());
    };
    LinkSettings typed;
    typed.PakLen = number(edPakLen, LinkSettings::kDefaultPakLen);
    typed.TOAnswer = number(edToAnswer, LinkSettings::kDefaultTOAnswer);
    typed.FastExchange = cbFastExchange->isChecked();
    if (const QString problem = typed.validate(); !problem.isEmpty()) {
        platform_.messages.warning(problem, texts::kError);
        return false;
    }
    typed.save(platform_.settings);
    inUse_ = LinkSettings::load(platform_.settings);
    return true;
}

void Tm_CParam::OKBtnClick() {
    bool stored = false;
    if (guarded(platform_.messages, [&] { stored = store(); }) && stored)
        accept();
}

}  // namespace orvet
