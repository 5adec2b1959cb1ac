#pragma once

#include <QString>

namespace orvet {

// The icon of a question box.
enum class QuestionIcon { Question, Warning };

// The answer to a question that can be called off.
enum class Answer { Yes, No, Cancel };

// The program's message boxes: fixed texts and captions, shown modally.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void information(const QString& text, const QString& caption) = 0;
    virtual void warning(const QString& text, const QString& caption) = 0;
    virtual void error(const QString& text, const QString& caption) = 0;
    // A Yes/No question; true for "Yes".
    virtual bool question(const QString& text, const QString& caption,
                          QuestionIcon icon = QuestionIcon::Question) = 0;
    // A question answered "Да", "Нет" or "Отмена".
    virtual Answer questionWithCancel(const QString& text, const QString& caption) = 0;
};

}  // namespace orvet
