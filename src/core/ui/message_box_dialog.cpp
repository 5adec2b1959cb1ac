#include "core/ui/message_box_dialog.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace orvet {

void QtMessageBoxes::information(const QString& text, const QString& caption) {
    QMessageBox::information(parent_, caption, text);
}

void QtMessageBoxes::warning(const QString& text, const QString& caption) {
    QMessageBox::warning(parent_, caption, text);
}

void QtMessageBoxes::error(const QString& text, const QString& caption) {
    QMessageBox::critical(parent_, caption, text);
}

bool QtMessageBoxes::question(const QString& text, const QString& caption, QuestionIcon icon) {
    QMessageBox box(icon == QuestionIcon::Warning ? QMessageBox::Warning : QMessageBox::Question,
                    caption, text, QMessageBox::Yes | QMessageBox::No, parent_);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

Answer QtMessageBoxes::questionWithCancel(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Отмена"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

}  // namespace orvet
