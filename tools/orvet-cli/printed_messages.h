#pragma once

#include <QHash>
#include <QString>

#include "core/message_boxes.h"

namespace orvet::cli {

// The program's message boxes for a tool without windows: each box becomes one line on
// stderr, "<prefix>: <caption>: <text>" (without the caption when it is empty). Questions
// are printed too and answered as set with answer(), otherwise "No", the answer that
// leaves things as they are.
class PrintedMessages final : public MessageBoxes {
public:
    explicit PrintedMessages(const QString& prefix) : prefix_(prefix) {}

    void information(const QString& text, const QString& caption) override;
    void warning(const QString& text, const QString& caption) override;
    void error(const QString& text, const QString& caption) override;
    bool question(const QString& text, const QString& caption, QuestionIcon icon) override;
    void answer(const QString& question, bool yes) { answers_.insert(question, yes); }

private:
    void print(const QString& text, const QString& caption) const;

    QString prefix_;
    QHash<QString, bool> answers_;
};

}  // namespace orvet::cli
