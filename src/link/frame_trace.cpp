#include "link/frame_trace.h"

namespace orvet {
namespace {

QString verdict(const TraceEntry& entry) {
    using Check = TraceEntry::Check;
    switch (entry.kind) {
        case TraceEntry::Kind::Sent:
            return entry.repeat > 0 ? QStringLiteral("повтор %1").arg(entry.repeat) : QString();
        case TraceEntry::Kind::TimedOut:
            return QStringLiteral("таймаут %1 мс").arg(entry.waitedMs);
        case TraceEntry::Kind::Received:
            break;
    }
    switch (entry.check) {
        case Check::Accepted:
            return entry.refused ? QStringLiteral("принят, отказ УСПД") : QStringLiteral("принят");
        case Check::BadCrc:
            return QStringLiteral("Ошибка CRC");
        case Check::ForeignAddress:
            return QStringLiteral("чужой адрес %1")
                .arg(entry.bytes.isEmpty() ? 0 : static_cast<std::uint8_t>(entry.bytes[0]));
        case Check::TooShort:
            return QStringLiteral("неполный кадр");
        case Check::MissingPayload:
            return QStringLiteral("нет данных ответа");
        case Check::UnknownCommand:
            return QStringLiteral("неизвестная команда");
    }
    return {};
}

QString direction(TraceEntry::Kind kind) {
    switch (kind) {
        case TraceEntry::Kind::Sent:
            return QStringLiteral("→");
        case TraceEntry::Kind::Received:
            return QStringLiteral("←");
        case TraceEntry::Kind::TimedOut:
            return QStringLiteral("×");
    }
    return {};
}

}  // namespace

QString formatTraceLine(const TraceEntry& entry) {
    const std::int64_t ms = entry.ms < 0 ? 0 : entry.ms;
    const QString time = QStringLiteral("%1.%2")
                             .arg(ms / 1000, 6)
                             .arg(static_cast<int>(ms % 1000), 3, 10, QLatin1Char('0'));
    // A garbled reply may carry no letter that can be shown.
    const bool printable = entry.letter > ' ' && entry.letter < 0x7F;
    const QString letter =
        QStringLiteral("'%1'").arg(printable ? QChar::fromLatin1(entry.letter) : QLatin1Char('?'));
    QString line = QStringLiteral("%1 %2 %3").arg(time, direction(entry.kind), letter);
    if (entry.kind != TraceEntry::Kind::TimedOut)
        line += QStringLiteral(" %1 байт").arg(entry.bytes.size(), 4);
    if (const QString checked = verdict(entry); !checked.isEmpty())
        line += QStringLiteral(" [%1]").arg(checked);
    if (!entry.bytes.isEmpty())
        line += QStringLiteral("  ") + QString::fromLatin1(entry.bytes.toHex(' ').toUpper());
    return line;
}

void FrameLog::exchangeStarted() {
    lines_.clear();
    dropped_ = 0;
    if (onCleared)
        onCleared();
}

void FrameLog::record(const TraceEntry& entry) {
    lines_.push_back(formatTraceLine(entry));
    while (static_cast<qint64>(lines_.size()) > capacity_) {
        lines_.pop_front();
        ++dropped_;
    }
    if (onLine)
        onLine(lines_.back());
}

QString FrameLog::droppedNote() const {
    if (dropped_ == 0)
        return {};
    return QStringLiteral("… %1 более ранних строк отброшено, показаны последние %2")
        .arg(dropped_)
        .arg(capacity_);
}

QString FrameLog::text() const {
    QString out;
    if (const QString note = droppedNote(); !note.isEmpty())
        out += note + QLatin1Char('\n');
    for (const QString& line : lines_)
        out += line + QLatin1Char('\n');
    return out;
}

}  // namespace orvet
