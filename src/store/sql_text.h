#pragma once

#include <QString>

namespace orvet {

// `value` as an SQL string literal: between single quotes, each quote doubled, so a name
// with an apostrophe is stored and found again as typed.
QString sqlQuoted(QStringView value);

// `statement` (a SELECT) with `condition` added to its WHERE clause: joined to an existing
// condition with AND, placed before ORDER BY, GROUP BY or LIMIT.
QString withCondition(const QString& statement, const QString& condition);

// The table that "select * from T [where|order by|group by|limit ...]" reads; empty for any
// other statement (joins, column lists).
QString singleTableOf(const QString& statement);

// `text` with double quotes, backslashes and control characters escaped (\", \\, \x0a), so
// that it shows whole on one line whatever characters a stored value holds.
QString escapedText(QStringView text);

// A stored value as a message quotes it: escaped, and cut to its first kShownValueLength
// characters followed by "…" when it is longer.
constexpr qsizetype kShownValueLength = 40;
QString shownValue(QStringView text);

}  // namespace orvet
