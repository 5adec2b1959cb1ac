#include "editing/archive_settings.h"

#include <cmath>

#include "store/field.h"

namespace orvet {

QString archiveDepth(const QString& minutes, const QString& records) {
    if (minutes.isEmpty() || records.isEmpty())
        return {};
    const qint64 m = valueAsInteger(minutes);
    const qint64 r = valueAsInteger(records);
    // The product in 64 bits: two 16-bit counts do not fit a 32-bit one.
    const float hours = float(double(r * m) * (1.0 / 60.0));
    const float days = float(double(hours) * (1.0 / 24.0));
    const double wholeHours = std::floor(double(hours));
    return QStringLiteral("%1 ч. %2 мин. или %3 сут.")
        .arg(qint64(wholeHours))
        .arg(qint64(std::floor((double(hours) - wholeHours) * 60.0)))
        .arg(qint64(std::floor(double(days))));
}

qint64 roundedRecords(qint64 records) {
    return qint64(std::ceil(float(records) * 0.0625F)) * 16;
}

}  // namespace orvet
