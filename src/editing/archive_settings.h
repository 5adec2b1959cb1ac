#pragma once

#include <QString>

namespace orvet {

// The depth an archive of `records` records of `minutes` minutes each covers, as the archive
// editor shows it: "<hours> ч. <minutes> мин. или <days> сут.", hours and days computed in
// 32-bit floating point and cut to whole numbers. Empty when either text is empty; a text that
// is not a whole number throws StoreError with the program's conversion message.
QString archiveDepth(const QString& minutes, const QString& records);

// A record count as the short archive stores it: rounded up to a multiple of 16
// (ceil(r × 0.0625) × 16, r as a 32-bit float).
qint64 roundedRecords(qint64 records);

}  // namespace orvet
