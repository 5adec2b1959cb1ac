#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "core/message_boxes.h"

namespace orvet {

// Records every box and answers questions from a script, for tests and headless runs.
// A box the script did not expect is recorded as unexpected (with the answer "No"), so the
// test can fail on it instead of hanging on a dialog.
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    enum class Kind { Information, Warning, Error, Question, WarningQuestion, QuestionWithCancel };
    struct Box {
        Kind kind;
        QString text;
        QString caption;
        bool operator==(const Box&) const = default;
    };

    void information(const QString& text, const QString& caption) override;
    void warning(const QString& text, const QString& caption) override;
    void error(const QString& text, const QString& caption) override;
    bool question(const QString& text, const QString& caption,
                  QuestionIcon icon = QuestionIcon::Question) override;
    Answer questionWithCancel(const QString& text, const QString& caption) override;

    // Expects a question with `text` next among the questions, answered with `answer`.
    void expectQuestion(const QString& text, bool answer);
    // Expects a Yes/No/Cancel question with `text` next among those, answered with `answer`.
    void expectQuestionWithCancel(const QString& text, Answer answer);
    // Lets any information, warning and error box pass (they are still recorded).
    void allowNotices(bool allow = true) { allowNotices_ = allow; }
    // Expects a notice box (information, warning or error) with `text`.
    void expectNotice(const QString& text);

    const std::vector<Box>& shown() const { return shown_; }
    // Boxes that no expectation covered, and expected questions and notices never shown.
    const std::vector<QString>& unexpected() const { return unexpected_; }
    QStringList pendingExpectations() const;
    void clear();

private:
    void notice(Kind kind, const QString& text, const QString& caption);

    bool allowNotices_ = false;
    std::deque<std::pair<QString, bool>> answers_;
    std::deque<std::pair<QString, Answer>> choices_;
    std::deque<QString> notices_;
    std::vector<Box> shown_;
    std::vector<QString> unexpected_;
};

}  // namespace orvet
