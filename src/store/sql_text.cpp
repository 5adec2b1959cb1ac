#include "store/sql_text.h"

#include <QRegularExpression>

namespace orvet {
namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// Position of the keyword `word` at the top level of `sql` (outside quotes and
// parentheses) at or after `from`, or -1.
qsizetype findKeyword(const QString& sql, QLatin1StringView word, qsizetype from = 0) {
    int depth = 0;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            --depth;
        } else if (depth == 0 && i >= from && (i == 0 || !isWordChar(sql[i - 1])) &&
                   QStringView(sql).mid(i).startsWith(word, Qt::CaseInsensitive)) {
            const qsizetype end = i + word.size();
            if (end == sql.size() || !isWordChar(sql[end]))
                return i;
        }
    }
    return -1;
}

}  // namespace

QString sqlQuoted(QStringView value) {
    QString text = value.toString();
    text.replace(u'\'', QLatin1String("''"));
    return u'\'' + text + u'\'';
}

QString withCondition(const QString& statement, const QString& condition) {
    const qsizetype where = findKeyword(statement, QLatin1StringView("where"));
    qsizetype tail = statement.size();
    for (const char* word : {"order", "group", "limit"}) {
        const qsizetype at = findKeyword(statement, QLatin1StringView(word), where < 0 ? 0 : where);
        if (at >= 0 && at < tail)
            tail = at;
    }
    const QString rest = statement.mid(tail).trimmed();
    QString head;
    if (where >= 0) {
        const QString existing = statement.mid(where + 5, tail - where - 5).trimmed();
        head = statement.left(where) + QStringLiteral("WHERE (%1) AND %2").arg(existing, condition);
    } else {
        head = statement.left(tail).trimmed() + QStringLiteral(" WHERE ") + condition;
    }
    return rest.isEmpty() ? head : head + u' ' + rest;
}

QString singleTableOf(const QString& statement) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*select\s+\*\s+from\s+(\w+)\s*(?:$|(?:where|order|group|limit)\b))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(statement);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString escapedText(QStringView text) {
    QString result;
    result.reserve(text.size());
    for (const QChar ch : text) {
        if (ch == u'"' || ch == u'\\') {
            result += u'\\';
            result += ch;
        } else if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) {
            result += QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            result += ch;
        }
    }
    return result;
}

QString shownValue(QStringView text) {
    if (text.size() <= kShownValueLength)
        return escapedText(text);
    return escapedText(text.left(kShownValueLength)) + QStringLiteral("…");
}

}  // namespace orvet
