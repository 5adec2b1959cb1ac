#pragma once

#include <QString>

#include "core/message_boxes.h"

namespace orvet::cli {

// The program's message boxes for a tool without windows: each box becomes one line on
// stderr, "<prefix>: <caption>: <text>" (without the caption when it is empty). Questions
// are printed too and answered "No", the answer that leaves things as they are; a command
// that has flags for its choices answers them itself (see the upload's decisions).
class PrintedMessages final : public MessageBoxes {
public:
    explicit PrintedMessages(const QString& prefix) : prefix_(prefix) {}

    void information(const QString& text, const QString& caption) override;
    void warning(const QString& text, const QString& caption) override;
    void error(const QString& text, const QString& caption) override;
    bool question(const QString& text, const QString& caption, QuestionIcon icon) override;
    // Printed and answered "Отмена", which leaves things as they are.
    Answer questionWithCancel(const QString& text, const QString& caption) override;
    // Prints a question with the answer given to it.
    void printAnswer(const QString& question, const QString& caption, bool yes) const;
    void print(const QString& text, const QString& caption) const;

private:
    QString prefix_;
};

}  // namespace orvet::cli
