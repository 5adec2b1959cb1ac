#include "support/scripted_message_boxes.h"

#include <QStringList>

namespace orvet {

void ScriptedMessageBoxes::information(const QString& text, const QString& caption) {
    notice(Kind::Information, text, caption);
}

void ScriptedMessageBoxes::warning(const QString& text, const QString& caption) {
    notice(Kind::Warning, text, caption);
}

void ScriptedMessageBoxes::error(const QString& text, const QString& caption) {
    notice(Kind::Error, text, caption);
}

void ScriptedMessageBoxes::notice(Kind kind, const QString& text, const QString& caption) {
    shown_.push_back({kind, text, caption});
    if (!notices_.empty() && notices_.front() == text) {
        notices_.pop_front();
        return;
    }
    if (!allowNotices_)
        unexpected_.push_back(QStringLiteral("[%1] %2").arg(caption, text));
}

bool ScriptedMessageBoxes::question(const QString& text, const QString& caption,
                                    QuestionIcon icon) {
    shown_.push_back(
        {icon == QuestionIcon::Warning ? Kind::WarningQuestion : Kind::Question, text, caption});
    if (!answers_.empty() && answers_.front().first == text) {
        const bool answer = answers_.front().second;
        answers_.pop_front();
        return answer;
    }
    unexpected_.push_back(QStringLiteral("[%1] %2 (question)").arg(caption, text));
    return false;
}

Answer ScriptedMessageBoxes::questionWithCancel(const QString& text, const QString& caption) {
    shown_.push_back({Kind::QuestionWithCancel, text, caption});
    if (!choices_.empty() && choices_.front().first == text) {
        const Answer answer = choices_.front().second;
        choices_.pop_front();
        return answer;
    }
    unexpected_.push_back(QStringLiteral("[%1] %2 (question with cancel)").arg(caption, text));
    return Answer::Cancel;
}

void ScriptedMessageBoxes::expectQuestionWithCancel(const QString& text, Answer answer) {
    choices_.emplace_back(text, answer);
}

void ScriptedMessageBoxes::expectQuestion(const QString& text, bool answer) {
    answers_.emplace_back(text, answer);
}

void ScriptedMessageBoxes::expectNotice(const QString& text) {
    notices_.push_back(text);
}

QStringList ScriptedMessageBoxes::pendingExpectations() const {
    QStringList pending;
    for (const auto& [text, answer] : answers_)
        pending << text;
    for (const auto& text : notices_)
        pending << text;
    for (const auto& choice : choices_)
        pending << choice.first;
    return pending;
}

void ScriptedMessageBoxes::clear() {
    answers_.clear();
    choices_.clear();
    notices_.clear();
    shown_.clear();
    unexpected_.clear();
}

}  // namespace orvet
