#include "printed_messages.h"

#include <QStringList>
#include <cstdio>

namespace orvet::cli {

void PrintedMessages::information(const QString& text, const QString& caption) {
    print(text, caption);
}

void PrintedMessages::warning(const QString& text, const QString& caption) {
    print(text, caption);
}

void PrintedMessages::error(const QString& text, const QString& caption) {
    print(text, caption);
}

bool PrintedMessages::question(const QString& text, const QString& caption, QuestionIcon) {
    printAnswer(text, caption, false);
    return false;
}

Answer PrintedMessages::questionWithCancel(const QString& text, const QString& caption) {
    print(text + QStringLiteral(" — отмена"), caption);
    return Answer::Cancel;
}

void PrintedMessages::printAnswer(const QString& question, const QString& caption, bool yes) const {
    print(question + (yes ? QStringLiteral(" — да") : QStringLiteral(" — нет")), caption);
}

void PrintedMessages::print(const QString& text, const QString& caption) const {
    // Each line of a box's text is a report line of its own; the caption leads the first.
    const QString box = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
    for (const QString& line : box.split(u'\n'))
        std::fprintf(stderr, "%s: %s\n", prefix_.toUtf8().constData(), line.toUtf8().constData());
}

}  // namespace orvet::cli
