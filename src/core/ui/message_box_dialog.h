#pragma once

#include <QPointer>
#include <QWidget>

#include "core/message_boxes.h"

namespace orvet {

// The program's message boxes as QMessageBox dialogs, modal over `parent`.
class QtMessageBoxes final : public MessageBoxes {
public:
    void setParent(QWidget* parent) { parent_ = parent; }

    void information(const QString& text, const QString& caption) override;
    void warning(const QString& text, const QString& caption) override;
    void error(const QString& text, const QString& caption) override;
    bool question(const QString& text, const QString& caption,
                  QuestionIcon icon = QuestionIcon::Question) override;
    Answer questionWithCancel(const QString& text, const QString& caption) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace orvet
