#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>

namespace orvet {

// One event of an upload on the line: a frame sent or bytes received, with what the exchange
// made of them, or a reply that did not come.
struct TraceEntry {
    enum class Kind {
        Sent,      // a request went out
        Received,  // the bytes of one reply window were checked
        TimedOut,  // the reply time-out ran out without a usable reply
    };
    // The verdict on received bytes.
    enum class Check {
        Accepted,
        BadCrc,
        ForeignAddress,
        TooShort,        // fewer bytes than a frame has
        MissingPayload,  // a frame without the bytes its reply must carry
        UnknownCommand,  // a whole frame with a letter the exchange does not act on
    };

    std::int64_t ms = 0;  // since the exchange started
    Kind kind = Kind::Sent;
    char letter = 0;   // the request's letter; of a reply, its letter with bit 7 cleared
    QByteArray bytes;  // the whole frame (none for a time-out)
    int repeat = 0;    // Sent: 0 for a new frame, else which repetition it is
    Check check = Check::Accepted;
    bool refused = false;  // Received: bit 7 of the command byte
    int waitedMs = 0;      // TimedOut: how long the reply was awaited
};

// One line of the frame log, as the log view shows it and `orvet-cli upload --trace` writes
// it: time since the start, direction, letter, length, the bytes in hex, the verdict.
QString formatTraceLine(const TraceEntry& entry);

// Receives the frames of an upload as the exchange sends and checks them.
class FrameTrace {
public:
    virtual ~FrameTrace() = default;
    // A new exchange begins; the times of its entries count from here.
    virtual void exchangeStarted() = 0;
    virtual void record(const TraceEntry& entry) = 0;
};

// The lines of the last upload, kept in memory for the log view. A stalled exchange repeats
// its frame for as long as the user lets it, so only the newest `capacity` lines are kept;
// the count of the dropped ones is told at the top of the text.
class FrameLog final : public FrameTrace {
public:
    static constexpr int kDefaultCapacity = 5000;

    // At least one line is kept.
    explicit FrameLog(int capacity = kDefaultCapacity) : capacity_(std::max(1, capacity)) {}

    void exchangeStarted() override;
    void record(const TraceEntry& entry) override;

    const std::deque<QString>& lines() const { return lines_; }
    int capacity() const { return capacity_; }
    // Lines dropped to keep the newest `capacity`.
    qint64 dropped() const { return dropped_; }
    // The note on the dropped lines; empty while none was dropped.
    QString droppedNote() const;
    // Everything kept, one line each, the dropped-lines note first.
    QString text() const;

    // Called with each new line, after it is kept.
    std::function<void(const QString& line)> onLine;
    // Called when a new exchange emptied the log.
    std::function<void()> onCleared;

private:
    int capacity_;
    std::deque<QString> lines_;
    qint64 dropped_ = 0;
};

}  // namespace orvet
