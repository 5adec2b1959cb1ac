#include "printed_messages.h"

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
    const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
    std::fprintf(stderr, "%s: %s\n", prefix_.toUtf8().constData(), line.toUtf8().constData());
}

}  // namespace orvet::cli
